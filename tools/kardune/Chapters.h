// Chapters for a joined .m4a file, read from an FFmpeg metadata file
// (";FFMETADATA1" with [CHAPTER] sections) by libavformat's own ffmetadata
// demuxer, and fitted to the joined audio.
#pragma once

#include "Av.h"
#include "ToolLog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kardune {

// A chapter as the file gives it: its start in its own time base.
struct ChapterMark {
    AVRational timeBase{1, 1000};
    int64_t start = 0;
    std::string title;
};

// The chapters of the metadata file `path`, in file order. Throws ToolError
// naming the file when it cannot be read, is no FFmpeg metadata file, has a
// chapter the demuxer finds malformed, or has no chapter at all.
std::vector<ChapterMark> readChapterFile(const std::string &path, wstool::ToolLog &log);

// A chapter on the joined audio's timeline, in samples.
struct FittedChapter {
    int64_t start = 0;
    int64_t end = 0;
    std::string title;
};

// The chapters laid on audio of `length` samples at `rate` Hz: in order of
// their starts, a start below 0 made 0, each ending where the next one
// starts and the last at `length`. A chapter starting at or past the end is
// dropped, and so is one that would last no time (another starts at the same
// sample; the later one in order is the one playing from there). `dropped`
// counts the chapters left out.
std::vector<FittedChapter> fitChapters(const std::vector<ChapterMark> &marks, int rate, int64_t length,
                                       int *dropped = nullptr);

// Hands the chapters to a muxer whose header is not yet written (the MP4
// muxer writes them as a QuickTime chapter track and as a Nero chpl box).
void addChapters(AVFormatContext *out, const std::vector<FittedChapter> &chapters, int rate);

} // namespace kardune
