#include "Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif
#include <sys/stat.h>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>
#endif

namespace wsplatform {

bool sameFile(const QString &a, const QString &b)
{
#if defined(Q_OS_UNIX)
    struct stat sa, sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#else
    const QFileInfo fa(a), fb(b);
    return fa.exists() && fb.exists() && fa.canonicalFilePath().compare(fb.canonicalFilePath(), Qt::CaseInsensitive) == 0;
#endif
}

namespace {

QString fileIn(const QString &folder, const QString &name, bool executable)
{
    const QFileInfo fi(QDir(folder), name);
    if (fi.isFile() && fi.isExecutable() == executable)
        return fi.absoluteFilePath();
    return {};
}

// The search order of findProgram, for executable files or for the others.
QString lookUp(const QString &name, bool executable)
{
    if (name.isEmpty())
        return {};
    const bool hasFolder = name.contains(QLatin1Char('/'))
#if defined(Q_OS_WIN)
                           || name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char(':'))
#endif
        ;
    if (hasFolder)
        return fileIn(QDir::currentPath(), name, executable);
    QString found = fileIn(programFolder(), name, executable);
    if (found.isEmpty())
        found = fileIn(QDir::currentPath(), name, executable);
    if (found.isEmpty()) {
        if (executable)
            return QStandardPaths::findExecutable(name);
        for (const QString &folder : qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
            if (found = fileIn(folder, name, false); !found.isEmpty())
                break;
    }
    return found;
}

} // namespace

QString findProgram(const QString &name) { return lookUp(name, true); }

QString findNonExecutable(const QString &name) { return lookUp(name, false); }

int niceForPriorityClass(quint32 flags)
{
    if (flags & IdlePriorityClass)
        return 19;
    if (flags & NormalPriorityClass)
        return 0;
    if (flags & HighPriorityClass)
        return -5;
    if (flags & RealTimePriorityClass)
        return -10;
    return 0;
}

void setUpToolProcess(QProcess &process, quint32 flags)
{
#if defined(Q_OS_UNIX)
    const int nice = niceForPriorityClass(flags);
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: only async-signal-safe calls.
    process.setChildProcessModifier([nice, parent] {
        if (::setpriority(PRIO_PROCESS, 0, nice) != 0 && nice < 0)
            (void)::setpriority(PRIO_PROCESS, 0, 0);
#if defined(Q_OS_LINUX)
        // The tool ends (and removes its partial files) when this program
        // ends, even through SIGKILL; a parent already gone ends it at once.
        (void)::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(143);
#endif
    });
#elif defined(Q_OS_WIN)
    DWORD cls = NORMAL_PRIORITY_CLASS;
    switch (niceForPriorityClass(flags)) {
    case 19: cls = IDLE_PRIORITY_CLASS; break;
    case -5: cls = HIGH_PRIORITY_CLASS; break;
    case -10: cls = REALTIME_PRIORITY_CLASS; break;
    default: break;
    }
    process.setCreateProcessArgumentsModifier(
        [cls](QProcess::CreateProcessArguments *args) { args->flags |= cls; });
#else
    Q_UNUSED(process);
    Q_UNUSED(flags);
#endif
}

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
#if defined(Q_OS_LINUX)
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
#else
    return QDir::currentPath();
#endif
}

QString userDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    return folder;
}

QString pathSeparator()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("\\");
#else
    return QStringLiteral("/");
#endif
}

} // namespace wsplatform
