#include "AudioCheck.h"

#include "AacStreamHeaders.h"
#include "Av.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

namespace audiocheck {

Pcm decode(const QString &path, int channels, int rate, const QString &filter, const QString &stream)
{
    QTemporaryDir tmp;
    const QString raw = tmp.path() + QStringLiteral("/decoded.f32");
    QStringList args{QStringLiteral("-i"), path};
    if (!stream.isEmpty())
        args << QStringLiteral("-map") << stream;
    if (!filter.isEmpty())
        args << QStringLiteral("-af") << filter;
    args << QStringLiteral("-ac") << QString::number(channels) << QStringLiteral("-ar") << QString::number(rate)
         << QStringLiteral("-f") << QStringLiteral("f32le") << raw;
    Pcm p;
    if (!wstest::ffmpeg(args))
        return p;
    const QByteArray bytes = readFile(raw);
    p.channels = channels;
    p.rate = rate;
    p.data.resize(size_t(bytes.size()) / sizeof(float));
    std::memcpy(p.data.data(), bytes.constData(), p.data.size() * sizeof(float));
    return p;
}

std::map<std::string, std::string> probe(const QString &path, const QString &entries, const QStringList &extra)
{
    QString out;
    std::map<std::string, std::string> result;
    const QStringList args = QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                         entries, QStringLiteral("-of"), QStringLiteral("default=nw=1")} +
                             extra + QStringList{path};
    if (wstest::runProgram(QStringLiteral("ffprobe"), args, &out) != 0)
        return result;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            result[line.left(eq).toStdString()] = line.mid(eq + 1).trimmed().toStdString();
    }
    return result;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

int bestLag(const Pcm &ref, const Pcm &test, int ch, int maxLag)
{
    const size_t n = std::min(ref.frames(), test.frames() > size_t(maxLag) ? test.frames() - size_t(maxLag) : 0);
    int best = 0;
    double bestScore = -1e300;
    for (int lag = 0; lag <= maxLag; ++lag) {
        double s = 0;
        for (size_t i = 0; i < n; i += 3)
            s += double(ref.at(i, ch)) * test.at(i + size_t(lag), ch);
        if (s > bestScore) {
            bestScore = s;
            best = lag;
        }
    }
    return best;
}

double snrDb(const Pcm &ref, const Pcm &test, int lag, size_t from, size_t to)
{
    double sig = 0, noise = 0;
    for (size_t i = from; i < to && i < ref.frames() && i + size_t(lag) < test.frames(); ++i)
        for (int c = 0; c < ref.channels; ++c) {
            const double r = ref.at(i, c);
            const double d = r - test.at(i + size_t(lag), c);
            sig += r * r;
            noise += d * d;
        }
    return 10 * std::log10(sig / std::max(noise, 1e-30));
}

double errorPower(const Pcm &ref, const Pcm &test, int lag, int64_t from, int64_t to, double *peak)
{
    double sum = 0;
    int64_t n = 0;
    for (int64_t i = std::max<int64_t>(from, 0);
         i < to && size_t(i) < ref.frames() && i + lag >= 0 && size_t(i + lag) < test.frames(); ++i)
        for (int c = 0; c < ref.channels; ++c, ++n) {
            const double d = double(ref.at(size_t(i), c)) - test.at(size_t(i + lag), c);
            sum += d * d;
            if (peak)
                *peak = std::max(*peak, std::fabs(d));
        }
    return n ? sum / double(n) : 0;
}

QString clickExpr(double at, int hz)
{
    const QString x = QStringLiteral("(t+0.125-%1)").arg(at);
    const QString since = QStringLiteral("(%1-0.125*floor(8*%1))").arg(x);
    return QStringLiteral("0.25*400*%1*exp(1-400*%1)*sin(2*PI*%2*t)").arg(since).arg(hz);
}

double toneAmplitude(const Pcm &p, int ch, double freq, size_t from, size_t to)
{
    const double w = 2 * M_PI * freq / p.rate;
    double re = 0, im = 0;
    size_t n = 0;
    for (size_t i = from; i < to && i < p.frames(); ++i, ++n) {
        re += p.at(i, ch) * std::cos(w * double(i));
        im += p.at(i, ch) * std::sin(w * double(i));
    }
    return n ? 2 * std::hypot(re, im) / double(n) : 0;
}

int64_t decodeRawAac(const QByteArray &raw, const std::vector<uint8_t> &asc, int *channels)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    wstool::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->extradata = static_cast<uint8_t *>(av_mallocz(asc.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(ctx->extradata, asc.data(), asc.size());
    ctx->extradata_size = int(asc.size());
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return -1;
    wstool::PacketPtr pkt = wstool::makePacket();
    av_new_packet(pkt.get(), int(raw.size()));
    std::memcpy(pkt->data, raw.constData(), size_t(raw.size()));
    // All blocks in one packet: the decoder takes them one after another.
    if (avcodec_send_packet(ctx.get(), pkt.get()) < 0 || avcodec_send_packet(ctx.get(), nullptr) < 0)
        return -1;
    wstool::FramePtr frame = wstool::makeFrame();
    int64_t samples = 0;
    int err;
    while ((err = avcodec_receive_frame(ctx.get(), frame.get())) == 0)
        samples += frame->nb_samples;
    *channels = ctx->ch_layout.nb_channels;
    return err == AVERROR_EOF ? samples : -1;
}

int runTool(const std::function<int(const std::vector<std::string> &, std::ostream &, std::ostream &)> &tool,
            const std::vector<std::string> &words, std::string *out, std::string *err)
{
    std::ostringstream o, e;
    const int rc = tool(words, o, e);
    if (out)
        *out = o.str();
    if (err)
        *err = e.str();
    return rc;
}

QByteArray adtsPayload(const QByteArray &adts, int *frames)
{
    QByteArray raw;
    *frames = 0;
    for (int pos = 0; pos < adts.size();) {
        const auto h = wstool::parseAdtsHeader(reinterpret_cast<const uint8_t *>(adts.constData()) + pos,
                                               size_t(adts.size() - pos));
        if (!h || pos + h->frameSize > adts.size())
            return {};
        raw += adts.mid(pos + h->headerSize, h->frameSize - h->headerSize);
        pos += h->frameSize;
        ++*frames;
    }
    return raw;
}


} // namespace audiocheck
