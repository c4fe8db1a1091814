#include "AudioCheck.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <sstream>

namespace audiocheck {

Pcm decode(const QString &path, int channels, int rate)
{
    QTemporaryDir tmp;
    const QString raw = tmp.path() + QStringLiteral("/decoded.f32");
    Pcm p;
    if (!wstest::ffmpeg({QStringLiteral("-i"), path, QStringLiteral("-ac"), QString::number(channels),
                         QStringLiteral("-ar"), QString::number(rate), QStringLiteral("-f"),
                         QStringLiteral("f32le"), raw}))
        return p;
    const QByteArray bytes = readFile(raw);
    p.channels = channels;
    p.rate = rate;
    p.data.resize(size_t(bytes.size()) / sizeof(float));
    std::memcpy(p.data.data(), bytes.constData(), p.data.size() * sizeof(float));
    return p;
}

std::map<std::string, std::string> probe(const QString &path, const QString &entries)
{
    QString out;
    std::map<std::string, std::string> result;
    if (wstest::runProgram(QStringLiteral("ffprobe"),
                           {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                            entries, QStringLiteral("-of"), QStringLiteral("default=nw=1"), path},
                           &out) != 0)
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

} // namespace audiocheck
