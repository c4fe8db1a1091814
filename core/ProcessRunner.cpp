#include "ProcessRunner.h"

#include "Platform.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <vector>

namespace ProcessRunner {

namespace {

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

ToolOutcome runTool(const QString &command, const QString &directory, quint32 priorityClass,
                    int initialWaitMs)
{
    ToolOutcome out;
    QStringList words = wsplatform::splitCommandLine(command);
    if (words.isEmpty()) {
        out.error = QStringLiteral("empty command line");
        return out;
    }
    out.program = words.takeFirst();
    out.arguments = words;

    const QString path = wsplatform::findProgram(out.program);
    if (path.isEmpty()) {
        out.error = QStringLiteral("program not found: %1").arg(out.program);
        return out;
    }
    out.program = path;
    if (!directory.isEmpty() && !QFileInfo(directory).isDir()) {
        out.error = QStringLiteral("working folder not found: %1").arg(directory);
        return out;
    }

    QProcess process;
    process.setProgram(path);
    process.setArguments(out.arguments);
    if (!directory.isEmpty())
        process.setWorkingDirectory(directory);
    // Nothing to read, and no unread output piling up in this process.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wsplatform::applyPriorityClass(process, priorityClass);

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);

    process.start();
    if (!process.waitForStarted()) {
        out.error = process.errorString();
        return out;
    }
    out.started = true;

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
            // don't leave the tool running behind the caller's back.
            run.stopped = true;
            process.kill();
            process.waitForFinished(-1);
        }
    }

    out.stopped = run.stopped;
    out.crashed = process.exitStatus() == QProcess::CrashExit;
    out.exitCode = out.crashed ? -1 : process.exitCode();
    return out;
}

bool SuperShell(const QString &command, const QString &directory, const qint32 &wait, qint32 show,
                qint32 flags, ToolOutcome *outcome)
{
    Q_UNUSED(show); // command-line tools have no window of their own here
    ToolOutcome result = runTool(command, directory, quint32(flags), wait);
    const bool started = result.started;
    if (outcome)
        *outcome = std::move(result);
    return started;
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

bool TerminateCurrent()
{
    ActiveRun *run = currentRun();
    if (!run)
        return false;
    run->stopped = true;
    run->process->kill();
    return true;
}

} // namespace ProcessRunner
