// kardune: cuts audio sources into numbered parts at frame boundaries and
// joins AAC parts into one stream. run() is the whole tool; main() only hands
// it the command line.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kardune {

// Runs one command line (the words after the program name). Writes its
// result line to `out` and a one-line reason to `err` on failure. Returns 0 on
// success, 1 when the work failed, 2 for a command line it cannot use.
int run(const std::vector<std::string> &words, std::ostream &out, std::ostream &err);

std::string usage();

} // namespace kardune
