// The gain pass that aims at a loudness (-g lufs:T): integrated loudness
// after EBU R128 / ITU-R BS.1770 and true peak of the measuring chain's
// output, both from libavfilter's ebur128 filter, and the gain they give.
#pragma once

#include "Av.h"

#include <memory>
#include <optional>

namespace tromvax {

// The highest true peak a loudness gain may lead to, and the gate below
// which EBU R128 measures nothing.
constexpr double kTruePeakCeilingDbtp = -1.0;
constexpr double kLoudnessGateLufs = -70.0;

struct LoudnessReading {
    // Nothing when no 400 ms block rose above the gate: silence, or less
    // than 0.4 s of audio.
    std::optional<double> integratedLufs;
    double truePeak = 0.0; // linear, the highest of all channels
};

// Feeds planar float frames of one layout and rate (a Chain's output) to
// two ebur128 filters: one measures the integrated loudness of exactly
// these samples, the other the true peak, on the samples followed by a
// little silence so that the filter's oversampler gives out the last ones
// too. Both results are read from the metadata the filters attach to each
// 100 ms frame (lavfi.r128.I, lavfi.r128.true_peaks_chN): FFmpeg 5.1 keeps
// them nowhere else but in its log. The metadata has three decimals, so
// the peak branch runs 60 dB up, where they resolve peaks down to -120 dBTP.
class LoudnessMeter {
public:
    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter &) = delete;
    LoudnessMeter &operator=(const LoudnessMeter &) = delete;

    void add(const AVFrame *frame);
    // Drains the filters at the end of the input; the reading is complete
    // after it.
    void finish();
    const LoudnessReading &reading() const { return reading_; }

private:
    struct Graph;
    void build(const AVFrame *frame);
    void drain();

    std::unique_ptr<Graph> graph_;
    LoudnessReading reading_;
    wstool::FramePtr in_;
    wstool::FramePtr out_;
};

// What the gain pass chooses for a loudness target.
struct LoudnessGain {
    double gainDb = 0.0;    // the gain, in steps of 0.1 dB
    double wantedDb = 0.0;  // what the target alone asks for
    bool silent = false;    // nothing to measure: the gain stays at 0 dB
    bool ceilingLowered = false; // lowered to keep the true peak at the ceiling
    bool capped = false;    // held at kMaxGainDb
};

// The gain that brings the integrated loudness to `targetLufs` (rounded to
// 0.1 dB), lowered (rounded down) where the true peak would pass
// kTruePeakCeilingDbtp and held at kMaxGainDb, as -g max is. `truePeak` is
// linear; the caller passes the higher of it and the sample peak.
LoudnessGain gainForLoudness(double targetLufs, std::optional<double> integratedLufs, double truePeak);

} // namespace tromvax
