// The encoder's VBR presets with their approximate bit rates and cut-off
// frequencies, as shown under "Encoding Properties".
#pragma once

#include <QString>

#include <array>

namespace ws {

struct EncoderPreset {
    const char *name;
    const char *bitrate51;     // Kbps, six-channel output
    const char *bitrateStereo; // Kbps, other channel modes
    const char *cutoff;        // Hz
};

extern const std::array<EncoderPreset, 8> kEncoderPresets;

// The preset of that exact name (case counts), or nullptr.
const EncoderPreset *findPreset(const QString &name);

// The caption of the encoding-properties label for a preset name and channel
// mode; unknown names leave the figures empty but keep the labels and units.
QString encodingProperties(const QString &presetName, const QString &channelMode);

} // namespace ws
