// Opening a WAV file (RIFF, RF64 or BW64) for streaming its PCM.
#pragma once

#include "Av.h"

#include <string>

namespace wstool {

// Opens `path` with FFmpeg's WAV demuxer (no guessing from the content), with
// packets of about `packetBytes`. Throws ToolError naming the file when it is
// missing, empty or no readable WAV file.
InputFormatPtr openWavInput(const std::string &path, int packetBytes = 1 << 18);

} // namespace wstool
