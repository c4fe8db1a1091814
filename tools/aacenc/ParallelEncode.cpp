#include "ParallelEncode.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace aacenc {

using wstool::ToolError;

namespace {

// Keeps the chunk's packets, numbered as in a single encode, and tells when
// its last packet is out.
class CollectSink : public PacketSink {
public:
    CollectSink(const Chunk &c, int frame, std::vector<wstool::PacketPtr> &out)
        : chunk_(c), next_(c.startSample / frame), out_(out)
    {
    }
    void start(const AVCodecContext *) override {}
    void packet(AVPacket *pkt, const AVCodecContext *) override
    {
        const int64_t n = next_++;
        if (n < chunk_.firstPacket || (chunk_.lastPacket >= 0 && n > chunk_.lastPacket))
            return;
        wstool::PacketPtr copy(av_packet_clone(pkt));
        if (!copy)
            throw ToolError("out of memory");
        out_.push_back(std::move(copy));
    }
    void finish() override {}
    bool complete() const { return chunk_.lastPacket >= 0 && next_ > chunk_.lastPacket; }

private:
    const Chunk &chunk_;
    int64_t next_;
    std::vector<wstool::PacketPtr> &out_;
};

struct ChunkResult {
    std::vector<wstool::PacketPtr> packets;
    int64_t endSample = 0; // input sample where the chunk's reading stopped
    bool done = false;
};

void runChunk(const ChunkJob &job, const Chunk &c, ChunkResult &result, const std::atomic<bool> &cancel)
{
    WavSource src(job.path, job.keepLfe);
    src.seekTo(c.startSample);
    Encoder enc(src.codedLayout(), src.sampleRate(), job.rate);
    enc.startAt(c.startSample);
    const int frame = enc.frameSize();
    CollectSink sink(c, frame, result.packets);
    wstool::AudioFifoPtr fifo(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, src.codedLayout().nb_channels, frame * 4));
    if (!fifo)
        throw ToolError("out of memory");
    while (!sink.complete() && !cancel && src.readInto(fifo.get()))
        while (!sink.complete() && av_audio_fifo_size(fifo.get()) >= frame)
            enc.encodeFrom(fifo.get(), frame, sink);
    if (!sink.complete() && !cancel) {
        if (const int rest = av_audio_fifo_size(fifo.get()); rest > 0)
            enc.encodeFrom(fifo.get(), rest, sink);
        enc.flush(sink);
        if (c.lastPacket >= 0 && !sink.complete())
            throw ShortInput(job.path + " holds fewer samples than its header tells");
    }
    result.endSample = c.startSample + src.samplesRead();
}

} // namespace

int64_t encodeChunks(const ChunkJob &job, PacketSink &sink, const AVCodecContext *format)
{
    const size_t count = job.plan.size();
    const size_t window = size_t(std::max(job.threads, 1)) + 1;
    std::vector<ChunkResult> results(count);
    std::mutex m;
    std::condition_variable cv;
    size_t nextChunk = 0, written = 0;
    std::exception_ptr failure;
    std::atomic<bool> cancel{false};
    // The first failure anywhere ends every worker; it is rethrown at the end.
    auto fail = [&] {
        std::lock_guard<std::mutex> lock(m);
        if (!failure)
            failure = std::current_exception();
        cancel = true;
        cv.notify_all();
    };

    auto worker = [&] {
        for (;;) {
            size_t i = 0;
            {
                std::unique_lock<std::mutex> lock(m);
                cv.wait(lock, [&] { return failure || nextChunk >= count || nextChunk < written + window; });
                if (failure || nextChunk >= count)
                    return;
                i = nextChunk++;
            }
            try {
                runChunk(job, job.plan[i], results[i], cancel);
            } catch (...) {
                fail();
                return;
            }
            std::lock_guard<std::mutex> lock(m);
            results[i].done = true;
            cv.notify_all();
        }
    };

    std::vector<std::thread> workers;
    const size_t threads = std::min(count, size_t(std::max(job.threads, 1)));
    for (size_t t = 0; t < threads; ++t)
        workers.emplace_back(worker);

    int64_t end = 0;
    try {
        for (size_t i = 0; i < count; ++i) {
            std::vector<wstool::PacketPtr> packets;
            {
                std::unique_lock<std::mutex> lock(m);
                cv.wait(lock, [&] { return failure || results[i].done; });
                if (failure)
                    break;
                packets = std::move(results[i].packets);
                end = results[i].endSample;
            }
            for (wstool::PacketPtr &p : packets)
                sink.packet(p.get(), format);
            packets.clear();
            std::lock_guard<std::mutex> lock(m);
            written = i + 1;
            cv.notify_all();
        }
    } catch (...) {
        fail();
    }
    for (std::thread &t : workers)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
    return end;
}

} // namespace aacenc
