// The transcoder tromvax: VOB substream extraction, gain measurement and
// decoding to WAV, driven by one command line of switch groups.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tromvax {

// Exit codes.
constexpr int kOk = 0;
constexpr int kFailed = 1;     // the run could not be completed
constexpr int kUsageError = 2; // the command line is wrong

// Runs one command line (the words after the program name). Help goes to
// `out`; a failure is one line on `err` and in the log.
int run(const std::vector<std::string> &words, std::ostream &out, std::ostream &err);

} // namespace tromvax
