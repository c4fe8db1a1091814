// The splitter's command line: what to do, read from its switch groups.
#pragma once

#include "CommandLine.h"

#include <string>
#include <vector>

namespace kardune {

enum class Mode { Split, Join, Help, Version };
enum class PartType { Ac3, MpegAudio, Dts, Wav, Aac };

struct Options {
    Mode mode = Mode::Split;
    bool addRiff = false;   // join: wrap the output in a RIFF WAVE header
    std::string input;      // split: the source; join: the list file
    std::string prefix;     // split: prefix of the part names; join: the output file
    std::string logPath;
    bool logAppend = false;
    std::string type;       // lower-case, as given to -type
    PartType partType = PartType::Ac3;
    bool replace = false;   // -r: parts may overwrite existing files
    bool ending = false;    // -ending: part names end in "." + type
    std::vector<double> lengths; // part lengths in seconds, zeros left out
    std::string title;      // join into .m4a: the title tag
    std::string language;   // join into .m4a: the track's language, ISO 639-2 ("eng")
    std::string chapters;   // join into .m4a: an FFmpeg metadata file with the chapters
};

// An output name ending in ".m4a" (any case): the join writes MPEG-4 audio.
bool isM4a(const std::string &path);

// Reads the words of a command line; throws wstool::UsageError with a one-line
// reason when they make no valid request.
Options parseOptions(const std::vector<std::string> &words);

// Part number n as written in part names: "01" … "09", then "10", "11", …
std::string partNumber(int n);
// The file name of part n.
std::string partName(const Options &o, int n);

} // namespace kardune
