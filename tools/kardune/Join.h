// Joining AAC parts into one stream.
#pragma once

#include "KarduneOptions.h"
#include "ToolLog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kardune {

// The part paths of a list file: one per line, LF or CR LF, blank lines
// skipped, in line order.
std::vector<std::string> readPartList(const std::string &listPath);

struct JoinResult {
    int parts = 0;
    double seconds = 0;
    uint64_t bytes = 0;
};

// Joins the parts listed in o.input into o.prefix: ADTS parts frame by frame,
// ADIF parts as one ADIF stream with one header; with o.addRiff the ADTS
// stream goes into a RIFF WAVE file. Throws ToolError for a missing or
// damaged part; the output is renamed into place only when complete.
JoinResult join(const Options &o, wstool::ToolLog &log);

} // namespace kardune
