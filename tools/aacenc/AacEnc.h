// aacenc: encodes a PCM WAV file to AAC-LC (ADTS or ADIF) with FFmpeg's
// native encoder. run() is the whole tool; main() only hands it the command
// line.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace aacenc {

// Runs one command line (the words after the program name). Writes a result
// line to `out`, or a one-line reason to `err`. Returns 0 on success, 1 when
// the encoding failed, 2 for a command line it cannot use.
int run(const std::vector<std::string> &words, std::ostream &out, std::ostream &err);

std::string usage();

} // namespace aacenc
