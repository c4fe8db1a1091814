// The caption of "Encoding Properties": a preset's approximate bit rate and
// cut-off, from the encoder's own preset table.
#pragma once

#include <QString>

namespace ws {

// The caption for a preset name and channel mode; unknown names leave the
// figures empty but keep the labels and units.
QString encodingProperties(const QString &presetName, const QString &channelMode);

} // namespace ws
