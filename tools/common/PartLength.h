// The length note beside an encoded part of a split source (the AAC file's
// path + ".length"): how many samples of the output's time line the part
// holds, which its frames alone cannot tell (the last frame is padded to
// 1024 samples). The encoder writes it from the WAV's part note (PartSpan.h);
// the joiner adds the parts' notes up to the exact length of the whole
// conversion, which an MPEG-4 audio file signals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wstool {

struct PartLength {
    int64_t samples = 0; // the part's own samples
    int64_t priming = 0; // encoder delay in its first frame (the first part keeps the priming frame)
    int rate = 0;        // sample rate
    uint64_t bytes = 0;  // size of the encoded part the note describes
};

std::string lengthNotePath(const std::string &part);

// Writes the note (it appears only when complete, see AtomicFile); throws ToolError.
void writeLengthNote(const std::string &path, const PartLength &l);
// Reads a note; nothing when the file is missing or is no valid note.
std::optional<PartLength> readLengthNote(const std::string &path);

} // namespace wstool
