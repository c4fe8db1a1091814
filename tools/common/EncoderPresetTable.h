// The AAC encoder's presets: one table for the encoder (aacenc), which
// encodes at these average bit rates and cut-off frequencies, and for the
// window, which shows the same figures as a preset's approximate bit rate and
// cut-off. Plain C++, no FFmpeg or Qt.
#pragma once

#include <array>
#include <string_view>

namespace wstool {

struct EncoderPreset {
    const char *name; // "tape" ... "ultra": the aacenc switch without its dash, the window's choice
    int kbps51;       // average bit rate in kbit/s for input of more than two channels (5.1)
    int kbpsStereo;   // average bit rate in kbit/s for one or two channels
    int cutoffHz;     // cut-off frequency in Hz (the encoder caps it at half the sample rate)
};

// From the smallest bit rate to the largest.
extern const std::array<EncoderPreset, 8> kEncoderPresets;

// The preset of exactly that name (case counts), or nullptr.
const EncoderPreset *findEncoderPreset(std::string_view name);

} // namespace wstool
