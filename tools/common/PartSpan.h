// How a part of a split source lines up with its neighbours, so that parts
// decoded and encoded one by one join without gap, overlap or click.
//
// The splitter writes a span note beside each part (part path + ".span"): the
// part's place on the source's sample time line and the audio just before and
// just after it (run-in and run-out, whole frames of the source). The decoder
// reads and deletes the note (handing on the next part's long run-in, see
// HandOn), decodes run-in + part + run-out and trims the
// result to whole 1024-sample blocks around the part; it tells the encoder
// which samples belong to the part in the WAV's comment (a LIST/INFO chunk).
// The encoder codes everything and keeps only the AAC frames of the part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wstool {

// Sample numbers count on the time line of a single decode of the whole
// source: sample 0 is the first one that decode gives (for an MP3 with an
// encoder-delay tag, the first after the tag frame and the delay), so a
// part's run-in may start before it.
struct PartSpan {
    int64_t first = 0; // source sample of the first decoded sample (run-in included)
    int64_t start = 0; // source sample where the part's own audio begins
    int64_t end = -1;  // where it ends; -1: the part runs to the end of the source
    int rate = 0;      // the source's sample rate
};

// A long run-in that lies in the previous part's file is not copied into the
// next part's note at the split: the decoder of the previous part hands it on
// when it reads its own note, so that the temporary folder holds at most one
// such copy at a time instead of one per part.
struct HandOn {
    std::string note;   // the next part's note: a file name in this part's folder
    int64_t offset = 0; // where the run-in's bytes begin in this part's file
    int64_t bytes = 0;  // how many
    int64_t first = 0;  // the next part's `first` with them
    int64_t start = 0;  // the next part's `start`, to check the note against
};

// The largest sample position or count a note or comment may state, about
// 35 days at 384 kHz: far past any source, and small enough that the
// arithmetic on it (scaled to another rate, summed with run-in and run-out)
// cannot overflow. The readers refuse larger values as damage.
constexpr int64_t kMaxSamplePosition = int64_t(1) << 40;
// The highest source rate a note may state (above any real one).
constexpr int kMaxSpanRate = 1 << 20;

std::string spanPath(const std::string &part);
// The bare file name of a part's note, as a HandOn names it.
std::string spanName(const std::string &part);

// Writes the note with its run-in and run-out bytes (and what this part hands
// on, if anything); throws ToolError.
void writeSpan(const std::string &path, const PartSpan &span, const std::vector<uint8_t> &before,
               const std::vector<uint8_t> &after, const HandOn *handOn = nullptr);
// Reads a note; nothing when the file is missing or is no valid note.
std::optional<PartSpan> readSpan(const std::string &path, std::vector<uint8_t> *before, std::vector<uint8_t> *after,
                                 std::optional<HandOn> *handOn = nullptr);
// Gives the next part's note its long run-in from `part` (the file whose note
// named `h`). The note must still be the one the split wrote: same start,
// carrying the tail of those bytes. False, with the reason, when it cannot.
bool handOnRunIn(const std::string &part, const HandOn &h, std::string *why);

// Which decoded samples a part keeps, at the decoder's output rate.
struct PartTrim {
    int64_t skip = 0;  // samples dropped at the start of the decoded audio
    int64_t count = -1; // samples written after them; -1: all
    int64_t lead = 0;  // of those, samples before the part's own audio (a multiple of 1024)
    int64_t keep = -1; // the part's own samples; -1: all after `lead`
};

// Run-in the encoder needs before a part's first kept frame: its window
// shapes settle only after a few frames.
constexpr int64_t kRunInSamples = 8192;
// Its rate control and psychoacoustic statistics take about 12 s to settle
// (a part started cold codes its first seconds several dB worse than a
// single encode). The parts of a split into parts of 30 s or more carry that
// much run-in: a few per cent of a 256 s part, a third more encoding for the
// 32 s parts of a 5.1 job, which otherwise start their first seconds cold.
// Shorter parts keep kRunInSamples.
constexpr double kLongPartSeconds = 30.0;
constexpr double kLongRunInSeconds = 12.0;
// Run-in every part of a split whose longest part lasts `partSeconds`
// carries beyond the decoder's few frames.
inline double extraRunInSeconds(double partSeconds)
{
    return partSeconds >= kLongPartSeconds ? kLongRunInSeconds : 0.0;
}
// Run-out after a part's last kept frame: the encoder looks ahead for
// transients and the last frame overlaps into the next block.
constexpr int64_t kRunOutSamples = 4096;
constexpr int64_t kBlock = 1024;

// Part boundaries fall on whole 1024-sample blocks of the output time line.
// `shift` is a delay applied to this part alone (silence > 0, cut < 0), in
// output samples; a multiple of kBlock keeps the parts after it on the grid.
PartTrim trimFor(const PartSpan &span, int outRate, int64_t shift = 0);

// Source samples to drop from the start of a part's decoded audio before it
// is resampled to `outRate`, so that it starts on a sample both rates share
// (as the single decode's first sample does) and the resampled part lines up
// with a single pass to the sample; 0 without resampling.
int64_t resampleAlignment(const PartSpan &span, int outRate);

// A delay of `samples` for the first part of a split source, rounded to
// whole blocks: the parts after it know nothing of the delay and start on
// the block grid, so the first part must end on it too.
int64_t blockDelay(int64_t samples);

// The WAV comment that carries lead and keep from decoder to encoder.
std::string trimNote(const PartTrim &t);
// Lead and keep from a WAV comment; nothing when it is no such note.
std::optional<PartTrim> parseTrimNote(const std::string &note);

} // namespace wstool
