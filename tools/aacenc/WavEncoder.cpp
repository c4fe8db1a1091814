#include "WavEncoder.h"

#include "AacStreamHeaders.h"
#include "AtomicFile.h"
#include "ChunkPlan.h"
#include "ParallelEncode.h"
#include "PartLength.h"
#include "PartSpan.h"
#include "WavInput.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <sys/stat.h>

namespace aacenc {

using wstool::ToolError;
using wstool::layoutName;

namespace {

// Input layouts the encoder can take, with the channels in WAV order.
constexpr uint64_t kInputLayouts[] = {AV_CH_LAYOUT_MONO,       AV_CH_LAYOUT_STEREO,     AV_CH_LAYOUT_SURROUND,
                                      AV_CH_LAYOUT_4POINT0,    AV_CH_LAYOUT_5POINT0,    AV_CH_LAYOUT_5POINT0_BACK,
                                      AV_CH_LAYOUT_5POINT1,    AV_CH_LAYOUT_5POINT1_BACK};

// The encoder's standard layout for each channel count (side and back
// surrounds are the same pair of channels in a WAV file).
uint64_t codedMask(int channels)
{
    switch (channels) {
    case 1: return AV_CH_LAYOUT_MONO;
    case 2: return AV_CH_LAYOUT_STEREO;
    case 3: return AV_CH_LAYOUT_SURROUND;
    case 4: return AV_CH_LAYOUT_4POINT0;
    case 5: return AV_CH_LAYOUT_5POINT0_BACK;
    default: return AV_CH_LAYOUT_5POINT1_BACK;
    }
}

class AdtsSink : public PacketSink {
public:
    explicit AdtsSink(wstool::AtomicFile &file) : file_(file), path_(file.target()) {}

    void start(const AVCodecContext *enc) override
    {
        out_ = wstool::openMuxer("adts", file_);
        out_->flags |= AVFMT_FLAG_BITEXACT;
        st_ = avformat_new_stream(out_.get(), nullptr);
        if (!st_)
            throw ToolError("out of memory");
        wstool::avCheck(avcodec_parameters_from_context(st_->codecpar, enc), "cannot write " + path_);
        st_->time_base = enc->time_base;
        wstool::avCheck(avformat_write_header(out_.get(), nullptr), "cannot write " + path_);
    }

    void packet(AVPacket *pkt, const AVCodecContext *enc) override
    {
        av_packet_rescale_ts(pkt, enc->time_base, st_->time_base);
        pkt->stream_index = 0;
        wstool::avCheck(av_write_frame(out_.get(), pkt), "cannot write " + path_);
    }

    void finish() override
    {
        wstool::finishOutput(out_.get(), path_);
    }

private:
    wstool::AtomicFile &file_;
    std::string path_;
    wstool::OutputFormatPtr out_;
    AVStream *st_ = nullptr;
};

class AdifSink : public PacketSink {
public:
    explicit AdifSink(wstool::AtomicFile &file) : file_(file), path_(file.target()) {}

    void start(const AVCodecContext *enc) override
    {
        // The encoder's AudioSpecificConfig: object type, rate index, channel configuration.
        if (enc->extradata_size < 2)
            throw ToolError("the encoder gave no stream configuration");
        const uint8_t *asc = enc->extradata;
        const int objectType = asc[0] >> 3;
        const int rateIndex = ((asc[0] & 7) << 1) | (asc[1] >> 7);
        const int channelConfig = (asc[1] >> 3) & 0x0F;
        if (objectType != 2 || channelConfig < 1 || channelConfig > 6)
            throw ToolError("this channel layout cannot be written as ADIF");
        rate_ = wstool::aacSampleRate(rateIndex);
        header_.variableRate = true;
        header_.programs = {{0, wstool::ProgramConfig::forChannelConfig(objectType - 1, rateIndex, channelConfig)}};
        f_ = file_.stream();
        writeHeader();
    }

    void packet(AVPacket *pkt, const AVCodecContext *) override
    {
        peakBytes_ = std::max(peakBytes_, pkt->size);
        if (std::fwrite(pkt->data, 1, size_t(pkt->size), f_.get()) != size_t(pkt->size))
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
    }

    void finish() override
    {
        // Variable rate: the header's bit rate is the peak of any frame.
        const uint64_t peak = uint64_t(peakBytes_) * 8 * uint64_t(rate_) / 1024;
        header_.bitrate = uint32_t(std::min<uint64_t>(peak, wstool::kAdifMaxBitrate));
        if (std::fseek(f_.get(), 0, SEEK_SET) != 0)
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
        writeHeader();
        if (std::fclose(f_.release()) != 0)
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
    }

private:
    void writeHeader()
    {
        const std::vector<uint8_t> bytes = wstool::writeAdifHeader(header_);
        if (std::fwrite(bytes.data(), 1, bytes.size(), f_.get()) != bytes.size())
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
    }

    wstool::AtomicFile &file_;
    std::string path_;
    wstool::StreamPtr f_{nullptr, &std::fclose};
    wstool::AdifHeader header_;
    int rate_ = 0;
    int peakBytes_ = 0;
};

// The packets of a single encode that a part keeps: decoding packet n gives
// input samples [(n - 1) * frame, n * frame) (the encoder primes one frame),
// so the first part keeps its priming packet, as a single encode would, and
// a later part starts with the packet of sample `lead`. last -1: to the end.
struct KeptPackets {
    int64_t first = 0, last = -1;
};

KeptPackets keptPackets(const std::optional<wstool::PartTrim> &trim, int frame)
{
    KeptPackets k;
    if (!trim)
        return k;
    k.first = trim->lead > 0 ? trim->lead / frame + 1 : 0;
    k.last = trim->keep < 0 ? -1 : (trim->lead + trim->keep + frame - 1) / frame;
    return k;
}

// Passes on only the packets of one part of a split source: the WAV holds
// `lead` samples of run-in before the part and run-out after it. Keeping
// whole frames of a continuous signal on both sides of each boundary makes
// the frames of neighbouring parts overlap-add seamlessly.
class PartSink : public PacketSink {
public:
    PartSink(std::unique_ptr<PacketSink> next, const KeptPackets &kept) : next_(std::move(next)), kept_(kept) {}
    void start(const AVCodecContext *enc) override { next_->start(enc); }
    void packet(AVPacket *pkt, const AVCodecContext *enc) override
    {
        const int64_t n = index_++;
        if (n >= kept_.first && (kept_.last < 0 || n <= kept_.last))
            next_->packet(pkt, enc);
    }
    void finish() override { next_->finish(); }

private:
    std::unique_ptr<PacketSink> next_;
    const KeptPackets kept_;
    int64_t index_ = 0;
};

} // namespace

WavSource::WavSource(const std::string &path, bool keepLfe) : path_(path)
{
    in_ = wstool::openWavInput(path);
    const AVCodecParameters *par = in_->streams[0]->codecpar;
    format_ = avcodec_get_name(par->codec_id);
    if (format_.rfind("pcm_", 0) != 0 || par->block_align <= 0 ||
        (par->codec_id != AV_CODEC_ID_PCM_U8 && par->codec_id != AV_CODEC_ID_PCM_S16LE &&
         par->codec_id != AV_CODEC_ID_PCM_S24LE && par->codec_id != AV_CODEC_ID_PCM_S32LE &&
         par->codec_id != AV_CODEC_ID_PCM_F32LE && par->codec_id != AV_CODEC_ID_PCM_F64LE))
        throw ToolError(path + " holds an unsupported WAV format (" + format_ +
                        "); aacenc reads 8/16/24/32-bit PCM and 32/64-bit float WAV files");
    rate_ = par->sample_rate;
    if (wstool::aacSampleRateIndex(rate_) < 0)
        throw ToolError(path + " has the sample rate " + std::to_string(rate_) +
                        " Hz, which AAC does not support (8000 ... 96000 Hz in the standard steps)");
    inputChannels_ = par->ch_layout.nb_channels;
    blockAlign_ = par->block_align;
    if (inputChannels_ < 1 || inputChannels_ > 6)
        throw ToolError(path + " has " + std::to_string(inputChannels_) +
                        " channels; aacenc encodes 1 to 6 channels");
    if (par->ch_layout.order == AV_CHANNEL_ORDER_NATIVE) {
        bool known = false;
        for (uint64_t mask : kInputLayouts)
            known = known || (par->ch_layout.u.mask == mask);
        if (!known)
            throw ToolError(path + " has the channel layout " + layoutName(par->ch_layout) +
                            ", which aacenc cannot encode");
        wstool::avCheck(av_channel_layout_copy(&inLayout_, &par->ch_layout), "out of memory");
    } else {
        av_channel_layout_default(&inLayout_, inputChannels_);
    }

    const int lfe = av_channel_layout_index_from_channel(&inLayout_, AV_CHAN_LOW_FREQUENCY);
    for (int c = 0; c < inputChannels_; ++c)
        if (!(c == lfe && !keepLfe))
            keep_.push_back(c);
    const int coded = int(keep_.size());
    av_channel_layout_from_mask(&coded_, coded == 6 ? AV_CH_LAYOUT_5POINT1_BACK : codedMask(coded));

    const AVCodec *codec = avcodec_find_decoder(par->codec_id);
    dec_.reset(avcodec_alloc_context3(codec));
    if (!codec || !dec_)
        throw ToolError("no decoder for " + format_);
    wstool::avCheck(avcodec_parameters_to_context(dec_.get(), par), "cannot read " + path);
    wstool::avCheck(av_channel_layout_copy(&dec_->ch_layout, &inLayout_), "out of memory");
    wstool::avCheck(avcodec_open2(dec_.get(), codec, nullptr), "cannot read " + path);

    SwrContext *swr = nullptr;
    wstool::avCheck(swr_alloc_set_opts2(&swr, &inLayout_, AV_SAMPLE_FMT_FLTP, rate_, &inLayout_,
                                        dec_->sample_fmt, rate_, 0, nullptr),
                    "cannot convert the samples of " + path);
    swr_.reset(swr);
    wstool::avCheck(swr_init(swr), "cannot convert the samples of " + path);
    planes_.resize(size_t(inputChannels_));
    pkt_ = wstool::makePacket();
    frame_ = wstool::makeFrame();
}

std::string WavSource::comment() const
{
    const AVDictionaryEntry *e = av_dict_get(in_->metadata, "comment", nullptr, 0);
    return e ? e->value : std::string();
}

WavSource::~WavSource()
{
    av_channel_layout_uninit(&inLayout_);
    av_channel_layout_uninit(&coded_);
}

int64_t WavSource::declaredSamples() const
{
    const AVStream *st = in_->streams[0];
    if (st->duration <= 0 || st->duration == AV_NOPTS_VALUE)
        return -1;
    const int64_t declared = av_rescale_q(st->duration, st->time_base, AVRational{1, rate_});
    // A damaged header (an RF64 size field, say) can promise far more than
    // the file holds; plans made from it would be as large. No more samples
    // than the file's bytes can hold.
    const int64_t bytes = in_->pb ? avio_size(in_->pb) : -1;
    return bytes < 0 ? declared : std::min(declared, bytes / blockAlign_);
}

void WavSource::seekTo(int64_t sample)
{
    if (sample <= 0)
        return;
    const AVStream *st = in_->streams[0];
    const int64_t ts = av_rescale_q(sample, AVRational{1, rate_}, st->time_base);
    // PCM seeks to the exact sample frame; whatever lies before the target
    // in the first packet read is dropped. Without seeking, read from the start.
    if (av_seek_frame(in_.get(), 0, ts, AVSEEK_FLAG_BACKWARD) >= 0)
        seekTarget_ = sample;
    else
        skip_ = sample;
}

int WavSource::codedFullRangeChannels() const
{
    return coded_.nb_channels - (av_channel_layout_index_from_channel(&coded_, AV_CHAN_LOW_FREQUENCY) >= 0);
}

void WavSource::convertFrame(AVAudioFifo *fifo)
{
    const int n = frame_->nb_samples;
    std::vector<uint8_t *> all(planes_.size());
    for (size_t c = 0; c < planes_.size(); ++c) {
        planes_[c].resize(size_t(n));
        all[c] = reinterpret_cast<uint8_t *>(planes_[c].data());
    }
    const int got = swr_convert(swr_.get(), all.data(), n, const_cast<const uint8_t **>(frame_->extended_data), n);
    wstool::avCheck(got, "cannot convert the samples of " + path_);
    const int drop = int(std::min<int64_t>(skip_, got));
    skip_ -= drop;
    std::vector<void *> kept;
    for (int c : keep_)
        kept.push_back(planes_[size_t(c)].data() + drop);
    if (av_audio_fifo_write(fifo, kept.data(), got - drop) != got - drop)
        throw ToolError("out of memory");
    samples_ += got - drop;
}

bool WavSource::readInto(AVAudioFifo *fifo)
{
    while (!eof_) {
        int err = avcodec_receive_frame(dec_.get(), frame_.get());
        if (err == 0) {
            convertFrame(fifo);
            av_frame_unref(frame_.get());
            return true;
        }
        if (err == AVERROR_EOF) {
            eof_ = true;
            break;
        }
        if (err != AVERROR(EAGAIN))
            wstool::avCheck(err, "cannot decode " + path_);
        err = av_read_frame(in_.get(), pkt_.get());
        wstool::checkRead(in_.get(), err, path_);
        if (err == AVERROR_EOF) {
            wstool::avCheck(avcodec_send_packet(dec_.get(), nullptr), "cannot decode " + path_);
            continue;
        }
        if (pkt_->stream_index == 0) {
            if (pkt_->size % blockAlign_ != 0)
                throw ToolError(path_ + " ends inside a sample frame (the file is truncated)");
            if (seekTarget_ >= 0) {
                // Where the seek landed: at or before the target.
                const AVStream *st = in_->streams[0];
                const int64_t at = pkt_->pts == AV_NOPTS_VALUE
                                       ? -1
                                       : av_rescale_q(pkt_->pts, st->time_base, AVRational{1, rate_});
                if (at < 0 || at > seekTarget_)
                    throw ToolError("cannot seek in " + path_);
                skip_ = seekTarget_ - at;
                seekTarget_ = -1;
            }
            err = avcodec_send_packet(dec_.get(), pkt_.get());
            av_packet_unref(pkt_.get());
            wstool::avCheck(err, "cannot decode " + path_);
        } else {
            av_packet_unref(pkt_.get());
        }
    }
    return false;
}

namespace {
// Opening FFmpeg's AAC encoder fills process-wide tables; encoders of
// worker threads are opened one at a time.
std::mutex openMutex;
}

Encoder::Encoder(const AVChannelLayout &layout, int sampleRate, const RateChoice &rate)
{
    const AVCodec *codec = avcodec_find_encoder_by_name("aac");
    if (!codec)
        throw ToolError("FFmpeg's AAC encoder is not available");
    ctx_.reset(avcodec_alloc_context3(codec));
    if (!ctx_)
        throw ToolError("out of memory");
    ctx_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    ctx_->sample_rate = sampleRate;
    wstool::avCheck(av_channel_layout_copy(&ctx_->ch_layout, &layout), "out of memory");
    ctx_->bit_rate = rate.bitRate;
    ctx_->cutoff = rate.cutoff;
    ctx_->profile = FF_PROFILE_AAC_LOW;
    ctx_->time_base = AVRational{1, sampleRate};
    ctx_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    {
        std::lock_guard<std::mutex> lock(openMutex);
        wstool::avCheck(avcodec_open2(ctx_.get(), codec, nullptr), "cannot start the AAC encoder");
    }
    frame_ = wstool::makeFrame();
    frame_->format = AV_SAMPLE_FMT_FLTP;
    frame_->sample_rate = sampleRate;
    frame_->nb_samples = ctx_->frame_size;
    wstool::avCheck(av_channel_layout_copy(&frame_->ch_layout, &layout), "out of memory");
    wstool::avCheck(av_frame_get_buffer(frame_.get(), 0), "out of memory");
    pkt_ = wstool::makePacket();
}

void Encoder::encodeFrom(AVAudioFifo *fifo, int n, PacketSink &sink)
{
    wstool::avCheck(av_frame_make_writable(frame_.get()), "out of memory");
    frame_->nb_samples = n;
    if (av_audio_fifo_read(fifo, reinterpret_cast<void **>(frame_->data), n) != n)
        throw ToolError("internal error: sample FIFO underrun");
    frame_->pts = pts_;
    pts_ += n;
    wstool::avCheck(avcodec_send_frame(ctx_.get(), frame_.get()), "AAC encoding failed");
    drain(sink);
}

void Encoder::flush(PacketSink &sink)
{
    wstool::avCheck(avcodec_send_frame(ctx_.get(), nullptr), "AAC encoding failed");
    drain(sink);
}

void Encoder::drain(PacketSink &sink)
{
    for (;;) {
        const int err = avcodec_receive_packet(ctx_.get(), pkt_.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return;
        wstool::avCheck(err, "AAC encoding failed");
        sink.packet(pkt_.get(), ctx_.get());
        av_packet_unref(pkt_.get());
    }
}

std::unique_ptr<PacketSink> makeAdtsSink(wstool::AtomicFile &file) { return std::make_unique<AdtsSink>(file); }

std::unique_ptr<PacketSink> makeAdifSink(wstool::AtomicFile &file) { return std::make_unique<AdifSink>(file); }

namespace {
int workerCount(const Request &r)
{
    if (r.threads > 0)
        return r.threads;
    return std::max(1, int(std::thread::hardware_concurrency()));
}
} // namespace

EncodeResult encode(const Request &r)
{
    WavSource src(r.input, r.keepLfe);
    EncodeResult result;
    result.sampleRate = src.sampleRate();
    result.channels = src.codedLayout().nb_channels;
    result.rate = chooseRate(r, src.inputChannels(), src.codedFullRangeChannels(), src.sampleRate());

    Encoder enc(src.codedLayout(), src.sampleRate(), result.rate);
    const int frame = enc.frameSize();
    // A part of a split source keeps only its own frames.
    const std::optional<wstool::PartTrim> trim = wstool::parseTrimNote(src.comment());
    const KeptPackets kept = keptPackets(trim, frame);

    wstool::AtomicFile out(r.output);
    // A part's length note describes this output only: an older one goes first.
    const std::string notePath = wstool::lengthNotePath(r.output);
    if (trim)
        std::remove(notePath.c_str());
    auto makeSink = [&] { return r.adif ? makeAdifSink(out) : makeAdtsSink(out); };

    // Long inputs are encoded in chunks on every core; a file that holds
    // less than its header tells is encoded in one go.
    bool done = false;
    const int64_t declared = src.declaredSamples();
    if (const int threads = workerCount(r); threads > 1 && declared > 0) {
        ChunkJob job{r.input, r.keepLfe, result.rate,
                     planChunks(declared, kept.first, kept.last, threads, chunkLimits(src.sampleRate())), threads};
        if (job.plan.size() > 1) {
            try {
                std::unique_ptr<PacketSink> sink = makeSink();
                sink->start(enc.context());
                result.samples = encodeChunks(job, *sink, enc.context());
                sink->finish();
                result.chunks = int(job.plan.size());
                done = true;
            } catch (const ShortInput &) {
            }
        }
    }

    if (!done) {
        wstool::AudioFifoPtr fifo(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, result.channels, frame * 4));
        if (!fifo)
            throw ToolError("out of memory");
        std::unique_ptr<PacketSink> sink = makeSink();
        if (trim)
            sink = std::make_unique<PartSink>(std::move(sink), kept);
        sink->start(enc.context());
        while (src.readInto(fifo.get()))
            while (av_audio_fifo_size(fifo.get()) >= frame)
                enc.encodeFrom(fifo.get(), frame, *sink);
        if (src.samplesRead() == 0)
            throw ToolError(r.input + " holds no audio");
        if (const int rest = av_audio_fifo_size(fifo.get()); rest > 0)
            enc.encodeFrom(fifo.get(), rest, *sink);
        enc.flush(*sink);
        sink->finish();
        result.samples = src.samplesRead();
    }

    // A part lasts as long as the frames it keeps, not its whole WAV. Its
    // own samples, which the joiner needs for the exact length, are the
    // `keep` after the run-in (all of them for the last part), in frames
    // that begin with the encoder's priming only in the first part.
    std::optional<wstool::PartLength> length;
    if (trim) {
        const int64_t read = result.samples;
        const int64_t lastPacket = packetCount(read) - 1;
        const int64_t last = kept.last < 0 ? lastPacket : std::min(kept.last, lastPacket);
        result.samples = std::max<int64_t>(0, last - kept.first + 1) * frame;
        const int64_t own = std::max<int64_t>(0, read - trim->lead);
        length = wstool::PartLength{trim->keep < 0 ? own : std::min(trim->keep, own),
                                    kept.first == 0 ? enc.context()->initial_padding : 0, result.sampleRate, 0};
    }
    result.bytes = out.size();
    out.commit();
    if (length) {
        length->bytes = result.bytes;
        wstool::writeLengthNote(notePath, *length);
    }
    return result;
}

} // namespace aacenc
