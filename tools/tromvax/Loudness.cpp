#include "Loudness.h"

#include "AvLogRoute.h"
#include "Levels.h"
#include "Output.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

using wstool::ToolError;
using wstool::avCheck;

namespace tromvax {

namespace {

// The peak branch's gain: 60 dB, as a factor.
constexpr double kPeakBranchFactor = 1000.0;

// A number the filter wrote with "%.3f" (with a decimal comma under a
// locale that has one).
std::optional<double> metadataValue(const AVFrame *f, const char *key)
{
    const AVDictionaryEntry *e = av_dict_get(f->metadata, key, nullptr, 0);
    if (!e)
        return std::nullopt;
    std::string t = e->value;
    std::replace(t.begin(), t.end(), ',', '.');
    double v = 0.0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

struct LoudnessMeter::Graph {
    wstool::FilterGraphPtr graph;
    AVFilterContext *src = nullptr;
    AVFilterContext *loudSink = nullptr;
    AVFilterContext *peakSink = nullptr;
    int channels = 0;
    int64_t pts = 0;
    std::optional<double> lastIntegrated;
    double truePeak = 0.0; // of the peak branch, 60 dB up
};

LoudnessMeter::LoudnessMeter() : in_(wstool::makeFrame()), out_(wstool::makeFrame()) {}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::build(const AVFrame *frame)
{
    if (frame->ch_layout.order != AV_CHANNEL_ORDER_NATIVE)
        throw ToolError("loudness measurement: the channel layout has no channel mask");
    auto g = std::make_unique<Graph>();
    g->graph.reset(avfilter_graph_alloc());
    if (!g->graph)
        throw ToolError("out of memory");
    g->channels = frame->ch_layout.nb_channels;
    const std::string rate = std::to_string(frame->sample_rate);
    char mask[32];
    std::snprintf(mask, sizeof mask, "0x%llx", static_cast<unsigned long long>(frame->ch_layout.u.mask));
    const std::string args = "time_base=1/" + rate + ":sample_rate=" + rate + ":sample_fmt=" +
                             av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)) +
                             ":channel_layout=" + mask;
    const std::string what = "cannot set up the loudness measurement";
    AVFilterGraph *gr = g->graph.get();
    avCheck(avfilter_graph_create_filter(&g->src, avfilter_get_by_name("abuffer"), "in", args.c_str(), nullptr, gr),
            what);
    avCheck(avfilter_graph_create_filter(&g->loudSink, avfilter_get_by_name("abuffersink"), "loud", nullptr,
                                         nullptr, gr),
            what);
    avCheck(avfilter_graph_create_filter(&g->peakSink, avfilter_get_by_name("abuffersink"), "peak", nullptr,
                                         nullptr, gr),
            what);

    // The loudness branch measures the samples as they are. The peak branch
    // adds 200 ms of silence (the filter reports in whole 100 ms frames and
    // its oversampler lags a little) and runs 60 dB up for the metadata's
    // three decimals; its loudness is not read.
    const std::string desc = "[in]asplit=2[l][p];[l]ebur128=metadata=1[loud];[p]apad=pad_len=" +
                             std::to_string(frame->sample_rate / 5) +
                             ",volume=volume=1000:precision=double,ebur128=metadata=1:peak=true[peak]";
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *loud = avfilter_inout_alloc();
    AVFilterInOut *peak = avfilter_inout_alloc();
    if (!outputs || !loud || !peak) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&loud);
        avfilter_inout_free(&peak);
        throw ToolError("out of memory");
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = g->src;
    loud->name = av_strdup("loud");
    loud->filter_ctx = g->loudSink;
    loud->next = peak;
    peak->name = av_strdup("peak");
    peak->filter_ctx = g->peakSink;
    wstool::AvLogRoute::clearLastError();
    int err = avfilter_graph_parse_ptr(gr, desc.c_str(), &loud, &outputs, nullptr);
    avfilter_inout_free(&loud);
    avfilter_inout_free(&outputs);
    if (err >= 0)
        err = avfilter_graph_config(gr, nullptr);
    if (err < 0) {
        const std::string why = wstool::AvLogRoute::lastError();
        throw ToolError(what + ": " + (why.empty() ? wstool::avError(err) : why));
    }
    graph_ = std::move(g);
}

void LoudnessMeter::add(const AVFrame *frame)
{
    if (!graph_)
        build(frame);
    avCheck(av_frame_ref(in_.get(), frame), "out of memory");
    in_->pts = graph_->pts;
    graph_->pts += frame->nb_samples;
    avCheck(av_buffersrc_add_frame_flags(graph_->src, in_.get(), 0), "loudness measurement failed");
    drain();
}

void LoudnessMeter::drain()
{
    Graph &g = *graph_;
    for (AVFilterContext *sink : {g.loudSink, g.peakSink}) {
        for (;;) {
            const int err = av_buffersink_get_frame(sink, out_.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                break;
            avCheck(err, "loudness measurement failed");
            // Each full 100 ms frame carries the integrated loudness so far
            // and each channel's highest true peak so far.
            if (sink == g.loudSink) {
                if (const auto i = metadataValue(out_.get(), "lavfi.r128.I"))
                    g.lastIntegrated = i;
            } else {
                for (int ch = 0; ch < g.channels; ++ch) {
                    const std::string key = "lavfi.r128.true_peaks_ch" + std::to_string(ch);
                    if (const auto p = metadataValue(out_.get(), key.c_str()))
                        g.truePeak = std::max(g.truePeak, *p);
                }
            }
            av_frame_unref(out_.get());
        }
    }
}

void LoudnessMeter::finish()
{
    if (!graph_)
        return;
    avCheck(av_buffersrc_add_frame_flags(graph_->src, nullptr, 0), "loudness measurement failed");
    drain();
    // The filter starts at the gate and stays there until a block rises
    // above it.
    if (graph_->lastIntegrated && *graph_->lastIntegrated > kLoudnessGateLufs + 0.001)
        reading_.integratedLufs = graph_->lastIntegrated;
    reading_.truePeak = graph_->truePeak / kPeakBranchFactor;
    graph_.reset();
}

LoudnessGain gainForLoudness(double targetLufs, std::optional<double> integratedLufs, double truePeak)
{
    LoudnessGain g;
    if (!integratedLufs || !std::isfinite(*integratedLufs)) {
        g.silent = true;
        return g;
    }
    g.wantedDb = std::round((targetLufs - *integratedLufs) * 10.0) / 10.0;
    g.gainDb = std::min(g.wantedDb, kMaxGainDb);
    if (truePeak > 0.0 && std::isfinite(truePeak)) {
        const double room = kTruePeakCeilingDbtp - wstool::gainToDb(truePeak);
        const double ceilingDb = std::floor(room * 10.0 + 1e-9) / 10.0;
        if (ceilingDb < g.gainDb) {
            g.gainDb = ceilingDb;
            g.ceilingLowered = true;
        }
    }
    g.capped = !g.ceilingLowered && g.gainDb < g.wantedDb;
    return g;
}

} // namespace tromvax
