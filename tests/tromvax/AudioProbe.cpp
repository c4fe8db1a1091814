#include "AudioProbe.h"

#include "CommandLine.h"
#include "TestSupport.h"
#include "Tromvax.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace tvtest {

Audio load(const std::string &path)
{
    Audio a;
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return a;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> fmtHolder(
        fmt, [](AVFormatContext *c) { avformat_close_input(&c); });
    if (avformat_find_stream_info(fmt, nullptr) < 0)
        return a;
    const int si = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (si < 0)
        return a;
    AVStream *st = fmt->streams[si];
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext *dec = avcodec_alloc_context3(codec);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> decHolder(
        dec, [](AVCodecContext *c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(dec, st->codecpar);
    if (avcodec_open2(dec, codec, nullptr) < 0)
        return a;
    a.rate = dec->sample_rate;
    a.codec = avcodec_get_name(st->codecpar->codec_id);
    a.bitsPerSample = st->codecpar->bits_per_coded_sample;
    char name[64] = {};
    av_channel_layout_describe(&dec->ch_layout, name, sizeof name);
    a.layout = name;
    a.ch.resize(static_cast<size_t>(dec->ch_layout.nb_channels));

    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    auto take = [&] {
        while (avcodec_receive_frame(dec, frame) >= 0) {
            const int n = frame->nb_samples;
            const int chans = frame->ch_layout.nb_channels;
            const auto f = static_cast<AVSampleFormat>(frame->format);
            const bool planar = av_sample_fmt_is_planar(f);
            for (int c = 0; c < chans && c < a.channels(); ++c) {
                for (int i = 0; i < n; ++i) {
                    const int idx = planar ? i : i * chans + c;
                    const uint8_t *d = frame->extended_data[planar ? c : 0];
                    float v = 0;
                    switch (av_get_packed_sample_fmt(f)) {
                    case AV_SAMPLE_FMT_S16:
                        v = reinterpret_cast<const int16_t *>(d)[idx] / 32768.0f;
                        break;
                    case AV_SAMPLE_FMT_S32:
                        v = static_cast<float>(reinterpret_cast<const int32_t *>(d)[idx] / 2147483648.0);
                        break;
                    case AV_SAMPLE_FMT_FLT:
                        v = reinterpret_cast<const float *>(d)[idx];
                        break;
                    case AV_SAMPLE_FMT_DBL:
                        v = static_cast<float>(reinterpret_cast<const double *>(d)[idx]);
                        break;
                    default:
                        break;
                    }
                    a.ch[static_cast<size_t>(c)].push_back(v);
                }
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == si && avcodec_send_packet(dec, pkt) >= 0)
            take();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(dec, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    return a;
}

double peak(const std::vector<float> &x, size_t from, size_t to)
{
    double p = 0;
    for (size_t i = from; i < std::min(to, x.size()); ++i)
        p = std::max(p, std::fabs(static_cast<double>(x[i])));
    return p;
}

double rms(const std::vector<float> &x, size_t from, size_t to)
{
    double s = 0;
    size_t n = 0;
    for (size_t i = from; i < std::min(to, x.size()); ++i, ++n)
        s += static_cast<double>(x[i]) * x[i];
    return n ? std::sqrt(s / static_cast<double>(n)) : 0.0;
}

double db(double linear) { return linear > 0 ? 20.0 * std::log10(linear) : -999.0; }

double frequency(const std::vector<float> &x, int rate, size_t from, size_t to)
{
    to = std::min(to, x.size());
    // Rising crossings, interpolated between samples.
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0)
                first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return (crossings - 1) * rate / (last - first);
}

size_t firstSound(const std::vector<float> &x, double threshold)
{
    for (size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > threshold)
            return i;
    return x.size();
}

namespace {

QTemporaryDir &root()
{
    static QTemporaryDir dir;
    return dir;
}

QString tone(const QString &expr, const QString &layout, int rate, double seconds)
{
    return QStringLiteral("aevalsrc='%1':c=%2:s=%3:d=%4").arg(expr, layout).arg(rate).arg(seconds);
}

const QString kSine = QStringLiteral("0.5*sin(2*PI*1000*t)");

bool make(const std::string &name, const QString &path)
{
    auto in = [](const std::string &n) { return QString::fromStdString(fixture(n)); };
    const QStringList video{"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25:d=3"};
    const QStringList mpeg2{"-c:v", "mpeg2video", "-f", "vob"};
    if (name == "tone.wav")
        return wstest::ffmpeg({"-f", "lavfi", "-i", tone(kSine + "|" + kSine, "stereo", 48000, 3), "-c:a",
                               "pcm_s16le", path});
    if (name == "tone_stereo.ac3")
        return wstest::ffmpeg({"-i", in("tone.wav"), "-c:a", "ac3", "-b:a", "192k", path});
    if (name == "tone.mp2")
        return wstest::ffmpeg({"-i", in("tone.wav"), "-c:a", "mp2", "-b:a", "192k", path});
    if (name == "tone.mp3")
        return wstest::ffmpeg({"-f", "lavfi", "-i", tone(kSine + "|" + kSine, "stereo", 44100, 3), "-c:a",
                               "libmp3lame", "-b:a", "192k", path});
    // 5.1(side) channel order: FL FR FC LFE SL SR.
    if (name == "centre51.ac3")
        return wstest::ffmpeg({"-f", "lavfi", "-i", tone("0|0|" + kSine + "|0|0|0", "5.1(side)", 48000, 3),
                               "-c:a", "ac3", "-b:a", "448k", path});
    if (name == "lfe51.ac3")
        return wstest::ffmpeg({"-f", "lavfi", "-i",
                               tone("0|0|0|0.5*sin(2*PI*50*t)|0|0", "5.1(side)", 48000, 3), "-c:a", "ac3",
                               "-b:a", "448k", path});
    if (name == "sl51.ac3")
        return wstest::ffmpeg({"-f", "lavfi", "-i",
                               tone("0|0|0|0|0.5*sin(2*PI*5000*t)|0", "5.1(side)", 48000, 3), "-c:a", "ac3",
                               "-b:a", "448k", path});
    if (name == "quietloud.wav")
        return wstest::ffmpeg({"-f", "lavfi", "-i",
                               tone("if(lt(t,2),0.0316,0.891)*sin(2*PI*1000*t)|if(lt(t,2),0.0316,0.891)*sin(2*PI*1000*t)",
                                    "stereo", 48000, 4),
                               "-c:a", "pcm_s16le", path});
    if (name == "low_high.wav") // left 100 Hz, right 5 kHz
        return wstest::ffmpeg({"-f", "lavfi", "-i",
                               tone("0.5*sin(2*PI*100*t)|0.5*sin(2*PI*5000*t)", "stereo", 48000, 2), "-c:a",
                               "pcm_s16le", path});
    if (name == "av.vob") // video, AC3 starting 200 ms after the picture, MPEG audio
        return wstest::ffmpeg(QStringList(video) + QStringList{"-itsoffset", "0.2", "-i", in("tone_stereo.ac3"),
                                                               "-i", in("tone.mp2"), "-map", "0:v", "-map", "1:a",
                                                               "-map", "2:a", "-c:a", "copy"} +
                              mpeg2 + QStringList{path});
    if (name == "tone.dts") // FFmpeg's DTS encoder is marked experimental
        return wstest::ffmpeg({"-i", in("tone.wav"), "-strict", "-2", "-c:a", "dca", "-b:a", "768k", path});
    if (name == "dts_ac3.vob") // DTS first, then AC3: both DVD audio stream number 0
        return wstest::ffmpeg(QStringList(video) + QStringList{"-i", in("tone.dts"), "-i", in("tone_stereo.ac3"),
                                                               "-map", "0:v", "-map", "1:a", "-map", "2:a", "-c:a",
                                                               "copy"} +
                              mpeg2 + QStringList{path});
    if (name == "lpcm.vob")
        return wstest::ffmpeg(QStringList(video) +
                              QStringList{"-i", in("tone.wav"), "-c:a", "pcm_dvd"} + mpeg2 + QStringList{path});
    if (name == "audioonly.vob")
        return wstest::ffmpeg({"-i", in("tone_stereo.ac3"), "-c:a", "copy", "-f", "vob", path});
    if (name == "mixed.ac3") { // stereo, then 5.1: the format changes in mid-stream
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << readFile(fixture("tone_stereo.ac3")) << readFile(fixture("centre51.ac3"));
        return static_cast<bool>(out);
    }
    return false;
}

} // namespace

std::string fixture(const std::string &name)
{
    static std::map<std::string, std::string> made;
    if (auto it = made.find(name); it != made.end())
        return it->second;
    const QString path = root().filePath(QString::fromStdString(name));
    if (!make(name, path))
        return {};
    return made[name] = path.toStdString();
}

std::string scratchDir()
{
    static int n = 0;
    const QString dir = root().filePath(QStringLiteral("scratch%1").arg(++n));
    QDir().mkpath(dir);
    return dir.toStdString();
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string &path) { return std::filesystem::exists(path); }

int leftovers(const std::string &dir)
{
    int n = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().find(".part") != std::string::npos)
            ++n;
    return n;
}

int runTromvax(const std::string &line, std::string *err, std::string *out)
{
    std::ostringstream o, e;
    auto words = wstool::splitCommandLine(line);
    if (!words.empty())
        words.erase(words.begin()); // the program's path
    const int rc = tromvax::run(words, o, e);
    if (err)
        *err = e.str();
    if (out)
        *out = o.str();
    return rc;
}

} // namespace tvtest
