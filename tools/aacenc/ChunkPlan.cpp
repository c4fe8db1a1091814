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
    // slowly (the least perceptual entropy is forgotten over about 500
    // frames): a chunk started only a few seconds early codes its first
    // seconds up to 10 dB worse than a single encode at the same spot on
    // music-like audio; 12 s bring it within about 3 dB
    // (bench/parallel_encode.sh).
    l.runInFrames = 12 * perSecond;
    l.maxChunkFrames = 150 * perSecond;
    // Steady tones take longer: a cold encoder there settles only after 12
    // to 16 s, and 12 s of run-in left one splice of three coding its next
    // 10 s 23 dB worse than a single encode, and a chunk 2.5 s past its
    // splice clicked (0.12 on a signal of 0.6); 20 s left none of this.
    // Chunks that keep 30 s and more (those of the default job's parts, its
    // last one too) pay the 8 s more; the short chunks of a 5.1 job's 32 s
    // parts would not be worth making with it.
    l.longRunInFrames = 20 * perSecond;
    l.longChunkFrames = 30 * perSecond;
    return l;
}

int64_t packetCount(int64_t samples)
{
    return samples <= 0 ? 0 : (samples + kFrame - 1) / kFrame + 1;
}

namespace {

std::vector<Chunk> planWithRunIn(int64_t samples, int64_t firstKept, int64_t lastKept, int threads,
                                 const ChunkLimits &limits, int64_t runIn)
{
    const int64_t packets = packetCount(samples);
    const bool toEnd = lastKept < 0;
    firstKept = std::max<int64_t>(0, firstKept);
    lastKept = toEnd ? packets - 1 : std::min(lastKept, packets - 1);
    const int64_t kept = lastKept - firstKept + 1;

    // Work of c chunks: the kept packets plus the run-in of every chunk (the
    // first one's is the part's own run-in before firstKept), shared out
    // evenly: the first chunk keeps work - firstKept packets, the others
    // work - runIn each, so that the workers finish together.
    auto workPerChunk = [&](int64_t c) { return (firstKept + kept + (c - 1) * runIn + c - 1) / c; };
    auto smallestKept = [&](int64_t c) { return workPerChunk(c) - std::max(runIn, firstKept); };
    int64_t count = 1;
    if (threads > 1 && kept > 0) {
        count = threads;
        if (limits.maxChunkFrames > 0 && workPerChunk(count) > limits.maxChunkFrames) {
            const int64_t needed = (kept + limits.maxChunkFrames - runIn - 1) / (limits.maxChunkFrames - runIn);
            count = (needed + threads - 1) / threads * threads;
        }
        // A chunk that keeps less than half its run-in is not worth it.
        while (count > 1 && smallestKept(count) < std::max<int64_t>(runIn / 2, 1))
            --count;
    }

    std::vector<Chunk> plan;
    if (count <= 1) {
        plan.push_back({firstKept, toEnd ? -1 : lastKept, 0});
        return plan;
    }
    const int64_t work = workPerChunk(count);
    int64_t next = firstKept;
    for (int64_t i = 0; i < count; ++i) {
        Chunk c;
        c.firstPacket = next;
        c.lastPacket =
            i == count - 1 ? lastKept : std::min(lastKept, next + (i == 0 ? work - firstKept : work - runIn) - 1);
        next = c.lastPacket + 1;
        // Packet n's frame starts at input sample (n - 1) * 1024; the first
        // chunk starts where a single encode starts.
        c.startSample = i == 0 ? 0 : std::max<int64_t>(0, c.firstPacket - 1 - runIn) * kFrame;
        if (i == count - 1 && toEnd)
            c.lastPacket = -1;
        plan.push_back(c);
    }
    return plan;
}

} // namespace

std::vector<Chunk> planChunks(int64_t samples, int64_t firstKept, int64_t lastKept, int threads,
                              const ChunkLimits &limits)
{
    if (limits.longRunInFrames > limits.runInFrames) {
        std::vector<Chunk> plan = planWithRunIn(samples, firstKept, lastKept, threads, limits, limits.longRunInFrames);
        const int64_t packets = packetCount(samples);
        bool allLong = plan.size() > 1;
        for (const Chunk &c : plan) {
            const int64_t last = c.lastPacket < 0 ? packets - 1 : c.lastPacket;
            allLong = allLong && last - c.firstPacket + 1 >= limits.longChunkFrames;
        }
        if (allLong)
            return plan;
    }
    return planWithRunIn(samples, firstKept, lastKept, threads, limits, limits.runInFrames);
}

} // namespace aacenc
