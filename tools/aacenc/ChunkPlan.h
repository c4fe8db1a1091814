// How one input is cut into chunks that worker threads encode side by side.
//
// A single encode of T samples gives packets 0 ... P-1, where packet n decodes
// to input samples [(n - 1) * 1024, n * 1024) (packet 0 is the encoder's
// priming). A chunk keeps a run of those packets, [firstPacket, lastPacket],
// but starts its own encoder `runIn` frames earlier, so that the encoder's
// state (window shapes, psychoacoustic history, rate control) has settled by
// the first kept packet and the chunk's frames overlap-add with those of the
// chunk before as a single encode's would. The chunk stops as soon as its
// last packet is out; only the last chunk runs to the end of the input.
#pragma once

#include <cstdint>
#include <vector>

namespace aacenc {

struct Chunk {
    int64_t firstPacket = 0; // packet numbers of the single encode
    int64_t lastPacket = 0;  // -1: to the end of the input (the encoder is flushed)
    int64_t startSample = 0; // where the chunk's encoder starts (a multiple of 1024)
};

struct ChunkLimits {
    int64_t runInFrames = 0;    // frames encoded before a chunk's first kept packet
    int64_t maxChunkFrames = 0; // bounds the packets held for in-order writing
    // Chunks that all keep at least longChunkFrames start longRunInFrames
    // early instead, where the longer run-in costs only a few per cent.
    int64_t longRunInFrames = 0;
    int64_t longChunkFrames = 0;
};

// Chunk sizes for `sampleRate`: run-in and largest chunk in time.
ChunkLimits chunkLimits(int sampleRate);

// Packets of a single encode of `samples` input samples.
int64_t packetCount(int64_t samples);

// Cuts packets [firstKept, lastKept] (lastKept -1: to the end) of an input of
// `samples` samples (as its header tells; the last chunk of a plan to the end
// reads on to the real end) into
// chunks for `threads` workers: as many chunks as threads, more when a chunk
// would exceed the largest size (then a multiple of the thread count, so that
// the workers finish together), fewer when chunks would be too small. One
// chunk (a plain single encode) for one thread or a short input.
// Chunks other than the first start `runInFrames` (or `longRunInFrames`)
// before their first packet. The plan depends only on its arguments, so the
// output is the same from run to run.
std::vector<Chunk> planChunks(int64_t samples, int64_t firstKept, int64_t lastKept, int threads,
                              const ChunkLimits &limits);

} // namespace aacenc
