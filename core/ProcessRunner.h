// The process runner: starts one outside tool from a complete command line and
// returns when it has ended, keeping every window live meanwhile.
//
// The command line is split into the program and its arguments (blanks
// separate words, quote marks group them; see wsplatform::splitCommandLine)
// and the program is started directly, never through a shell. A program named
// without a folder is looked up beside the running program, then in the
// current folder, then along PATH. The tool inherits the caller's environment
// and current folder (unless a folder is given); its standard input is empty,
// its standard output is discarded and its standard error goes to the
// caller's standard error.
//
// The wait runs a local event loop that ends when the tool ends, so window
// events (painting, clicks, timers) are handled while a tool runs and other
// handlers may run in the middle of a call, including a nested call. The
// "current process" is the tool that is running: Stop ends it through
// TerminateCurrent(). Everything here belongs to the thread of the
// application object.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace ProcessRunner {

// What became of one tool run.
struct ToolOutcome {
    bool started = false;  // the program was found and started
    bool crashed = false;  // it ended through a signal (Stop included)
    bool stopped = false;  // it was ended through TerminateCurrent() or because
                           // the application quit during the wait
    int exitCode = -1;     // its exit code when it ended normally, else -1
    QString program;       // the program that was (or would have been) started
    QStringList arguments; // its arguments, as split from the command line
    QString error;         // why it could not be started; empty otherwise

    // Started, ended by itself and reported success.
    bool succeeded() const { return started && !crashed && !stopped && exitCode == 0; }
};

// Runs `command` and waits for it to end.
//  directory      the tool's working folder; empty inherits the caller's.
//  priorityClass  wsplatform::PriorityClass flags (0x20 normal, 0x40 idle,
//                 0x80 high, 0x100 real-time); a priority that cannot be set
//                 never stops the start.
//  initialWaitMs  a blocking wait before the event-driven wait begins (the
//                 job uses 0).
// When the program cannot be started the call returns at once with
// started == false and the current process is left as it was.
ToolOutcome runTool(const QString &command, const QString &directory = QString(),
                    quint32 priorityClass = 0x20, int initialWaitMs = 0);

// The runner in the job's own terms: true when the tool was started (and has
// since ended), false when it could not be started. `wait` is the initial
// blocking wait in milliseconds, `show` the window-show mode (1 normal,
// 6 minimised), which has no effect for command-line tools here, and `flags`
// the priority class. The outcome of the run is stored in `outcome` when given.
bool SuperShell(const QString &command, const QString &directory, const qint32 &wait, qint32 show,
                qint32 flags, ToolOutcome *outcome = nullptr);

// True while a tool started by runTool()/SuperShell() is running.
bool isToolRunning();

// Process id of the current process: the most recently started tool that is
// still running (after a nested call returns, the outer call's tool again);
// 0 when no tool runs.
qint64 currentProcessId();

// Ends the current process at once (Stop). Returns true when a tool was
// running; does nothing and returns false when none runs. The call that
// started the tool then returns with stopped == true.
bool TerminateCurrent();

} // namespace ProcessRunner
