#include "Output.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

using wstool::ToolError;
using wstool::avCheck;

namespace tromvax {

namespace {

std::string cannotWrite(const std::string &target, int err)
{
    return "cannot write " + target + ": " + wstool::avError(err);
}

} // namespace

WavWriter::WavWriter(const std::string &target) : file_(target), pkt_(wstool::makePacket())
{
    AVFormatContext *raw = nullptr;
    avCheck(avformat_alloc_output_context2(&raw, nullptr, "wav", file_.tempPath().c_str()),
            "cannot write " + target);
    ctx_.reset(raw);
    const int err = avio_open(&ctx_->pb, file_.tempPath().c_str(), AVIO_FLAG_WRITE);
    if (err < 0)
        throw ToolError(cannotWrite(target, err));
}

WavWriter::~WavWriter() = default;

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

void WavWriter::writePacket()
{
    const int n = pkt_->size / (channels_ * bits_ / 8);
    pkt_->stream_index = stream_->index;
    pkt_->pts = pkt_->dts = samples_;
    pkt_->duration = n;
    const int err = av_write_frame(ctx_.get(), pkt_.get());
    av_packet_unref(pkt_.get());
    if (err < 0)
        throw ToolError(cannotWrite(file_.target(), err));
    checkIo();
    samples_ += n;
}

void WavWriter::writeFloat(const AVFrame *frame)
{
    const int n = frame->nb_samples;
    avCheck(av_new_packet(pkt_.get(), n * channels_ * 2), "out of memory");
    if (static_cast<int>(planar_.size()) < n)
        planar_.resize(static_cast<size_t>(n));
    int16_t *out = reinterpret_cast<int16_t *>(pkt_->data);
    int64_t clipped = 0;
    for (int c = 0; c < channels_; ++c) {
        // One channel at a time into a plain buffer (a loop the compiler
        // vectorises), then interleaved.
        const float *in = reinterpret_cast<const float *>(frame->extended_data[c]);
        int16_t *tmp = planar_.data();
        for (int i = 0; i < n; ++i) {
            float v = in[i] * 32768.0f;
            clipped += (v > 32767.5f) | (v < -32768.5f);
            v = v == v ? v : 0.0f; // NaN
            v = std::min(std::max(v, -32768.0f), 32767.0f);
            tmp[i] = static_cast<int16_t>(v >= 0.0f ? v + 0.5f : v - 0.5f); // half away from zero
        }
        for (int i = 0; i < n; ++i)
            out[i * channels_ + c] = tmp[i];
    }
    clipped_ += clipped;
    writePacket();
}

void WavWriter::writePcm(const AVFrame *frame)
{
    const int count = frame->nb_samples * channels_;
    const int bytes = bits_ / 8;
    avCheck(av_new_packet(pkt_.get(), count * bytes), "out of memory");
    uint8_t *out = pkt_->data;
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
        av_packet_unref(pkt_.get());
        throw ToolError(std::string("unexpected PCM sample format ") +
                        av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)));
    }
    writePacket();
}

void WavWriter::finish()
{
    avCheck(av_write_trailer(ctx_.get()), "cannot write " + file_.target());
    checkIo();
    const int err = avio_closep(&ctx_->pb);
    if (err < 0)
        throw ToolError(cannotWrite(file_.target(), err));
    if (!file_.commit())
        throw ToolError("cannot write " + file_.target() + ": " + std::strerror(errno));
}

PayloadWriter::PayloadWriter(const std::string &target) : file_(target)
{
    const int err = avio_open(&io_, file_.tempPath().c_str(), AVIO_FLAG_WRITE);
    if (err < 0)
        throw ToolError(cannotWrite(target, err));
}

PayloadWriter::~PayloadWriter()
{
    if (io_)
        avio_closep(&io_);
}

void PayloadWriter::write(const AVPacket *pkt)
{
    avio_write(io_, pkt->data, pkt->size);
    if (io_->error < 0)
        throw ToolError(cannotWrite(file_.target(), io_->error));
    bytes_ += pkt->size;
}

void PayloadWriter::finish()
{
    avio_flush(io_);
    if (io_->error < 0)
        throw ToolError(cannotWrite(file_.target(), io_->error));
    const int err = avio_closep(&io_);
    if (err < 0)
        throw ToolError(cannotWrite(file_.target(), err));
    if (!file_.commit())
        throw ToolError("cannot write " + file_.target() + ": " + std::strerror(errno));
}

void PeakMeter::add(const AVFrame *frame)
{
    float peak = static_cast<float>(peak_);
    for (int c = 0; c < frame->ch_layout.nb_channels; ++c) {
        const float *in = reinterpret_cast<const float *>(frame->extended_data[c]);
        for (int i = 0; i < frame->nb_samples; ++i)
            peak = std::max(peak, std::fabs(in[i]));
    }
    peak_ = peak;
    samples_ += frame->nb_samples;
}

double gainToFullScale(double peak)
{
    if (!(peak > 0.0) || !std::isfinite(peak))
        return kMaxGainDb;
    const double db = -20.0 * std::log10(peak);
    return std::min(std::floor(db * 10.0 + 1e-9) / 10.0, kMaxGainDb);
}

} // namespace tromvax
