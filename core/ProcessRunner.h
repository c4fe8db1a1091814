// The process runner: starts one outside tool from its program and argument
// vector and returns when it has ended, keeping every window live meanwhile.
//
// The program is started directly, never through a shell, and each argument
// reaches it as one word. A program named without a folder is looked up
// beside the running program, then in the current folder, then along PATH.
// The tool inherits the caller's environment and current folder (unless a
// folder is given); its standard input is empty, its standard output is
// discarded and its standard error is passed on to the caller's standard
// error, line by line, with the last line kept for the failure message.
//
// The wait runs a local event loop that ends when the tool ends, so window
// events (painting, clicks, timers) are handled while a tool runs and other
// handlers may run in the middle of a call, including a nested call. The
// "current process" is the tool that is running: Stop ends it through
// stopCurrent(). Everything here belongs to the thread of the application
// object.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace ProcessRunner {

// What became of one tool run.
struct ToolOutcome {
    bool started = false;  // the program was found and started
    bool crashed = false;  // it ended through a signal (Stop included)
    bool stopped = false;  // it was ended through stopCurrent() or because
                           // the application quit during the wait
    int exitCode = -1;     // its exit code when it ended normally, else -1
    QString program;       // the program that was (or would have been) started
    QStringList arguments; // its arguments
    QString error;         // why it could not be started; empty otherwise
    QString lastErrorLine; // the last non-empty line it wrote on standard error
    qint64 pid = 0;        // its process id once started

    // Started, ended by itself and reported success.
    bool succeeded() const { return started && !crashed && !stopped && exitCode == 0; }
};

// Runs `program` with `arguments` and waits for it to end.
//  directory      the tool's working folder; empty inherits the caller's.
//  priorityClass  wsplatform::PriorityClass flags (0x20 normal, 0x40 idle,
//                 0x80 high, 0x100 real-time); a priority that cannot be set
//                 never stops the start.
//  initialWaitMs  a blocking wait before the event-driven wait begins.
// When the program cannot be started the call returns at once with
// started == false and the current process is left as it was.
ToolOutcome runTool(const QString &program, const QStringList &arguments, const QString &directory = QString(),
                    quint32 priorityClass = 0x20, int initialWaitMs = 0);

// True while a tool started by runTool() is running.
bool isToolRunning();

// Process id of the current process: the most recently started tool that is
// still running (after a nested call returns, the outer call's tool again);
// 0 when no tool runs.
qint64 currentProcessId();

// Ends the current process (Stop): SIGTERM, then SIGKILL when it has not
// ended after 2 s. Returns true when a tool was running; does nothing and
// returns false when none runs. The call that started the tool then returns
// with stopped == true.
bool stopCurrent();

} // namespace ProcessRunner
