// Cutting a source into numbered parts.
#pragma once

#include "KarduneOptions.h"
#include "ToolLog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kardune {

// Where parts end: the listed lengths add up to part ends on the source's
// time line; whatever follows the last one is one more part.
class PartPlan {
public:
    explicit PartPlan(const std::vector<double> &lengths);
    // True when a unit (a frame) starting at `start` seconds and lasting
    // `duration` belongs to a later part than the one before it: it starts at
    // or after the boundary nearest to a part end.
    bool startsNewPart(double start, double duration);
    // The first part end, in samples, after `from`; -1 when none remains.
    int64_t nextEndSample(int64_t from, int sampleRate);

private:
    std::vector<double> ends_;
    size_t next_ = 0;
};

struct SplitResult {
    int parts = 0;
    double seconds = 0;
    uint64_t bytes = 0;
    std::string note; // a remark for standard error, such as bytes left out
};

// Splits o.input as o.partType into parts named by partName(o, n). On failure
// (ToolError) no part made by this run is left behind.
SplitResult split(const Options &o, wstool::ToolLog &log);

} // namespace kardune
