#include "SplitPeak.h"

#include "AvLogRoute.h"
#include "Output.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>

extern "C" {
#include <libavformat/avio.h>
}

namespace tromvax {

namespace {
int64_t fileSize(const Demuxer &dmx)
{
    const AVFormatContext *ctx = dmx.context();
    return ctx->pb ? avio_size(ctx->pb) : -1;
}
} // namespace

bool halvesSuit(const Demuxer &dmx, int64_t minBytes)
{
    const AVFormatContext *ctx = dmx.context();
    const std::string name = ctx->iformat ? ctx->iformat->name : "";
    return (name == "ac3" || name == "eac3") && fileSize(dmx) >= minBytes;
}

std::optional<PeakScan> scanRange(Demuxer &dmx, Decoder &dec, const ChainPlan &plan, int64_t from, int64_t to,
                                  const Chain::Note &note, int64_t preroll)
{
    // Before the start position the decoder may meet half a frame or miss
    // its bit reservoir: expected, not worth a line in the log.
    struct Quiet {
        explicit Quiet(bool on) { wstool::AvLogRoute::quietThisThread(on); }
        ~Quiet() { wstool::AvLogRoute::quietThisThread(false); }
    } quiet(from > 0);
    if (from > 0 && av_seek_frame(dmx.context(), -1, std::max<int64_t>(0, from - preroll), AVSEEK_FLAG_BYTE) < 0)
        return std::nullopt;

    PeakScan scan;
    PeakMeter meter;
    int64_t skip = 0; // chain output samples that belong to the preroll
    Chain chain(plan, [&](const AVFrame *f) {
        const int drop = int(std::min<int64_t>(skip, f->nb_samples));
        skip -= drop;
        if (drop < f->nb_samples)
            meter.add(f, drop);
    }, note);

    // Frames before the start position warm up the decoder and the chain;
    // their counts are taken off at the start position.
    bool measuring = from <= 0;
    int damagedBefore = 0;
    int64_t goodBefore = 0;
    int readErrorsBefore = 0;
    auto pkt = wstool::makePacket();
    auto frame = wstool::makeFrame();
    auto drain = [&] {
        while (dec.receive(frame.get())) {
            if (!measuring)
                skip += frame->nb_samples;
            chain.push(frame.get());
            av_frame_unref(frame.get());
        }
    };
    while (dmx.next(pkt.get())) {
        const int64_t pos = pkt->pos;
        if (pos < 0) {
            av_packet_unref(pkt.get());
            return std::nullopt;
        }
        if (to >= 0 && pos >= to) {
            av_packet_unref(pkt.get());
            break;
        }
        if (!measuring && pos >= from) {
            measuring = true;
            wstool::AvLogRoute::quietThisThread(false);
            damagedBefore = dec.damaged();
            goodBefore = dec.goodFrames();
            readErrorsBefore = dmx.readErrors();
        }
        dec.send(pkt.get());
        av_packet_unref(pkt.get());
        drain();
    }
    dec.send(nullptr);
    drain();
    chain.finish();
    if (!measuring)
        return std::nullopt; // the start position lies beyond the last frame
    scan.peak = meter.peak();
    scan.samples = meter.samples();
    scan.damaged = dec.damaged() - damagedBefore;
    scan.goodFrames = dec.goodFrames() - goodBefore;
    scan.readErrors = dmx.readErrors() - readErrorsBefore;
    scan.rebuilds = chain.rebuilds();
    return scan;
}

std::optional<PeakScan> scanInHalves(Demuxer &dmx, Decoder &dec, const Options &o, const ChainPlan &plan,
                                     const Chain::Note &note)
{
    const int64_t size = fileSize(dmx);
    if (size <= 0)
        return std::nullopt;
    const int64_t middle = size / 2;
    std::optional<PeakScan> second;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            wstool::AvLogRoute::quietThisThread(true); // opening again repeats the first reader's notes
            Demuxer own(dmx.path());
            own.selectAudio(o.substream);
            Decoder ownDec(own.audio(), o.dynamicRange);
            // The chain's stage lines are the same for both halves; the first
            // half reports them.
            second = scanRange(own, ownDec, plan, middle, -1, [](const std::string &) {});
        } catch (...) {
            failure = std::current_exception();
        }
    });
    std::optional<PeakScan> first;
    try {
        first = scanRange(dmx, dec, plan, 0, middle, note);
    } catch (...) {
        worker.join();
        throw;
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    if (!first || !second)
        return std::nullopt;
    PeakScan all = *first;
    all.peak = std::max(first->peak, second->peak);
    all.samples += second->samples;
    all.damaged += second->damaged;
    all.goodFrames += second->goodFrames;
    all.readErrors += second->readErrors;
    all.rebuilds += second->rebuilds;
    return all;
}

} // namespace tromvax
