// The processing stages between the decoder and the output, run by one
// libavfilter graph. The order of the stages is fixed:
//
//   cut (negative delay) -> surround low-pass -> channel mix -> gain ->
//   silence (positive delay) -> resampler -> dynamic compression ->
//   LADSPA plug-in -> 32-bit float, planar, to the sink
//
// The graph is built from the first decoded frame and built again whenever
// the decoded format changes in mid-stream (an AC3 stream that switches from
// 2.0 to 5.1, for example); the output layout and rate never change.
#pragma once

#include "Av.h"
#include "Options.h"
#include "ToolLog.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tromvax {

struct ChainPlan {
    int channels = 2;          // output channels: 2 (stereo) or 6 (5.1)
    std::optional<int> rate;   // output rate; the source rate when unset
    double gainDb = 0.0;       // gain after the channel mix
    double delayMs = 0.0;      // > 0: silence first; < 0: cut from the start
    int64_t dropSamples = 0;   // source samples dropped before all else (no note)
    std::optional<double> lowpassHz; // low-pass on the surround channels
    std::optional<double> centreDb;  // down-mix levels; the source's coded
    std::optional<double> surroundDb; // levels (or -3 dB) when unset
    std::optional<double> lfeToFrontDb; // LFE into left and right (stereo)
    std::optional<double> lfeDb;        // LFE level in six-channel output
    Downmix downmix = Downmix::Stereo;
    std::optional<Boost> boost;
    std::string pluginLib;
    std::string pluginLabel;
};

class Chain {
public:
    using Sink = std::function<void(const AVFrame *)>;
    using Note = std::function<void(const std::string &)>;

    // `sink` receives the processed frames; `note` receives one line per
    // stage in force (for the log) each time the graph is built.
    Chain(ChainPlan plan, Sink sink, Note note);
    ~Chain();
    Chain(const Chain &) = delete;
    Chain &operator=(const Chain &) = delete;

    // Processes one decoded frame (its timestamps are not used).
    void push(AVFrame *frame);
    // Drains the stages at the end of the input.
    void finish();

    // Valid once the first frame was pushed.
    int outputRate() const { return outRate_; }
    const AVChannelLayout &outputLayout() const { return outLayout_; }
    int rebuilds() const { return builds_ > 0 ? builds_ - 1 : 0; }

private:
    struct Graph;
    void build(const AVFrame *frame);
    void drain();
    void send(AVFrame *frame);

    ChainPlan plan_;
    Sink sink_;
    Note note_;
    std::unique_ptr<Graph> graph_;
    AVChannelLayout outLayout_{};
    int outRate_ = 0;
    int builds_ = 0;
    int64_t cutRemaining_ = -1; // samples still to cut; -1 before the first frame
    wstool::FramePtr out_;
};

// Levels of the channel mix, as linear factors.
struct MixSettings {
    double centre = 0.0;     // centre into left and right
    double surround = 0.0;   // surrounds into the fronts
    double lfeToFront = 0.0; // LFE into left and right (0: left out)
    double lfeOut = 1.0;     // LFE channel of six-channel output
    Downmix encoding = Downmix::Stereo;
};

// The mixing matrix (rows: output channels, columns: input channels) that
// libswresample builds for these levels and matrix encoding, with the LFE
// level of six-channel output applied.
std::vector<std::vector<double>> mixMatrix(const AVChannelLayout &in, const AVChannelLayout &out,
                                           const MixSettings &mix);

using wstool::fixed;
std::string signedDb(double db); // "+3.2dB", "-1.5dB", the same in every locale

} // namespace tromvax
