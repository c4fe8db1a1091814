#include "E2eSupport.h"

#include "OptionModel.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace e2e {

QString probe(const QString &path, const QString &entry)
{
    QString out;
    const int rc = wstest::runProgram(QStringLiteral("ffprobe"),
                                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                       QStringLiteral("a:0"), QStringLiteral("-show_entries"), entry,
                                       QStringLiteral("-of"), QStringLiteral("default=nw=1:nk=1"), path},
                                      &out);
    return rc == 0 ? out.trimmed() : QString();
}

Sandbox::Sandbox()
{
    for (const char *d : {"config", "data", "temp", "work"})
        QDir(root_.path()).mkpath(QLatin1String(d));
    temp_ = root_.filePath(QStringLiteral("temp")) + QLatin1Char('/');
}

QString Sandbox::path(const QString &name) const
{
    return root_.filePath(QStringLiteral("work/") + name);
}

void Sandbox::store(const std::function<void(ws::OptionModel &)> &edit)
{
    ws::OptionModel options;
    options.setText(options.control(QStringLiteral("TempFolder")), temp_);
    if (edit)
        edit(options);
    // The program reads the native settings of organisation "Orvelle",
    // application "Wavesmithy" under its own XDG_CONFIG_HOME.
    QSettings store(root_.filePath(QStringLiteral("config/Orvelle/Wavesmithy.conf")), QSettings::IniFormat);
    options.saveSettings(store);
    store.sync();
}

void Sandbox::prepare(QProcess &p) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root_.filePath(QStringLiteral("data")));
    p.setProcessEnvironment(env);
    p.setProgram(wstest::binDir() + QStringLiteral("/wavesmithy"));
}

QStringList Sandbox::convertArguments(const QString &input, const QString &output, bool overwrite) const
{
    QStringList args{QStringLiteral("--convert"), input, QStringLiteral("--output"), output};
    if (overwrite)
        args << QStringLiteral("--overwrite");
    return args;
}

namespace {

RunResult finish(QProcess &p)
{
    RunResult r;
    const bool finished = p.waitForFinished(600000);
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    r.code = finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    return r;
}

} // namespace

RunResult Sandbox::convert(const QString &input, const QString &output, bool overwrite) const
{
    return convertTogether({{input, output}}, overwrite).front();
}

RunResult Sandbox::convert(const QString &input, const QString &output, const QStringList &more) const
{
    QProcess p;
    prepare(p);
    p.setArguments(convertArguments(input, output, true) + more);
    p.start();
    return p.waitForStarted() || p.state() != QProcess::NotRunning ? finish(p) : RunResult{};
}

void Sandbox::start(QProcess &p, const QString &input, const QString &output) const
{
    prepare(p);
    p.setArguments(convertArguments(input, output, true));
    p.start();
    p.waitForStarted();
}

std::vector<RunResult> Sandbox::convertTogether(const std::vector<std::pair<QString, QString>> &jobs,
                                                bool overwrite) const
{
    std::vector<std::unique_ptr<QProcess>> running;
    for (const auto &[input, output] : jobs) {
        running.push_back(std::make_unique<QProcess>());
        prepare(*running.back());
        running.back()->setArguments(convertArguments(input, output, overwrite));
        running.back()->start();
    }
    std::vector<RunResult> results;
    for (auto &p : running)
        results.push_back(p->waitForStarted() || p->state() != QProcess::NotRunning ? finish(*p) : RunResult{});
    return results;
}

QStringList Sandbox::leftovers(const QString &folder) const
{
    return QDir(folder.isEmpty() ? temp_ : folder)
        .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
}

bool makeFixture(const QStringList &inputs, const QStringList &tail, const QString &output)
{
    QStringList args;
    for (const QString &in : inputs)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << in;
    args += tail;
    args << output;
    return wstest::ffmpeg(args);
}

QString chirps(int channels, double seconds, int rate)
{
    // Each channel sweeps its own band (kept under 10 kHz, below every
    // preset's cut-off) at a level that leaves headroom for a down-mix.
    static const double start[] = {300, 2000, 700, 60, 1200, 3500};
    static const double slope[] = {40, -50, 90, 2, -30, 60};
    QStringList exprs;
    for (int c = 0; c < channels; ++c)
        exprs << QStringLiteral("0.25*sin(2*PI*(%1*t+%2*t*t))").arg(start[c % 6]).arg(slope[c % 6]);
    return QStringLiteral("aevalsrc=%1:s=%2:d=%3").arg(exprs.join(QLatin1Char('|'))).arg(rate).arg(seconds);
}

namespace {

// Lag in [lo, hi] (frames of `out` behind `ref`) that correlates best over
// the reference frames [from, to).
int bestLag(const Pcm &ref, const Pcm &out, size_t from, size_t to, int lo, int hi)
{
    int best = lo;
    double bestScore = -1e300;
    for (int lag = lo; lag <= hi; ++lag) {
        if (std::ptrdiff_t(from) + lag < 0 || std::ptrdiff_t(to) + lag > std::ptrdiff_t(out.frames()))
            continue;
        double s = 0;
        for (size_t i = from; i < to; ++i)
            for (int c = 0; c < ref.channels; ++c)
                s += double(ref.at(i, c)) * out.at(size_t(std::ptrdiff_t(i) + lag), c);
        if (s > bestScore) {
            bestScore = s;
            best = lag;
        }
    }
    return best;
}

} // namespace

Match compare(const Pcm &ref, const Pcm &out, double partSeconds, double guardSeconds)
{
    Match m;
    if (ref.channels != out.channels || ref.rate != out.rate || ref.frames() == 0) {
        m.why = QStringLiteral("channels or rate differ, or nothing decoded");
        return m;
    }
    const size_t part = size_t(std::lround(partSeconds * ref.rate));
    const size_t guard = size_t(std::lround(guardSeconds * ref.rate));
    const size_t probeLength = size_t(ref.rate / 4);
    // One encoder priming (1024) plus a frame of rounding per join at most.
    const int slack = 2304;
    struct Span {
        size_t from, to;
        int lag;
    };
    std::vector<Span> spans;
    int previous = 0;
    for (size_t start = 0; start < ref.frames(); start += part) {
        const size_t from = start + (start ? guard : 0);
        const size_t to = std::min(ref.frames(), start + part) - guard;
        if (to <= from + probeLength)
            break;
        const size_t mid = (from + to - probeLength) / 2;
        const int lo = spans.empty() ? -slack : previous - 256;
        const int hi = previous + slack;
        const int lag = bestLag(ref, out, mid, mid + probeLength, lo, hi);
        spans.push_back({from, to, lag});
        m.lags.push_back(lag);
        previous = lag;
    }
    double rr = 0, ro = 0, oo = 0;
    for (const Span &s : spans)
        for (size_t i = s.from; i < s.to; ++i) {
            const std::ptrdiff_t j = std::ptrdiff_t(i) + s.lag;
            if (j < 0 || size_t(j) >= out.frames())
                continue;
            for (int c = 0; c < ref.channels; ++c) {
                const double r = ref.at(i, c), o = out.at(size_t(j), c);
                rr += r * r;
                ro += r * o;
                oo += o * o;
            }
        }
    if (rr <= 0 || ro <= 0) {
        m.why = QStringLiteral("no correlated audio");
        return m;
    }
    const double g = ro / rr;
    const double noise = std::max(oo - 2 * g * ro + g * g * rr, 1e-30);
    m.gainDb = 20 * std::log10(g);
    m.snrDb = 10 * std::log10(g * g * rr / noise);
    const size_t half = size_t(ref.rate / 40);
    for (size_t k = 1; k < spans.size(); ++k) {
        const size_t b = k * part;
        double sig = 0, err = 0;
        for (size_t i = b - half; i < b + half && i < ref.frames(); ++i) {
            const std::ptrdiff_t j = std::ptrdiff_t(i) + (i < b ? spans[k - 1].lag : spans[k].lag);
            for (int c = 0; c < ref.channels; ++c) {
                const double r = g * ref.at(i, c);
                const double o = j >= 0 && size_t(j) < out.frames() ? out.at(size_t(j), c) : 0.0;
                sig += r * r;
                err += (o - r) * (o - r);
            }
        }
        m.joinSnrDb.push_back(10 * std::log10(sig / std::max(err, 1e-30)));
    }
    m.ok = true;
    return m;
}

double expectedMaxGainDb(const Pcm &ref)
{
    float peak = 0;
    for (float v : ref.data)
        peak = std::max(peak, std::fabs(v));
    if (peak <= 0)
        return 40.0;
    return std::floor(-20 * std::log10(double(peak)) * 10) / 10;
}

bool isRoot() { return ::geteuid() == 0; }

int run(const QString &program, const QStringList &args, QString *err)
{
    return wstest::runProgram(program, args, nullptr, err, 60000);
}

} // namespace e2e
