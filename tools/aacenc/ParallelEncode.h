// Chunks of one input encoded side by side on worker threads, their packets
// written in order: the same stream as a single encode would give, spliced
// at chunk boundaries the way parts of a split source are joined.
#pragma once

#include "ChunkPlan.h"
#include "WavEncoder.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace aacenc {

// The input holds fewer samples than its header tells, so a chunk ran out
// of audio before its last packet; a single encode handles such a file.
struct ShortInput : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ChunkJob {
    std::string path;
    bool keepLfe = false;
    RateChoice rate;
    std::vector<Chunk> plan;
    int threads = 1;
};

// Runs every chunk of `job.plan` on up to `job.threads` workers, each with
// its own reader and encoder, and hands the kept packets to `sink` in order
// (the sink is started and finished by the caller; `format` is an encoder
// of the same settings, for the packets' time base). At most threads + 1
// chunks' packets are held at a time. Returns the samples read up to the
// end of the input. Throws ToolError or ShortInput.
int64_t encodeChunks(const ChunkJob &job, PacketSink &sink, const AVCodecContext *format);

} // namespace aacenc
