// The conversion job behind "Give me AAC!": composes the tools' command lines
// from the option record, runs them one after another (preparation pass, log
// scan, split, decode and encode of every part, join), cleans up and reports
// progress in the Status label and the command-line pane.
//
// Each step's effect is checked: the tool must have started and ended well,
// and the file it has to leave must exist and not be empty. At the first
// failed step the job ends with a status that names the step and the file or
// tool, its temporary files are deleted and the join does not run, so an
// existing output file is never replaced by a partial one.
#pragma once

#include "ProcessRunner.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace ws {
class OptionModel;
}

namespace wsjob {

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

// Runs one command line; the default is the process runner.
using ToolRunner = std::function<ProcessRunner::ToolOutcome(const QString &command, int show, quint32 priority)>;

class JobPipeline {
public:
    JobPipeline(ws::OptionModel &options, JobHost &host);

    void setToolRunner(ToolRunner runner) { runner_ = std::move(runner); }

    // Converts InputFile into OutputFile. Returns at once with Busy while
    // another job of any pipeline runs (jobs share their temporary files).
    JobResult run();

    static bool isRunning();

    // The log path given to the tools, quoted: the per-user data folder and
    // the log file name of the options.
    QString logPath() const;
    // Priority class from the priority option.
    quint32 priorityClass() const;
    // The segment list of the split command ("256 256 ... "); empty and
    // `error` set when the options cannot give a finite list of parts.
    QString splitList(QString *error = nullptr) const;
    static QString partNumber(int i); // "01" ... "09", "10", ...

private:
    class Failure;
    ProcessRunner::ToolOutcome runCommand(const QString &command, int show);
    void setStatus(const QString &text);
    void setCommand(const QString &text);
    void checkTool(const ProcessRunner::ToolOutcome &o, const QString &step, const QString &toolName);
    void checkFile(const QString &path, const QString &step);
    void cleanUp();
    JobResult runSteps();

    ws::OptionModel &options_;
    JobHost &host_;
    ToolRunner runner_;
    quint32 priority_ = 0x20;
    QString temp_; // temporary folder prefix
    QString ext_;
    QString source_;
    bool vob_ = false;
    int done_ = 0;
    int total_ = 0;
    int parts_ = 0; // parts the split made
};

} // namespace wsjob
