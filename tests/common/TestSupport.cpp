#include "TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace wstest {

QString binDir()
{
    const QString env = qEnvironmentVariable("WAVESMITHY_BIN_DIR");
    if (!env.isEmpty())
        return env;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
}

int runProgram(const QString &program, const QStringList &args, QString *out, QString *err,
               int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return -1;
    p.waitForFinished(timeoutMs);
    if (out)
        *out = QString::fromLocal8Bit(p.readAllStandardOutput());
    if (err)
        *err = QString::fromLocal8Bit(p.readAllStandardError());
    if (p.exitStatus() != QProcess::NormalExit)
        return -2;
    return p.exitCode();
}

bool ffmpeg(const QStringList &args)
{
    QStringList all{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                    QStringLiteral("error"), QStringLiteral("-y")};
    all += args;
    QString err;
    const int rc = runProgram(QStringLiteral("ffmpeg"), all, nullptr, &err);
    return rc == 0 && QFileInfo::exists(args.last());
}

} // namespace wstest
