// The conversion job behind "Give me AAC!": reads the options once into its
// settings, creates a private workspace in the temporary folder, runs the
// tools one after another (preparation pass, log scan, split, decode and
// encode of every part, join), removes the workspace and reports progress in
// the Status label and the command-line pane.
//
// The job owns only its workspace, the output it writes at the end and the
// log: it creates, changes or deletes nothing else. Each step's effect is
// checked: the tool must have started and ended well, and the file it has to
// leave must exist and not be empty. At the first failed step the job ends
// with a status that names the step and the tool's last message, and the join
// does not run, so an existing output file is never replaced by a partial one.
#pragma once

#include "JobSettings.h"
#include "ProcessRunner.h"
#include "ToolCommand.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace ws {
class OptionModel;
}

namespace wsjob {

struct DiscTagFiles;
struct JobFiles;
struct ToolLogValues;

// What the job needs from its surroundings (the main window, or the headless
// conversion).
class JobHost {
public:
    virtual ~JobHost() = default;
    // Whether the batch window is visible (then no overwrite question).
    virtual bool batchVisible() const { return false; }
    // The overwrite question; true goes on.
    virtual bool confirmOverwrite(const QString &outputFile) = 0;
    // Progress: `done` of `total` work units (total 0 while unknown).
    virtual void progress(int done, int total) { (void)done, (void)total; }
    // Opens the log in the desktop's text viewer, without waiting.
    virtual void openLog(const QString &path) { (void)path; }
    // The job starts and ends (for disabling "Give me AAC!").
    virtual void jobStarted() {}
    virtual void jobFinished() {}
};

struct JobResult {
    enum class Outcome { Completed, Cancelled, Refused, Failed, Stopped, Busy };
    Outcome outcome = Outcome::Failed;
    QString message; // the final status text
    bool completed() const { return outcome == Outcome::Completed; }
};

// Runs one tool; the default is the process runner.
using ToolRunner = std::function<ProcessRunner::ToolOutcome(const ToolCommand &command, quint32 priorityClass)>;

class JobPipeline {
public:
    JobPipeline(ws::OptionModel &options, JobHost &host);

    void setToolRunner(ToolRunner runner) { runner_ = std::move(runner); }

    // Converts InputFile into OutputFile. Returns at once with Busy while
    // another job of this program runs.
    JobResult run();

    static bool isRunning();

private:
    class Failure;
    ProcessRunner::ToolOutcome runCommand(const ToolCommand &command);
    void setStatus(const QString &text);
    void setCommand(const QString &text);
    void checkTool(const ProcessRunner::ToolOutcome &o, const QString &step, const QString &toolName);
    void checkFile(const QString &path, const QString &step);
    void checkRoom(const QString &source, qint64 available);
    // Lists the disc and writes the title's chapter file; the note says
    // what the output will carry, for the log.
    DiscTagFiles writeDiscTags(const JobFiles &files, const ToolLogValues &scanned, QString *note);
    JobResult runSteps();

    ws::OptionModel &options_;
    JobHost &host_;
    ToolRunner runner_;
    JobSettings settings_;
    int done_ = 0;
    int total_ = 0;
};

} // namespace wsjob
