#include "Chain.h"

#include "AvLogRoute.h"
#include "Input.h"
#include "Levels.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/downmix_info.h>
#include <libavutil/opt.h>
}

#include <charconv>
#include <climits>
#include <cstdio>
#include <cmath>
#include <utility>

using wstool::ToolError;
using wstool::avCheck;

namespace tromvax {

std::string signedDb(double db)
{
    std::string t = fixed(db, 1);
    if (t == "-0.0")
        t = "0.0";
    return (t[0] == '-' ? "" : "+") + t + "dB";
}

namespace {

std::string general(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10);
    return std::string(buf, r.ptr);
}

AVMatrixEncoding encodingOf(Downmix d)
{
    switch (d) {
    case Downmix::Surround:
        return AV_MATRIX_ENCODING_DOLBY;
    case Downmix::Surround2:
        return AV_MATRIX_ENCODING_DPLII;
    case Downmix::Stereo:
        break;
    }
    return AV_MATRIX_ENCODING_NONE;
}

const char *encodingName(Downmix d)
{
    switch (d) {
    case Downmix::Surround:
        return "Lt/Rt, Dolby Surround compatible";
    case Downmix::Surround2:
        return "Pro Logic II compatible";
    case Downmix::Stereo:
        break;
    }
    return "Lo/Ro, plain stereo";
}

// A native channel layout for any decoded layout (an unordered one takes
// the usual layout for its channel count).
AVChannelLayout nativeLayout(const AVChannelLayout &l)
{
    AVChannelLayout out{};
    if (l.order == AV_CHANNEL_ORDER_NATIVE)
        avCheck(av_channel_layout_copy(&out, &l), "out of memory");
    else
        av_channel_layout_default(&out, l.nb_channels);
    return out;
}

std::string channelName(const AVChannelLayout &l, int index)
{
    char buf[32] = {};
    av_channel_name(buf, sizeof buf, av_channel_layout_channel_from_index(&l, static_cast<unsigned>(index)));
    return buf;
}

// A native layout as its channel mask, which the filters read whatever
// the layout's name.
std::string maskText(const AVChannelLayout &l)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(l.u.mask));
    return buf;
}

using Settings = std::vector<std::pair<std::string, std::string>>;

} // namespace

std::vector<std::vector<double>> mixMatrix(const AVChannelLayout &in, const AVChannelLayout &out,
                                           const MixSettings &mix)
{
    const int ni = in.nb_channels;
    const int no = out.nb_channels;
    // libswresample may rescale its whole 64 x 64 matrix in place, whatever
    // the layouts: give it room for that and keep the part that is used.
    constexpr int kMax = 64;
    if (ni < 1 || no < 1 || ni > kMax || no > kMax)
        throw ToolError("cannot mix " + layoutName(in) + " to " + layoutName(out));
    std::vector<double> m(static_cast<size_t>(kMax) * kMax, 0.0);
    // libswresample puts LFE into each front channel at lfe_mix_level times
    // 1/sqrt(2); the factor asked for is the one that lands in each channel.
    avCheck(swr_build_matrix2(&in, &out, mix.centre, mix.surround, mix.lfeToFront * M_SQRT2,
                              static_cast<double>(INT_MAX), 1.0, m.data(), kMax,
                              encodingOf(mix.encoding), nullptr),
            "cannot mix " + layoutName(in) + " to " + layoutName(out));
    std::vector<std::vector<double>> rows(static_cast<size_t>(no));
    for (int o = 0; o < no; ++o)
        rows[static_cast<size_t>(o)].assign(m.begin() + o * kMax, m.begin() + o * kMax + ni);
    const int lfe = av_channel_layout_index_from_channel(&out, AV_CHAN_LOW_FREQUENCY);
    if (lfe >= 0)
        for (double &c : rows[static_cast<size_t>(lfe)])
            c *= mix.lfeOut;
    return rows;
}

struct Chain::Graph {
    wstool::FilterGraphPtr graph;
    AVFilterContext *src = nullptr;
    AVFilterContext *sink = nullptr;
    AVFilterContext *last = nullptr;
    int format = -1;
    int rate = 0;
    AVChannelLayout frameLayout{}; // as the decoder delivers it
    AVChannelLayout layout{};      // native form given to the graph
    int64_t pts = 0;

    ~Graph()
    {
        av_channel_layout_uninit(&frameLayout);
        av_channel_layout_uninit(&layout);
    }

    AVFilterContext *add(const char *filter, const std::string &what, const Settings &settings)
    {
        const AVFilter *f = avfilter_get_by_name(filter);
        if (!f)
            throw ToolError(std::string("the FFmpeg libraries lack the ") + filter + " filter (" + what + ")");
        AVFilterContext *ctx = avfilter_graph_alloc_filter(graph.get(), f, nullptr);
        if (!ctx)
            throw ToolError("out of memory");
        AVDictionary *dict = nullptr;
        for (const auto &[k, v] : settings)
            av_dict_set(&dict, k.c_str(), v.c_str(), 0);
        wstool::AvLogRoute::clearLastError();
        const int err = avfilter_init_dict(ctx, &dict);
        av_dict_free(&dict);
        if (err < 0) {
            const std::string why = wstool::AvLogRoute::lastError();
            throw ToolError("cannot set up the " + what + ": " + (why.empty() ? wstool::avError(err) : why));
        }
        if (last)
            avCheck(avfilter_link(last, 0, ctx, 0), "cannot link the " + what);
        last = ctx;
        return ctx;
    }
};

Chain::Chain(ChainPlan plan, Sink sink, Note note)
    : plan_(std::move(plan)), sink_(std::move(sink)), note_(std::move(note)), out_(wstool::makeFrame())
{
    if (plan_.channels == 6)
        outLayout_ = AV_CHANNEL_LAYOUT_5POINT1;
    else
        outLayout_ = AV_CHANNEL_LAYOUT_STEREO;
}

Chain::~Chain() { av_channel_layout_uninit(&outLayout_); }

void Chain::build(const AVFrame *frame)
{
    const bool first = builds_ == 0;
    ++builds_;
    auto g = std::make_unique<Graph>();
    g->graph.reset(avfilter_graph_alloc());
    if (!g->graph)
        throw ToolError("out of memory");
    g->format = frame->format;
    g->rate = frame->sample_rate;
    avCheck(av_channel_layout_copy(&g->frameLayout, &frame->ch_layout), "out of memory");
    g->layout = nativeLayout(frame->ch_layout);
    if (first)
        outRate_ = plan_.rate.value_or(frame->sample_rate);

    const std::string inName = layoutName(g->layout);
    if (!first)
        note_("Input changed to " + std::to_string(g->rate) + " Hz, " + inName +
              ": processing chain built again");

    g->src = g->add("abuffer", "source",
                    {{"time_base", "1/" + std::to_string(g->rate)},
                     {"sample_rate", std::to_string(g->rate)},
                     {"sample_fmt", av_get_sample_fmt_name(static_cast<AVSampleFormat>(g->format))},
                     {"channel_layout", maskText(g->layout)}});

    // Surround low-pass, ahead of the mix.
    if (plan_.lowpassHz) {
        std::string channels;
        for (AVChannel ch : {AV_CHAN_SIDE_LEFT, AV_CHAN_SIDE_RIGHT, AV_CHAN_BACK_LEFT, AV_CHAN_BACK_RIGHT,
                             AV_CHAN_BACK_CENTER}) {
            if (av_channel_layout_index_from_channel(&g->layout, ch) < 0)
                continue;
            char name[16] = {};
            av_channel_name(name, sizeof name, ch);
            channels += (channels.empty() ? "" : "+") + std::string(name);
        }
        if (!channels.empty()) {
            g->add("lowpass", "surround low-pass",
                   {{"f", general(*plan_.lowpassHz)}, {"poles", "2"}, {"t", "q"}, {"w", "0.707"},
                    {"c", channels}});
            note_("Surround low-pass: " + fixed(*plan_.lowpassHz, 0) + " Hz, 12 dB per octave, on " + channels);
        } else if (first) {
            note_("Surround low-pass: the source has no surround channels");
        }
    }

    // Channel mix. Levels not given on the command line come from the
    // source's own down-mix data when it carries them.
    MixSettings mix;
    mix.encoding = plan_.downmix;
    const AVDownmixInfo *info = nullptr;
    if (const AVFrameSideData *sd = av_frame_get_side_data(frame, AV_FRAME_DATA_DOWNMIX_INFO))
        info = reinterpret_cast<const AVDownmixInfo *>(sd->data);
    const bool ltrt = plan_.downmix != Downmix::Stereo;
    auto coded = [](double v) { return v > 0.0 && v <= 2.0; };
    std::string centreFrom = "default", surroundFrom = "default";
    mix.centre = M_SQRT1_2;
    mix.surround = M_SQRT1_2;
    if (plan_.centreDb) {
        mix.centre = wstool::dbToGain(*plan_.centreDb);
        centreFrom = "-C";
    } else if (info && coded(ltrt ? info->center_mix_level_ltrt : info->center_mix_level)) {
        mix.centre = ltrt ? info->center_mix_level_ltrt : info->center_mix_level;
        centreFrom = "coded";
    }
    if (plan_.surroundDb) {
        mix.surround = wstool::dbToGain(*plan_.surroundDb);
        surroundFrom = "-S";
    } else if (info && coded(ltrt ? info->surround_mix_level_ltrt : info->surround_mix_level)) {
        mix.surround = ltrt ? info->surround_mix_level_ltrt : info->surround_mix_level;
        surroundFrom = "coded";
    }
    if (plan_.lfeToFrontDb)
        mix.lfeToFront = wstool::dbToGain(*plan_.lfeToFrontDb);
    if (plan_.lfeDb)
        mix.lfeOut = wstool::dbToGain(*plan_.lfeDb);

    const auto rows = mixMatrix(g->layout, outLayout_, mix);
    bool identity = av_channel_layout_compare(&g->layout, &outLayout_) == 0;
    for (size_t o = 0; identity && o < rows.size(); ++o)
        for (size_t i = 0; i < rows[o].size(); ++i)
            if (rows[o][i] != (o == i ? 1.0 : 0.0))
                identity = false;
    if (identity) {
        if (first)
            note_("Channels: " + inName + " kept as they are");
    } else {
        std::string args = layoutName(outLayout_);
        for (size_t o = 0; o < rows.size(); ++o) {
            std::string term;
            for (size_t i = 0; i < rows[o].size(); ++i) {
                const double c = rows[o][i];
                if (c == 0.0)
                    continue;
                term += (c < 0 ? "-" : (term.empty() ? "" : "+")) + general(std::fabs(c)) + "*c" +
                        std::to_string(i);
            }
            // Channels left out are silent.
            if (!term.empty())
                args += "|c" + std::to_string(o) + "=" + term;
        }
        if (args.find('|') == std::string::npos)
            args += "|c0=0*c0";
        g->add("pan", "channel mix", {{"args", args}});
        std::string levels;
        if (g->layout.nb_channels > outLayout_.nb_channels ||
            av_channel_layout_subset(&g->layout, ~outLayout_.u.mask) != 0) {
            levels = std::string(", ") + encodingName(plan_.downmix) + ", centre " +
                     signedDb(wstool::gainToDb(mix.centre)) + " (" + centreFrom + "), surround " +
                     signedDb(wstool::gainToDb(mix.surround)) + " (" + surroundFrom + ")";
            if (outLayout_.nb_channels == 2)
                levels += mix.lfeToFront > 0 ? ", LFE " + signedDb(wstool::gainToDb(mix.lfeToFront))
                                             : ", LFE left out";
        }
        if (outLayout_.nb_channels == 6 && plan_.lfeDb)
            levels += ", LFE channel " + signedDb(*plan_.lfeDb);
        note_("Channel mix: " + inName + " to " + layoutName(outLayout_) + levels);
        for (size_t o = 0; o < rows.size(); ++o) {
            std::string line = "  " + channelName(outLayout_, static_cast<int>(o)) + " =";
            bool any = false;
            for (size_t i = 0; i < rows[o].size(); ++i) {
                if (rows[o][i] == 0.0)
                    continue;
                const double c = rows[o][i];
                line += std::string(c < 0 ? (any ? " - " : " -") : (any ? " + " : " ")) + fixed(std::fabs(c), 3) +
                        " " + channelName(g->layout, static_cast<int>(i));
                any = true;
            }
            note_(line + (any ? "" : " silence"));
        }
    }

    if (plan_.gainDb != 0.0) {
        g->add("volume", "gain stage", {{"volume", general(plan_.gainDb) + "dB"}, {"precision", "float"}});
        if (first)
            note_("Gain: " + signedDb(plan_.gainDb));
    }

    if (first && plan_.delayMs > 0.0) {
        const int64_t n = std::llround(plan_.delayMs * g->rate / 1000.0);
        if (n > 0) {
            g->add("adelay", "delay stage", {{"delays", std::to_string(n) + "S"}, {"all", "1"}});
            note_("Delay: " + fixed(plan_.delayMs, 0) + " ms, " + std::to_string(n) + " samples of silence first");
        }
    }

    if (g->rate != outRate_) {
        g->add("aresample", "resampler", {{"osr", std::to_string(outRate_)}, {"resampler", "soxr"}});
        note_("Resampler: " + std::to_string(g->rate) + " Hz to " + std::to_string(outRate_) + " Hz (SoX)");
    }

    if (plan_.boost) {
        const Boost &b = *plan_.boost;
        if (!b.expand && b.makeupDb > 0.0) {
            // Levels below the threshold rise by the make-up gain; above it
            // the slope is 1:2, so full scale stays at full scale.
            const double thresholdDb = -2.0 * b.makeupDb;
            g->add("acompressor", "dynamic compression",
                   {{"threshold", general(wstool::dbToGain(thresholdDb))}, {"ratio", "2"},
                    {"makeup", general(wstool::dbToGain(b.makeupDb))}, {"attack", "20"}, {"release", "250"},
                    {"detection", "peak"}, {"link", "maximum"}});
            note_("Dynamic compression: 2:1 above " + fixed(thresholdDb, 1) + " dBFS, make-up " +
                  signedDb(b.makeupDb) + " (peak, 20 ms attack, 250 ms release)");
        } else if (b.expand) {
            const double ratio = 1.0 / b.factor;
            g->add("agate", "dynamic expansion",
                   {{"threshold", "0.1"}, {"ratio", general(ratio)}, {"range", "0.1"}, {"attack", "20"},
                    {"release", "250"}, {"detection", "peak"}, {"link", "maximum"}});
            note_("Dynamic expansion: 1:" + fixed(ratio, 2) +
                  " below -20 dBFS, at most 20 dB down (peak, 20 ms attack, 250 ms release)");
        }
    }

    if (!plan_.pluginLib.empty()) {
        std::string lib = plan_.pluginLib;
        if (lib.find('/') == std::string::npos) {
            // The filter searches the LADSPA folders for NAME.so.
            for (const char *ext : {".so", ".dll", ".SO", ".DLL"}) {
                const std::string e = ext;
                if (lib.size() > e.size() && lib.compare(lib.size() - e.size(), e.size(), e) == 0) {
                    lib.resize(lib.size() - e.size());
                    break;
                }
            }
        }
        g->add("ladspa", "plug-in " + plan_.pluginLabel + " from " + plan_.pluginLib,
               {{"file", lib}, {"plugin", plan_.pluginLabel}});
        if (first)
            note_("Plug-in: LADSPA " + plan_.pluginLabel + " from " + plan_.pluginLib);
    }

    // The sink takes planar float in the output layout and rate; the
    // graph converts the sample format where a stage needs another one.
    const AVFilter *sinkFilter = avfilter_get_by_name("abuffersink");
    g->sink = avfilter_graph_alloc_filter(g->graph.get(), sinkFilter, "out");
    if (!g->sink)
        throw ToolError("out of memory");
    const int fmts[] = {AV_SAMPLE_FMT_FLTP};
    const int rates[] = {outRate_};
    avCheck(av_opt_set_bin(g->sink, "sample_fmts", reinterpret_cast<const uint8_t *>(fmts), sizeof fmts,
                           AV_OPT_SEARCH_CHILDREN),
            "cannot set up the output");
    avCheck(av_opt_set_bin(g->sink, "sample_rates", reinterpret_cast<const uint8_t *>(rates), sizeof rates,
                           AV_OPT_SEARCH_CHILDREN),
            "cannot set up the output");
    avCheck(av_opt_set(g->sink, "ch_layouts", layoutName(outLayout_).c_str(), AV_OPT_SEARCH_CHILDREN),
            "cannot set up the output");
    avCheck(avfilter_init_str(g->sink, nullptr), "cannot set up the output");
    avCheck(avfilter_link(g->last, 0, g->sink, 0), "cannot set up the output");
    wstool::AvLogRoute::clearLastError();
    const int err = avfilter_graph_config(g->graph.get(), nullptr);
    if (err < 0) {
        const std::string why = wstool::AvLogRoute::lastError();
        throw ToolError("cannot set up the processing chain: " + (why.empty() ? wstool::avError(err) : why));
    }
    graph_ = std::move(g);
}

void Chain::drain()
{
    for (;;) {
        const int err = av_buffersink_get_frame(graph_->sink, out_.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return;
        avCheck(err, "processing failed");
        sink_(out_.get());
        av_frame_unref(out_.get());
    }
}

void Chain::send(AVFrame *frame)
{
    if (frame->ch_layout.order != AV_CHANNEL_ORDER_NATIVE) {
        av_channel_layout_uninit(&frame->ch_layout);
        avCheck(av_channel_layout_copy(&frame->ch_layout, &graph_->layout), "out of memory");
    }
    frame->pts = graph_->pts;
    graph_->pts += frame->nb_samples;
    avCheck(av_buffersrc_add_frame_flags(graph_->src, frame, AV_BUFFERSRC_FLAG_KEEP_REF), "processing failed");
    drain();
}

void Chain::push(AVFrame *frame)
{
    if (cutRemaining_ < 0) {
        cutRemaining_ = plan_.delayMs < 0.0 ? std::llround(-plan_.delayMs * frame->sample_rate / 1000.0) : 0;
        if (cutRemaining_ > 0)
            note_("Delay: " + fixed(plan_.delayMs, 0) + " ms, the first " + std::to_string(cutRemaining_) +
                  " samples cut");
        cutRemaining_ += std::max<int64_t>(0, plan_.dropSamples);
    }
    wstool::FramePtr rest;
    if (cutRemaining_ > 0) {
        if (frame->nb_samples <= cutRemaining_) {
            cutRemaining_ -= frame->nb_samples;
            return;
        }
        const int keep = frame->nb_samples - static_cast<int>(cutRemaining_);
        rest = wstool::makeFrame();
        rest->format = frame->format;
        rest->sample_rate = frame->sample_rate;
        rest->nb_samples = keep;
        avCheck(av_channel_layout_copy(&rest->ch_layout, &frame->ch_layout), "out of memory");
        avCheck(av_frame_get_buffer(rest.get(), 0), "out of memory");
        av_frame_copy_props(rest.get(), frame);
        av_samples_copy(rest->extended_data, frame->extended_data, 0, static_cast<int>(cutRemaining_), keep,
                        frame->ch_layout.nb_channels, static_cast<AVSampleFormat>(frame->format));
        cutRemaining_ = 0;
        frame = rest.get();
    }
    if (graph_ && (graph_->format != frame->format || graph_->rate != frame->sample_rate ||
                   av_channel_layout_compare(&graph_->frameLayout, &frame->ch_layout) != 0))
        finish();
    if (!graph_)
        build(frame);
    send(frame);
}

void Chain::finish()
{
    if (!graph_)
        return;
    avCheck(av_buffersrc_add_frame_flags(graph_->src, nullptr, 0), "processing failed");
    drain();
    graph_.reset();
}

} // namespace tromvax
