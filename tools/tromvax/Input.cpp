#include "Input.h"

#include "CommandLine.h"
#include "Disc.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cctype>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

using wstool::ToolError;
using wstool::avCheck;

namespace tromvax {

namespace {

// The format a file's extension names, for sources whose first bytes are too
// damaged for the content probe.
const AVInputFormat *formatFromExtension(const std::string &path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return nullptr;
    const std::string ext = wstool::lower(path.substr(dot + 1));
    if (ext == "ac3")
        return av_find_input_format("ac3");
    if (ext == "dts")
        return av_find_input_format("dts");
    if (ext == "mpa" || ext == "mp2" || ext == "mp3")
        return av_find_input_format("mp3");
    if (ext == "wav" || ext == "pcm")
        return av_find_input_format("wav");
    if (ext == "vob" || ext == "mpg" || ext == "mpeg")
        return av_find_input_format("mpeg");
    return nullptr;
}

int64_t toMicroseconds(int64_t ts, AVRational tb) { return av_rescale_q(ts, tb, AVRational{1, 1000000}); }

// A DVD audio stream's number and the rank of its kind, from the ID the
// MPEG-PS demuxer gives it: AC3 0x80-0x87, DTS 0x88-0x8F, LPCM 0xA0-0xA7,
// MPEG audio 0x1C0-0x1DF. Nothing for a stream without such an ID.
struct DvdAudio {
    int number;
    int rank; // AC3 0, DTS 1, LPCM 2, MPEG 3
};
std::optional<DvdAudio> dvdAudio(const AVStream *st)
{
    const int id = st->id;
    if (id >= 0x80 && id <= 0x87)
        return DvdAudio{id - 0x80, 0};
    if (id >= 0x88 && id <= 0x8F)
        return DvdAudio{id - 0x88, 1};
    if (id >= 0xA0 && id <= 0xA7)
        return DvdAudio{id - 0xA0, 2};
    if (id >= 0x1C0 && id <= 0x1DF)
        return DvdAudio{id - 0x1C0, 3};
    return std::nullopt;
}

// The automatic choice: the DVD's audio stream number 0, else the lowest
// number present; among equal numbers AC3, DTS, LPCM, then MPEG audio.
// Streams without a DVD ID keep the order of the file.
bool betterAutomatic(const AVStream *candidate, const AVStream *chosen)
{
    const auto c = dvdAudio(candidate);
    const auto o = dvdAudio(chosen);
    if (!c || !o)
        return c && !o;
    return c->number != o->number ? c->number < o->number : c->rank < o->rank;
}

} // namespace

struct Demuxer::Parsed {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file{nullptr, &std::fclose};
    wstool::CodecParserPtr parser;
    wstool::CodecContextPtr avctx;
    std::vector<uint8_t> buf = std::vector<uint8_t>(1 << 16);
    size_t pos = 0, len = 0;
    bool flushed = false;
    int64_t samples = 0;
};

Demuxer::Demuxer(const std::string &path, const std::string &name) : name_(name.empty() ? path : name)
{
    AVFormatContext *raw = nullptr;
    int err = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    const AVInputFormat *named = formatFromExtension(name_);
    if (err == AVERROR_INVALIDDATA && named)
        err = avformat_open_input(&raw, path.c_str(), named, nullptr);
    // The MP3 demuxer refuses a file of a single frame (a short part of a
    // split): such a file is read through the parser instead.
    if (err < 0 && named && std::string(named->name) == "mp3") {
        openWithParser(path);
        return;
    }
    avCheck(err, "cannot open " + name_);
    ctx_.reset(raw);
    avCheck(avformat_find_stream_info(ctx_.get(), nullptr), "cannot read " + name_);
}

Demuxer::Demuxer(std::unique_ptr<TitleStream> title) : name_(title->name()), title_(std::move(title))
{
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        throw ToolError("out of memory");
    raw->pb = title_->io();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    const int err = avformat_open_input(&raw, nullptr, av_find_input_format("mpeg"), nullptr);
    if (err < 0) // the context is freed by the failed open
        throw ToolError(!title_->failure().empty() ? title_->failure() : "cannot open " + name_ + ": " + wstool::avError(err));
    ctx_.reset(raw);
    if (const int e = avformat_find_stream_info(ctx_.get(), nullptr); e < 0 || !title_->failure().empty())
        throw ToolError(!title_->failure().empty() ? title_->failure() : "cannot read " + name_ + ": " + wstool::avError(e));
}

Demuxer::~Demuxer() = default;

void Demuxer::readFailed(int err) const
{
    if (title_ && !title_->failure().empty())
        throw ToolError(title_->failure());
    throw ToolError(wstool::readErrorText(ctx_.get(), err, name_));
}

void Demuxer::openWithParser(const std::string &path)
{
    auto p = std::make_shared<Parsed>();
    p->file.reset(std::fopen(path.c_str(), "rb"));
    if (!p->file)
        throw ToolError("cannot open " + name_ + ": " + std::strerror(errno));
    p->parser.reset(av_parser_init(AV_CODEC_ID_MP2));
    p->avctx.reset(avcodec_alloc_context3(nullptr));
    ctx_.reset(avformat_alloc_context());
    if (!p->parser || !p->avctx || !ctx_)
        throw ToolError("out of memory");
    parsed_ = p;
    // The first frame tells the stream's kind (layer), rate and channels.
    auto pkt = wstool::makePacket();
    if (!nextParsed(pkt.get()))
        throw ToolError("cannot open " + name_ + ": no MPEG audio frame found");
    AVStream *st = avformat_new_stream(ctx_.get(), nullptr);
    if (!st)
        throw ToolError("out of memory");
    st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    st->codecpar->codec_id = p->avctx->codec_id != AV_CODEC_ID_NONE ? p->avctx->codec_id : AV_CODEC_ID_MP2;
    st->codecpar->sample_rate = p->avctx->sample_rate;
    st->codecpar->bit_rate = p->avctx->bit_rate;
    avCheck(av_channel_layout_copy(&st->codecpar->ch_layout, &p->avctx->ch_layout), "out of memory");
    st->time_base = AVRational{1, std::max(p->avctx->sample_rate, 1)};
    // From the start again, with a fresh parser.
    std::rewind(p->file.get());
    p->parser.reset(av_parser_init(AV_CODEC_ID_MP2));
    if (!p->parser)
        throw ToolError("out of memory");
    p->pos = p->len = 0;
    p->flushed = false;
    p->samples = 0;
}

bool Demuxer::nextParsed(AVPacket *pkt)
{
    Parsed &p = *parsed_;
    for (;;) {
        uint8_t *out = nullptr;
        int outSize = 0;
        if (p.pos < p.len) {
            const int used = av_parser_parse2(p.parser.get(), p.avctx.get(), &out, &outSize, p.buf.data() + p.pos,
                                              int(p.len - p.pos), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            p.pos += size_t(std::max(used, 0));
        } else if (!p.flushed && std::feof(p.file.get()) == 0) {
            p.len = std::fread(p.buf.data(), 1, p.buf.size() - AV_INPUT_BUFFER_PADDING_SIZE, p.file.get());
            p.pos = 0;
            std::fill(p.buf.begin() + long(p.len), p.buf.end(), uint8_t(0));
            if (std::ferror(p.file.get()))
                throw ToolError("cannot read " + name_ + ": " + std::strerror(errno));
            continue;
        } else if (!p.flushed) {
            av_parser_parse2(p.parser.get(), p.avctx.get(), &out, &outSize, nullptr, 0, AV_NOPTS_VALUE,
                             AV_NOPTS_VALUE, 0);
            if (outSize <= 0)
                p.flushed = true;
        } else {
            return false;
        }
        if (outSize <= 0)
            continue;
        avCheck(av_new_packet(pkt, outSize), "out of memory");
        std::copy(out, out + outSize, pkt->data);
        pkt->stream_index = 0;
        pkt->pts = pkt->dts = p.samples;
        if (p.parser->duration > 0) {
            pkt->duration = p.parser->duration;
            p.samples += p.parser->duration;
        }
        return true;
    }
}

AVStream *Demuxer::selectAudio(std::optional<int> substream)
{
    std::string found;
    for (unsigned i = 0; i < ctx_->nb_streams; ++i) {
        AVStream *st = ctx_->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && !video_)
            video_ = st;
        if (type != AVMEDIA_TYPE_AUDIO || st->codecpar->codec_id == AV_CODEC_ID_NONE)
            continue;
        if (!substream) {
            if (!audio_ || betterAutomatic(st, audio_))
                audio_ = st;
            continue;
        }
        // The MPEG-PS demuxer numbers private-stream substreams by their
        // substream ID (0x80) and MPEG audio streams by their stream ID (0x1C0).
        if (!audio_ && (st->id == *substream || (*substream >= 0xC0 && *substream <= 0xDF &&
                                                 st->id == (0x100 | *substream))))
            audio_ = st;
        found += (found.empty() ? "" : ", ") + substreamIdText(st->id >= 0x100 ? st->id & 0xFF : st->id);
    }
    if (!audio_) {
        if (substream) {
            throw ToolError("substream " + substreamIdText(*substream) + " not found in " + name_ +
                            (found.empty() ? " (it has no audio)" : " (audio substreams: " + found + ")"));
        }
        throw ToolError("no audio stream in " + name_);
    }
    for (unsigned i = 0; i < ctx_->nb_streams; ++i)
        if (ctx_->streams[i] != audio_ && ctx_->streams[i] != video_)
            ctx_->streams[i]->discard = AVDISCARD_ALL;
    return audio_;
}

bool Demuxer::carry(std::vector<uint8_t> before, std::vector<uint8_t> after)
{
    const AVCodecParameters *par = audio_ ? audio_->codecpar : nullptr;
    const AVCodecDescriptor *d = par ? avcodec_descriptor_get(par->codec_id) : nullptr;
    if (!d || std::string(d->name).rfind("pcm_", 0) != 0 || par->block_align <= 0 ||
        before.size() % size_t(par->block_align) != 0 || after.size() % size_t(par->block_align) != 0 ||
        before.size() > size_t(INT_MAX) || after.size() > size_t(INT_MAX))
        return false;
    before_ = std::move(before);
    after_ = std::move(after);
    return true;
}

namespace {

// A packet of the audio stream holding `bytes`, which are then released.
void carriedPacket(AVPacket *pkt, std::vector<uint8_t> &bytes, int stream)
{
    avCheck(av_new_packet(pkt, int(bytes.size())), "out of memory");
    std::copy(bytes.begin(), bytes.end(), pkt->data);
    pkt->stream_index = stream;
    std::vector<uint8_t>().swap(bytes);
}

} // namespace

bool Demuxer::next(AVPacket *pkt)
{
    if (!before_.empty()) {
        carriedPacket(pkt, before_, audio_->index);
        return true;
    }
    int stuck = 0;
    int64_t errorAt = -1;
    for (;;) {
        const int err = ended_    ? AVERROR_EOF
                        : parsed_ ? (nextParsed(pkt) ? 0 : AVERROR_EOF)
                                  : av_read_frame(ctx_.get(), pkt);
        // A read error can end the input early: the demuxer then reports
        // the end, and only the I/O context knows better.
        if (!ended_ && err < 0 && ctx_->pb && ctx_->pb->error < 0)
            readFailed(ctx_->pb->error);
        if (!ended_ && err < 0 && title_ && !title_->failure().empty())
            readFailed(err);
        if (err == AVERROR_EOF) {
            ended_ = true;
            if (after_.empty())
                return false;
            carriedPacket(pkt, after_, audio_->index);
            return true;
        }
        if (err == AVERROR(EAGAIN))
            continue;
        if (err < 0) {
            // Unreadable data: the demuxer skips it on the next call. One
            // that makes no progress at all cannot read the rest.
            ++readErrors_;
            const int64_t at = ctx_->pb ? avio_tell(ctx_->pb) : -1;
            stuck = at == errorAt ? stuck + 1 : 0;
            errorAt = at;
            if (stuck >= 100)
                readFailed(err);
            continue;
        }
        stuck = 0;
        if (video_ && pkt->stream_index == video_->index) {
            if (pkt->pts != AV_NOPTS_VALUE && videoPacketsSeen_ < 16) {
                // Pictures come in decoding order; the earliest presentation
                // time is among the first few.
                ++videoPacketsSeen_;
                const int64_t us = toMicroseconds(pkt->pts, video_->time_base);
                firstVideoUs_ = firstVideoUs_ ? std::min(*firstVideoUs_, us) : us;
            }
            av_packet_unref(pkt);
            continue;
        }
        if (pkt->stream_index != audio_->index) {
            av_packet_unref(pkt);
            continue;
        }
        if (!firstAudioUs_ && pkt->pts != AV_NOPTS_VALUE)
            firstAudioUs_ = toMicroseconds(pkt->pts, audio_->time_base);
        return true;
    }
}

std::vector<const AVStream *> Demuxer::audioByChoice() const
{
    std::vector<const AVStream *> out;
    for (unsigned i = 0; i < ctx_->nb_streams; ++i)
        if (ctx_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
            ctx_->streams[i]->codecpar->codec_id != AV_CODEC_ID_NONE)
            out.push_back(ctx_->streams[i]);
    std::stable_sort(out.begin(), out.end(), [](const AVStream *a, const AVStream *b) { return betterAutomatic(a, b); });
    return out;
}

std::string Demuxer::substreamId() const { return substreamIdOf(audio_); }

std::string substreamIdOf(const AVStream *audio_)
{
    int id = audio_->id;
    if (id >= 0x1C0 && id <= 0x1DF)
        id &= 0xFF;
    const bool dvd = (id >= 0x80 && id <= 0xBF) || (id >= 0xC0 && id <= 0xDF);
    if (!dvd) {
        switch (audio_->codecpar->codec_id) {
        case AV_CODEC_ID_MP1:
        case AV_CODEC_ID_MP2:
        case AV_CODEC_ID_MP3:
            id = 0xC0;
            break;
        case AV_CODEC_ID_DTS:
            id = 0x88;
            break;
        case AV_CODEC_ID_AC3:
        case AV_CODEC_ID_EAC3:
            id = 0x80;
            break;
        default:
            id = 0xA0;
        }
    }
    return substreamIdText(id);
}

std::string substreamIdText(int id)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", id);
    return buf;
}

double Demuxer::avDelayMs() const
{
    if (!firstAudioUs_ || !firstVideoUs_)
        return 0.0;
    return static_cast<double>(*firstAudioUs_ - *firstVideoUs_) / 1000.0;
}

double Demuxer::durationSeconds() const
{
    if (audio_ && audio_->duration != AV_NOPTS_VALUE && audio_->duration > 0)
        return static_cast<double>(audio_->duration) * av_q2d(audio_->time_base);
    if (ctx_->duration != AV_NOPTS_VALUE && ctx_->duration > 0)
        return static_cast<double>(ctx_->duration) / AV_TIME_BASE;
    return 0.0;
}

std::string Demuxer::describe() const
{
    char dur[32];
    std::snprintf(dur, sizeof dur, "%.1f s", durationSeconds());
    if (parsed_)
        return "MPEG audio, read frame by frame (too short for the MP3 demuxer)";
    return std::string(ctx_->iformat->name) + " (" + ctx_->iformat->long_name + "), about " + dur;
}

Decoder::Decoder(const AVStream *stream, DynamicRange drc)
{
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        throw ToolError(std::string("no decoder for ") + avcodec_get_name(stream->codecpar->codec_id) +
                        " audio");
    ctx_.reset(avcodec_alloc_context3(codec));
    if (!ctx_)
        throw ToolError("out of memory");
    avCheck(avcodec_parameters_to_context(ctx_.get(), stream->codecpar), "cannot set up the decoder");
    ctx_->pkt_timebase = stream->time_base;

    AVDictionary *opts = nullptr;
    if (isAc3()) {
        // Frames that fail their checksum are reported as damaged rather
        // than played as noise.
        ctx_->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
        // The decoder fills mantissas coded with no bits with noise. Seeded
        // from each frame's own bytes, that noise is the same whichever
        // frame a decode starts at, so a part decodes to exactly the
        // samples a decode of the whole source gives.
        av_dict_set(&opts, "cons_noisegen", "1", 0);
        switch (drc) {
        case DynamicRange::AsCoded:
            drcNote_ = "as coded (decoder default)";
            break;
        case DynamicRange::Light:
            av_dict_set(&opts, "drc_scale", "0.5", 0);
            drcNote_ = "light (half the coded compression)";
            break;
        case DynamicRange::Normal:
            av_dict_set(&opts, "drc_scale", "1", 0);
            drcNote_ = "normal (the coded compression)";
            break;
        case DynamicRange::Heavy:
            av_dict_set(&opts, "drc_scale", "1", 0);
            av_dict_set(&opts, "heavy_compr", "1", 0);
            drcNote_ = "heavy (the decoder's heavy compression profile)";
            break;
        case DynamicRange::Inverse:
            av_dict_set(&opts, "drc_scale", "0", 0);
            drcNote_ = "inverse (no compression, full dynamic range)";
            break;
        }
    }
    const int err = avcodec_open2(ctx_.get(), codec, &opts);
    av_dict_free(&opts);
    avCheck(err, std::string("cannot open the ") + codec->name + " decoder");
}

bool Decoder::isAc3() const
{
    return ctx_->codec_id == AV_CODEC_ID_AC3 || ctx_->codec_id == AV_CODEC_ID_EAC3;
}

std::string Decoder::describe() const
{
    return std::string(ctx_->codec->name) + ", " + std::to_string(ctx_->sample_rate) + " Hz, " +
           layoutName(ctx_->ch_layout);
}

void Decoder::damagedPacket()
{
    ++damaged_;
    if (!last_)
        return;
    wstool::FramePtr silence = wstool::makeFrame();
    silence->format = last_->format;
    silence->sample_rate = last_->sample_rate;
    silence->nb_samples = last_->nb_samples;
    avCheck(av_channel_layout_copy(&silence->ch_layout, &last_->ch_layout), "out of memory");
    avCheck(av_frame_get_buffer(silence.get(), 0), "out of memory");
    av_samples_set_silence(silence->extended_data, 0, silence->nb_samples,
                           silence->ch_layout.nb_channels, static_cast<AVSampleFormat>(silence->format));
    ready_.push_back(std::move(silence));
}

void Decoder::pullDecoded()
{
    for (;;) {
        wstool::FramePtr f = wstool::makeFrame();
        const int err = avcodec_receive_frame(ctx_.get(), f.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return;
        if (err < 0) {
            damagedPacket();
            return;
        }
        if (f->nb_samples <= 0 || f->ch_layout.nb_channels <= 0 || f->sample_rate <= 0)
            continue;
        ++goodFrames_;
        if (!last_)
            last_ = wstool::makeFrame();
        last_->format = f->format;
        last_->sample_rate = f->sample_rate;
        last_->nb_samples = f->nb_samples;
        av_channel_layout_uninit(&last_->ch_layout);
        avCheck(av_channel_layout_copy(&last_->ch_layout, &f->ch_layout), "out of memory");
        ready_.push_back(std::move(f));
    }
}

void Decoder::send(const AVPacket *pkt)
{
    int err = avcodec_send_packet(ctx_.get(), pkt);
    // A decoder that still holds frames takes no packet: drain it and send
    // the packet again (one that keeps refusing it counts it damaged).
    for (int tries = 0; err == AVERROR(EAGAIN) && tries < 16; ++tries) {
        pullDecoded();
        err = avcodec_send_packet(ctx_.get(), pkt);
    }
    if (err < 0 && err != AVERROR_EOF)
        damagedPacket();
    pullDecoded();
}

bool Decoder::receive(AVFrame *frame)
{
    if (ready_.empty())
        return false;
    av_frame_unref(frame);
    av_frame_move_ref(frame, ready_.front().get());
    ready_.pop_front();
    return true;
}

FrameSource::FrameSource(Demuxer &dmx, Decoder &dec, bool ahead, size_t depth)
    : dmx_(dmx), dec_(dec), ahead_(ahead), depth_(std::max<size_t>(depth, 2)), pkt_(wstool::makePacket())
{
    if (ahead_)
        worker_ = std::thread([this] { work(); });
}

bool FrameSource::spareCore()
{
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores < 2)
        return false;
    double load = 0.0;
    std::ifstream in("/proc/loadavg");
    if (!(in >> load))
        return true;
    // This thread is one of the runnable ones; leave room for a second.
    return load < static_cast<double>(cores) - 0.5;
}

bool FrameSource::nextHere(AVFrame *frame)
{
    for (;;) {
        if (dec_.receive(frame))
            return true;
        if (flushed_)
            return false;
        if (dmx_.next(pkt_.get())) {
            dec_.send(pkt_.get());
            av_packet_unref(pkt_.get());
        } else {
            dec_.send(nullptr);
            flushed_ = true;
        }
    }
}

FrameSource::~FrameSource() { stop(); }

void FrameSource::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void FrameSource::work()
{
    try {
        auto pkt = wstool::makePacket();
        auto hand = [&]() -> bool {
            for (;;) {
                wstool::FramePtr f = wstool::makeFrame();
                if (!dec_.receive(f.get()))
                    return true;
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || queue_.size() < depth_; });
                if (stopping_)
                    return false;
                queue_.push_back(std::move(f));
                if (queue_.size() == depth_ / 2) // the consumer may be waiting for a batch
                    changed_.notify_all();
            }
        };
        bool more = true;
        while (more && dmx_.next(pkt.get())) {
            dec_.send(pkt.get());
            av_packet_unref(pkt.get());
            more = hand();
        }
        if (more) {
            dec_.send(nullptr);
            hand();
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    changed_.notify_all();
}

bool FrameSource::next(AVFrame *frame)
{
    if (!ahead_)
        return nextHere(frame);
    std::unique_lock<std::mutex> lock(mutex_);
    // Once the queue runs dry, wait for a batch of frames rather than for
    // each frame: the two threads then change turns seldom.
    if (queue_.empty())
        changed_.wait(lock, [&] { return done_ || queue_.size() >= depth_ / 2; });
    if (!queue_.empty()) {
        av_frame_unref(frame);
        av_frame_move_ref(frame, queue_.front().get());
        queue_.pop_front();
        if (queue_.size() == depth_ / 2) // the worker may be waiting for room
            changed_.notify_all();
        return true;
    }
    lock.unlock();
    stop();
    if (failure_)
        std::rethrow_exception(failure_);
    return false;
}

} // namespace tromvax
