#include "ProcessRunner.h"

#include "Platform.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace ProcessRunner {

namespace {

constexpr int kGraceMs = 2000;

// One call's tool while the call is in progress.
struct ActiveRun {
    QProcess *process = nullptr;
    bool stopped = false;
};

// Calls in progress, outermost first. Nested calls come only from the event
// loop of an outer call's wait, so they end in reverse order.
std::vector<ActiveRun *> g_runs;

// Keeps a run on the list for the lifetime of the guard.
class RunRegistration {
public:
    explicit RunRegistration(ActiveRun *run) : run_(run) { g_runs.push_back(run_); }
    ~RunRegistration() { g_runs.erase(std::find(g_runs.begin(), g_runs.end(), run_)); }
    RunRegistration(const RunRegistration &) = delete;
    RunRegistration &operator=(const RunRegistration &) = delete;

private:
    ActiveRun *run_;
};

// The innermost call whose tool is still running.
ActiveRun *currentRun()
{
    for (auto it = g_runs.rbegin(); it != g_runs.rend(); ++it) {
        if ((*it)->process->state() != QProcess::NotRunning)
            return *it;
    }
    return nullptr;
}

} // namespace

ToolOutcome runTool(const QString &program, const QStringList &arguments, const QString &directory,
                    quint32 priorityClass, int initialWaitMs)
{
    ToolOutcome out;
    out.program = program;
    out.arguments = arguments;
    if (program.trimmed().isEmpty()) {
        out.error = QStringLiteral("no path set");
        return out;
    }

    const QString path = wsplatform::findProgram(program);
    if (path.isEmpty()) {
        const QString file = wsplatform::findNonExecutable(program);
        out.error = file.isEmpty() ? QStringLiteral("program not found: %1").arg(program)
                                   : QStringLiteral("not executable: %1").arg(file);
        return out;
    }
    out.program = path;
    if (!directory.isEmpty() && !QFileInfo(directory).isDir()) {
        out.error = QStringLiteral("working folder not found: %1").arg(directory);
        return out;
    }

    QProcess process;
    process.setProgram(path);
    process.setArguments(arguments);
    if (!directory.isEmpty())
        process.setWorkingDirectory(directory);
    // Nothing to read, and no unread output piling up in this process.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    wsplatform::setUpToolProcess(process, priorityClass);

    // Standard error goes on to ours as it comes; the last complete line
    // (or the unfinished rest at the end) says why a tool failed.
    QByteArray pending;
    const auto passOn = [&process, &pending, &out] {
        const QByteArray chunk = process.readAllStandardError();
        if (chunk.isEmpty())
            return;
        std::fwrite(chunk.constData(), 1, size_t(chunk.size()), stderr);
        std::fflush(stderr);
        pending += chunk;
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            if (!line.isEmpty())
                out.lastErrorLine = QString::fromLocal8Bit(line);
            pending.remove(0, end + 1);
        }
    };
    QObject::connect(&process, &QProcess::readyReadStandardError, passOn);

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);

    process.start();
    if (!process.waitForStarted()) {
        out.error = process.errorString();
        return out;
    }
    out.started = true;
    out.pid = process.processId();

    ActiveRun run{&process};
    {
        RunRegistration registration(&run);
        if (initialWaitMs > 0)
            process.waitForFinished(initialWaitMs);
        // Events are handled only inside exec(), so the end of the tool can't
        // slip in between this test and the loop.
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        if (process.state() != QProcess::NotRunning) {
            // The loop was ended from outside (the application is quitting):
            // don't leave the tool running behind the caller's back. It gets
            // the chance to remove its partial files first.
            run.stopped = true;
            process.terminate();
            if (!process.waitForFinished(kGraceMs))
                process.kill();
            process.waitForFinished(-1);
        }
    }
    passOn();
    if (!pending.trimmed().isEmpty())
        out.lastErrorLine = QString::fromLocal8Bit(pending.trimmed());

    out.stopped = run.stopped;
    out.crashed = process.exitStatus() == QProcess::CrashExit;
    out.exitCode = out.crashed ? -1 : process.exitCode();
    return out;
}

bool isToolRunning()
{
    return currentRun() != nullptr;
}

qint64 currentProcessId()
{
    const ActiveRun *run = currentRun();
    return run ? run->process->processId() : 0;
}

bool stopCurrent()
{
    ActiveRun *run = currentRun();
    if (!run)
        return false;
    run->stopped = true;
    // SIGTERM lets the tool remove its partial files; one that has not ended
    // after the grace period is killed.
    QProcess *process = run->process;
    process->terminate();
    QTimer::singleShot(kGraceMs, process, [process] { process->kill(); });
    return true;
}

} // namespace ProcessRunner
