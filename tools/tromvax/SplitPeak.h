// Measuring the peak of a long source on two cores. Decoding is most of the
// work of the gain pass and FFmpeg's audio decoders use one thread, so the
// second half of the file is read by a demuxer and decoder of its own on a
// second thread, started a little early so that the decoder and the filters
// have settled by the middle.
#pragma once

#include "Chain.h"
#include "Input.h"
#include "Loudness.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tromvax {

// What a gain pass found, over the whole source or over a range of it.
struct PeakScan {
    double peak = 0.0;
    int64_t samples = 0;
    int damaged = 0;
    int64_t goodFrames = 0;
    int readErrors = 0;
    int rebuilds = 0;
    std::optional<LoudnessReading> loudness; // for a loudness target; never from halves
};

// Whether a source can be scanned in halves: a raw AC3 or E-AC3 file (frames
// at byte positions a parser finds again after a seek) of at least
// `minBytes`. MPEG audio is left whole: the encoder delay and padding of its
// tag apply only to a reading from the start.
bool halvesSuit(const Demuxer &dmx, int64_t minBytes);

// Scans the frames whose packets start at byte positions [from, to) (to < 0:
// to the end) of an opened source through the measuring chain `plan`. For
// from > 0 reading starts `preroll` bytes earlier; those frames pass through
// the decoder and the chain but are not measured, and the libraries'
// messages about them are dropped. Nothing when a packet has no position or
// the file cannot be positioned. `note` receives the chain's stage lines.
std::optional<PeakScan> scanRange(Demuxer &dmx, Decoder &dec, const ChainPlan &plan, int64_t from, int64_t to,
                                  const Chain::Note &note, int64_t preroll = 64 * 1024);

// Both halves of the file: the first from `dmx` and `dec` (just opened), the
// second from a reader of its own on a second thread; the figures are those
// of one scan over the whole file. Nothing when the file cannot be cut; the
// caller then scans it again in one go.
std::optional<PeakScan> scanInHalves(Demuxer &dmx, Decoder &dec, const Options &o, const ChainPlan &plan,
                                     const Chain::Note &note);

} // namespace tromvax
