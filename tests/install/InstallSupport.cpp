#include "InstallSupport.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace wsinstall {

RunResult run(const QString &program, const QStringList &args, const QProcessEnvironment &env, int timeoutMs)
{
    RunResult r;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted()) {
        r.err = p.errorString();
        return r;
    }
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) {
        p.kill();
        p.waitForFinished();
    }
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err += QString::fromLocal8Bit(p.readAllStandardError());
    r.code = (finished && p.exitStatus() == QProcess::NormalExit) ? p.exitCode() : -2;
    return r;
}

QString onPath(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

QString buildDir()
{
    const QString dir = QDir::cleanPath(wstest::binDir() + QStringLiteral("/.."));
    return QFileInfo::exists(dir + QStringLiteral("/CMakeCache.txt")) ? dir : QString();
}

const QStringList &programNames()
{
    static const QStringList names{QStringLiteral("wavesmithy"), QStringLiteral("tromvax"),
                                   QStringLiteral("kardune"), QStringLiteral("aacenc")};
    return names;
}

QString installedPrefix(QString *why)
{
    // Installed once; every test only reads from it.
    static std::unique_ptr<QTemporaryDir> prefix;
    static QString failure;
    if (!prefix && failure.isEmpty()) {
        const QString build = buildDir();
        if (build.isEmpty()) {
            failure = QStringLiteral("no build folder (CMakeCache.txt) above ") + wstest::binDir();
        } else {
            auto dir = std::make_unique<QTemporaryDir>();
            const RunResult r = run(QStringLiteral(WS_CMAKE_COMMAND),
                                    {QStringLiteral("--install"), build, QStringLiteral("--prefix"), dir->path()});
            if (r.code != 0)
                failure = QStringLiteral("cmake --install failed (%1): %2%3").arg(r.code).arg(r.out, r.err);
            else
                prefix = std::move(dir);
        }
    }
    if (!prefix) {
        if (why)
            *why = failure;
        return {};
    }
    return prefix->path();
}

QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QMap<QString, QString> desktopEntry(const QString &path)
{
    QMap<QString, QString> keys;
    bool inGroup = false;
    for (const QString &raw : readText(path).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inGroup && eq > 0)
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

QStringList switchesIn(const QString &usage)
{
    static const QRegularExpression word(QStringLiteral("(?:^|[\\s\\[|(,])(--?[A-Za-z][A-Za-z0-9]*\\(?)"),
                                         QRegularExpression::MultilineOption);
    QStringList found;
    auto it = word.globalMatch(usage);
    while (it.hasNext()) {
        const QString w = it.next().captured(1);
        if (!found.contains(w))
            found << w;
    }
    return found;
}

QString renderManPage(const QString &groff, const QString &page, QString *warnings)
{
    // -t for tables, -ww for every warning; -P-cbou: plain letters, no
    // overstriking or terminal escapes.
    const RunResult r = run(groff, {QStringLiteral("-t"), QStringLiteral("-man"), QStringLiteral("-ww"),
                                    QStringLiteral("-Tascii"), QStringLiteral("-P-cbou"), page});
    *warnings = r.err.trimmed();
    return r.code == 0 ? r.out : QString();
}

bool offersConvert(const QString &program)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const RunResult r = run(program, {QStringLiteral("--help")}, env, 60000);
    return r.code == 0 && (r.out + r.err).contains(QLatin1String("--convert"));
}

QString whyNotConvertible(const QString &bin)
{
    for (const QString &name : programNames())
        if (!QFileInfo(bin + QLatin1Char('/') + name).isExecutable())
            return name + QStringLiteral(" is not built yet, so the installed copy cannot convert");
    if (!offersConvert(bin + QStringLiteral("/wavesmithy")))
        return QStringLiteral("wavesmithy has no --convert option yet");
    if (onPath(QStringLiteral("ffmpeg")).isEmpty() || onPath(QStringLiteral("ffprobe")).isEmpty())
        return QStringLiteral("ffmpeg and ffprobe are needed to make and check the audio");
    return {};
}

bool probeAudio(const QString &file, Probe *p, QString *why)
{
    const RunResult s = run(QStringLiteral("ffprobe"),
                            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                             QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                             QStringLiteral("stream=codec_name,channels,sample_rate"), QStringLiteral("-of"),
                             QStringLiteral("default=noprint_wrappers=1"), file});
    if (s.code != 0) {
        *why = QStringLiteral("ffprobe failed on %1: %2").arg(file, s.err);
        return false;
    }
    for (const QString &line : s.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString key = line.section(QLatin1Char('='), 0, 0), value = line.section(QLatin1Char('='), 1);
        if (key == QLatin1String("codec_name"))
            p->codec = value.trimmed();
        else if (key == QLatin1String("channels"))
            p->channels = value.toInt();
        else if (key == QLatin1String("sample_rate"))
            p->sampleRate = value.toInt();
    }
    const RunResult f = run(QStringLiteral("ffprobe"),
                            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                             QStringLiteral("a:0"), QStringLiteral("-show_entries"), QStringLiteral("frame=nb_samples"),
                             QStringLiteral("-of"), QStringLiteral("csv=p=0"), file});
    if (f.code != 0 || p->sampleRate <= 0) {
        *why = QStringLiteral("could not decode %1: %2").arg(file, f.err);
        return false;
    }
    qint64 samples = 0;
    for (const QString &line : f.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        samples += line.trimmed().toLongLong();
    p->seconds = double(samples) / p->sampleRate;
    return true;
}

bool makeAc3(const QString &file, double seconds)
{
    return wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds),
                           QStringLiteral("-af"), QStringLiteral("aformat=channel_layouts=5.1"), QStringLiteral("-c:a"),
                           QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("384k"), file});
}

Conversion convertWith(const QString &program, const QString &input, const QString &work)
{
    Conversion c;
    c.output = work + QStringLiteral("/out.aac");
    c.dataHome = work + QStringLiteral("/data");
    const QString emptyPath = work + QStringLiteral("/nothing-on-path");
    const QString tmp = work + QStringLiteral("/tmp");
    QDir().mkpath(emptyPath);
    QDir().mkpath(tmp);
    QDir().mkpath(c.dataHome);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // As on a fresh machine without a desktop: no display of any kind.
    for (const char *display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(display));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), c.dataHome);
    env.insert(QStringLiteral("TMPDIR"), tmp); // the default temporary folder
    env.insert(QStringLiteral("PATH"), emptyPath);
    c.result = run(program,
                   {QStringLiteral("--convert"), input, QStringLiteral("--output"), c.output,
                    QStringLiteral("--overwrite")},
                   env);
    return c;
}

} // namespace wsinstall
