// Opening a WAV file (RIFF, RF64 or BW64) for streaming its PCM.
#pragma once

#include "Av.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace wstool {

// Opens `path` with FFmpeg's WAV demuxer (no guessing from the content), with
// packets of about `packetBytes`. Throws ToolError naming the file when it is
// missing, empty or no readable WAV file.
// A plain RIFF WAV file over 4 GiB cannot state its data length (a 32-bit
// field), so its audio is then read to the end of the file.
InputFormatPtr openWavInput(const std::string &path, int packetBytes = 1 << 18);

// True when `head` (the start of a file of `fileSize` bytes) is a plain RIFF
// WAV whose data chunk runs on for 4 GiB or more: its length field cannot hold
// that, so it is wrapped or a placeholder.
bool wavDataLengthOverflows(const uint8_t *head, size_t n, uint64_t fileSize);

// A chunk other than the audio data that claims to run past the end of a
// RIFF, RF64 or BW64 file of `fileSize` bytes, named as "LIST chunk at byte
// 36"; empty when every chunk fits. FFmpeg's demuxer takes such a length as
// given and may allocate all of it (up to 4 GiB for a file of a few bytes).
// `readAt` reads `n` bytes at a position of the file, false when it cannot.
std::string wavChunkPastEnd(const std::function<bool(uint64_t pos, uint8_t *out, size_t n)> &readAt,
                            uint64_t fileSize);

} // namespace wstool
