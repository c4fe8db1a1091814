// What the batch window needs from the main window. The batch window never
// composes a command line: for each item it fills three options of the main
// window and runs the main window's conversion ("Give me AAC!").
#pragma once

#include "BatchItems.h"

#include <QString>

namespace wsbatch {

class BatchHost {
public:
    virtual ~BatchHost() = default;

    // The main window's InputFile text; setting it runs the main window's
    // input-change handling.
    virtual void setInputFile(const QString &path) = 0;
    virtual void setOutputFile(const QString &path) = 0;
    // The main window's substream text (a VOB item's ID, "0x80"); empty:
    // the automatic choice.
    virtual void setSubstream(const QString &id) = 0;
    // The title of a disc item (from 1), after its input is set.
    virtual void setTitle(int number) { (void)number; }
    // The titles and tracks of a dropped VOB or disc, as the transcoder
    // lists them; nothing by default (a VOB then shows "auto").
    virtual Listing listInput(const QString &path) { (void)path; return std::nullopt; }
    // Ticks "Append to Log File" (LOGFILE(1)), so that the jobs of a batch
    // append to one log.
    virtual void tickAppendLog() = 0;
    // Runs one conversion as "Give me AAC!" does and returns when it has
    // ended, whatever its outcome. Window events keep being processed while
    // it runs.
    virtual void runJob() = 0;
    // Whether a conversion is running (started from any window).
    virtual bool jobRunning() const = 0;
    // Ends the tool that is running, if any (Stop). By default the process
    // runner's current process.
    virtual void stopTool();

    virtual void setMainEnabled(bool enabled) = 0;
    virtual void showMain() = 0;
    virtual void hideMain() = 0;
};

} // namespace wsbatch
