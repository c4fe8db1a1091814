// Figures that show how well converted parts join: the output and a reference
// (the source with the same processing, not encoded) are decoded, aligned and
// compared window by window around each part boundary and inside the parts.
#pragma once

#include "AudioCheck.h"

#include <QString>

#include <cstddef>
#include <vector>

namespace seam {

using audiocheck::decode;
using audiocheck::Pcm;

struct JoinFigure {
    double seconds = 0;   // where the join lies in the reference
    double errorDb = 0;   // error power within 25 ms of the join over the in-part median, dB
    double maxError = 0;  // largest sample error within 50 ms of the join (reference scale)
};

struct Figures {
    bool ok = false;
    QString why;
    int lag = 0;               // output sample that matches reference sample 0
    std::vector<int> lags;     // the same for each part (a join that adds samples shifts the rest)
    double gain = 1;           // output level over reference level
    double snrDb = 0;          // whole signal
    double medianErrorDb = 0;  // median error power of 50 ms windows inside parts, dBFS
    double maxErrorInParts = 0;
    std::vector<JoinFigure> joins;
    // Per part of at least 20 s: SNR of its first 10 s minus SNR of the rest.
    std::vector<double> firstTenSecondsDb;
};

// Compares `out` with `ref` for joins every `partSeconds` (the last part takes
// the rest). `maxLag` bounds the delay search.
Figures measure(const Pcm &ref, const Pcm &out, double partSeconds, int maxLag = 4096);

} // namespace seam
