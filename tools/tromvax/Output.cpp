#include "Output.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>

using wstool::ToolError;
using wstool::avCheck;

namespace tromvax {

namespace {

std::string cannotWrite(const std::string &target, int err)
{
    return "cannot write " + target + ": " + wstool::avError(err);
}

} // namespace

WavWriter::WavWriter(const std::string &target)
    : file_(target), ctx_(wstool::openMuxer("wav", file_)), pkt_(wstool::makePacket())
{
}

WavWriter::~WavWriter() = default;

void WavWriter::setComment(const std::string &text)
{
    avCheck(av_dict_set(&ctx_->metadata, "ICMT", text.c_str(), 0), "out of memory");
}

void WavWriter::begin(const AVChannelLayout &layout, int rate, int bits)
{
    stream_ = avformat_new_stream(ctx_.get(), nullptr);
    if (!stream_)
        throw ToolError("out of memory");
    bits_ = bits == 24 ? 24 : 16;
    channels_ = layout.nb_channels;
    AVCodecParameters *par = stream_->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = bits_ == 24 ? AV_CODEC_ID_PCM_S24LE : AV_CODEC_ID_PCM_S16LE;
    avCheck(av_channel_layout_copy(&par->ch_layout, &layout), "out of memory");
    par->sample_rate = rate;
    par->bits_per_coded_sample = bits_;
    par->block_align = channels_ * bits_ / 8;
    par->bit_rate = static_cast<int64_t>(rate) * par->block_align * 8;
    stream_->time_base = AVRational{1, rate};
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "rf64", "auto", 0);
    const int err = avformat_write_header(ctx_.get(), &opts);
    av_dict_free(&opts);
    if (err < 0)
        throw ToolError(cannotWrite(file_.target(), err));
}

void WavWriter::checkIo()
{
    if (ctx_->pb->error < 0)
        throw ToolError(cannotWrite(file_.target(), ctx_->pb->error));
}

void WavWriter::writeBuffer(size_t bytes)
{
    // The muxer takes the packet's data without owning it.
    const int n = static_cast<int>(bytes / static_cast<size_t>(channels_ * bits_ / 8));
    pkt_->data = buffer_.data();
    pkt_->size = static_cast<int>(bytes);
    pkt_->stream_index = stream_->index;
    pkt_->pts = pkt_->dts = samples_;
    pkt_->duration = n;
    const int err = av_write_frame(ctx_.get(), pkt_.get());
    pkt_->data = nullptr;
    pkt_->size = 0;
    if (err < 0)
        throw ToolError(cannotWrite(file_.target(), err));
    checkIo();
    samples_ += n;
}

void WavWriter::writeFloat(const AVFrame *frame)
{
    const int n = frame->nb_samples;
    // Samples beyond full scale are rare; count them only in frames that
    // have some.
    for (int c = 0; c < channels_; ++c) {
        const float *in = reinterpret_cast<const float *>(frame->extended_data[c]);
        float top = 0.0f;
        for (int i = 0; i < n; ++i)
            top = std::max(top, std::fabs(in[i]));
        if (top >= 32767.5f / 32768.0f || top != top)
            for (int i = 0; i < n; ++i)
                clipped_ += !(std::fabs(in[i]) < 32767.5f / 32768.0f);
    }
    if (!toS16_) {
        SwrContext *swr = nullptr;
        AVChannelLayout layout{};
        avCheck(av_channel_layout_copy(&layout, &stream_->codecpar->ch_layout), "out of memory");
        const int rate = stream_->codecpar->sample_rate;
        const int err = swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, rate, &layout,
                                            static_cast<AVSampleFormat>(frame->format), rate, 0, nullptr);
        av_channel_layout_uninit(&layout);
        avCheck(err, "cannot set up the output conversion");
        toS16_.reset(swr);
        avCheck(swr_init(swr), "cannot set up the output conversion");
    }
    // libswresample rounds to the nearest value and clips at full scale.
    buffer_.resize(static_cast<size_t>(n) * static_cast<size_t>(channels_) * 2);
    uint8_t *out[1] = {buffer_.data()};
    const int got = swr_convert(toS16_.get(), out, n, const_cast<const uint8_t **>(frame->extended_data), n);
    avCheck(got, "cannot convert the output");
    writeBuffer(static_cast<size_t>(got) * static_cast<size_t>(channels_) * 2);
}

void WavWriter::writePcm(const AVFrame *frame)
{
    const int count = frame->nb_samples * channels_;
    const int bytes = bits_ / 8;
    buffer_.resize(static_cast<size_t>(count) * static_cast<size_t>(bytes));
    uint8_t *out = buffer_.data();
    if (frame->format == AV_SAMPLE_FMT_S16) {
        const int16_t *in = reinterpret_cast<const int16_t *>(frame->data[0]);
        for (int i = 0; i < count; ++i) {
            const int v = bits_ == 24 ? in[i] * 256 : in[i];
            for (int b = 0; b < bytes; ++b)
                out[bytes * i + b] = static_cast<uint8_t>((v >> (8 * b)) & 0xFF);
        }
    } else if (frame->format == AV_SAMPLE_FMT_S32) {
        const int32_t *in = reinterpret_cast<const int32_t *>(frame->data[0]);
        for (int i = 0; i < count; ++i) {
            const int32_t v = bits_ == 24 ? in[i] / 256 : in[i] / 65536;
            for (int b = 0; b < bytes; ++b)
                out[bytes * i + b] = static_cast<uint8_t>((v >> (8 * b)) & 0xFF);
        }
    } else {
        throw ToolError(std::string("unexpected PCM sample format ") +
                        av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)));
    }
    writeBuffer(buffer_.size());
}

void WavWriter::finish()
{
    wstool::finishOutput(ctx_.get(), file_.target());
    file_.commit();
}

PayloadWriter::PayloadWriter(const std::string &target) : file_(target), io_(wstool::openFileIo(file_)) {}

PayloadWriter::~PayloadWriter() { wstool::closeFileIo(&io_); }

void PayloadWriter::write(const AVPacket *pkt)
{
    avio_write(io_, pkt->data, pkt->size);
    if (io_->error < 0)
        throw ToolError(cannotWrite(file_.target(), io_->error));
    bytes_ += pkt->size;
}

void PayloadWriter::finish()
{
    const int err = wstool::closeFileIo(&io_);
    if (err < 0)
        throw ToolError(cannotWrite(file_.target(), err));
    file_.commit();
}

void PeakMeter::add(const AVFrame *frame, int from)
{
    from = std::clamp(from, 0, frame->nb_samples);
    float peak = static_cast<float>(peak_);
    for (int c = 0; c < frame->ch_layout.nb_channels; ++c) {
        const float *in = reinterpret_cast<const float *>(frame->extended_data[c]);
        for (int i = from; i < frame->nb_samples; ++i)
            peak = std::max(peak, std::fabs(in[i]));
    }
    peak_ = peak;
    samples_ += frame->nb_samples - from;
}

double gainToFullScale(double peak)
{
    if (!(peak > 0.0) || !std::isfinite(peak))
        return kMaxGainDb;
    const double db = -20.0 * std::log10(peak);
    return std::min(std::floor(db * 10.0 + 1e-9) / 10.0, kMaxGainDb);
}

} // namespace tromvax
