// What the encoder is asked to do, read from its command line, and the bit
// rate and cut-off that follow from a preset or a quality.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace aacenc {

struct Request {
    bool help = false;
    bool version = false; // --version
    std::string input;  // -if
    std::string output; // -of
    std::string preset; // "normal" unless a quality is given
    std::optional<double> quality; // 0.05 … 1.0 (-qvbr 5 … 100)
    bool adif = false;
    bool keepLfe = false;
    int threads = 0; // -threads N; 0: one worker per processor core
};

// Reads "-if WAV -normal [-adif] [-lfe] -of AAC" or "-if WAV -vbrhi -qvbr 35 … -of AAC",
// each optionally with "-threads N";
// throws wstool::UsageError with a one-line reason.
Request parseRequest(const std::vector<std::string> &words);

struct RateChoice {
    int64_t bitRate = 0; // bits/s, average
    int cutoff = 0;      // Hz; 0 lets the encoder choose from the bit rate
};

// inputChannels: channels of the WAV; codedFullRange: full-range channels that
// are encoded (LFE not counted); sampleRate caps the cut-off at its half.
RateChoice chooseRate(const Request &r, int inputChannels, int codedFullRange, int sampleRate);

// Bit rate of a quality: 16 + 144 * quality kbit/s per full-range channel.
int64_t qualityBitRate(double quality, int fullRangeChannels);

} // namespace aacenc
