#include "ChunkPlan.h"

#include <algorithm>

namespace aacenc {

namespace {
constexpr int64_t kFrame = 1024;
}

ChunkLimits chunkLimits(int sampleRate)
{
    const int64_t perSecond = std::max<int64_t>(1, sampleRate / kFrame);
    ChunkLimits l;
    // FFmpeg's encoder adapts its rate control and psychoacoustic statistics
    // slowly (a time constant of about 500 frames): a chunk started cold codes
    // its first seconds several dB worse than a single encode at the same
    // spot. About 8 s of run-in bring it close enough (bench/parallel_encode.sh).
    l.runInFrames = 8 * perSecond;
    // A chunk shorter than twice its run-in costs more than it saves.
    l.minChunkFrames = 2 * l.runInFrames;
    l.maxChunkFrames = 150 * perSecond;
    return l;
}

int64_t packetCount(int64_t samples)
{
    return samples <= 0 ? 0 : (samples + kFrame - 1) / kFrame + 1;
}

std::vector<Chunk> planChunks(int64_t samples, int64_t firstKept, int64_t lastKept, int threads,
                              const ChunkLimits &limits)
{
    const int64_t packets = packetCount(samples);
    const bool toEnd = lastKept < 0;
    firstKept = std::max<int64_t>(0, firstKept);
    lastKept = toEnd ? packets - 1 : std::min(lastKept, packets - 1);
    const int64_t kept = lastKept - firstKept + 1;

    int64_t count = 1;
    if (threads > 1 && kept > 0) {
        count = threads;
        if (limits.maxChunkFrames > 0 && kept > count * limits.maxChunkFrames) {
            const int64_t needed = (kept + limits.maxChunkFrames - 1) / limits.maxChunkFrames;
            count = (needed + threads - 1) / threads * threads;
        }
        if (limits.minChunkFrames > 0)
            count = std::min(count, kept / limits.minChunkFrames);
        count = std::max<int64_t>(count, 1);
    }

    std::vector<Chunk> plan;
    if (count <= 1) {
        plan.push_back({firstKept, toEnd ? -1 : lastKept, 0});
        return plan;
    }
    const int64_t base = kept / count, extra = kept % count;
    int64_t next = firstKept;
    for (int64_t i = 0; i < count; ++i) {
        Chunk c;
        c.firstPacket = next;
        c.lastPacket = next + base + (i < extra ? 1 : 0) - 1;
        next = c.lastPacket + 1;
        // Packet n's frame starts at input sample (n - 1) * 1024; the first
        // chunk starts where a single encode starts.
        c.startSample = i == 0 ? 0 : std::max<int64_t>(0, c.firstPacket - 1 - limits.runInFrames) * kFrame;
        if (i == count - 1 && toEnd)
            c.lastPacket = -1;
        plan.push_back(c);
    }
    return plan;
}

} // namespace aacenc
