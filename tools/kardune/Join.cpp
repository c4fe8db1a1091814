#include "Join.h"

#include "AacStreamHeaders.h"
#include "AtomicFile.h"
#include "Av.h"
#include "Chapters.h"
#include "PartLength.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/bsf.h>
}

namespace kardune {

using wstool::AdifHeader;
using wstool::AdtsHeader;
using wstool::ToolError;
using wstool::secondsText;

namespace {

// Parts larger than this are joined without the decode check (it needs the
// whole part in memory).
constexpr uint64_t kDecodeCheckLimit = 32u << 20;

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

FilePtr openRead(const std::string &path)
{
    return FilePtr(std::fopen(path.c_str(), "rb"), &std::fclose);
}

uint64_t sizeOf(std::FILE *f)
{
    struct stat st;
    return ::fstat(fileno(f), &st) == 0 ? uint64_t(st.st_size) : 0;
}

struct PartInfo {
    std::string path;
    uint64_t bytes = 0;
    int64_t samples = -1; // -1: not known (ADIF part too large to check)
    int sampleRate = 0;
    uint64_t payloadOffset = 0; // ADIF: where the raw data blocks begin
    bool oneBlockFrames = true; // ADTS: every frame holds one raw data block
};

constexpr int64_t kFrame = 1024;

// " cannot be read past byte N: reason", after a read of `f` failed.
std::string readFailure(std::FILE *f)
{
    const int err = errno;
    return " cannot be read past byte " + std::to_string(::ftello(f)) + ": " + std::strerror(err);
}

std::string partLabel(size_t index, const std::string &path)
{
    return "part " + std::to_string(index + 1) + " (" + path + ")";
}

// ---- ADTS ----

// Checks that a part is nothing but whole ADTS frames of the same stream.
PartInfo scanAdts(size_t index, const std::string &path, std::optional<AdtsHeader> &stream)
{
    FilePtr f = openRead(path);
    if (!f)
        throw ToolError(partLabel(index, path) + " cannot be read: " + std::strerror(errno));
    PartInfo info{path, sizeOf(f.get()), 0, 0, 0};
    uint8_t head[9];
    for (uint64_t pos = 0; pos < info.bytes;) {
        const size_t n = std::fread(head, 1, sizeof head, f.get());
        const auto h = wstool::parseAdtsHeader(head, n);
        if (!h)
            throw ToolError(partLabel(index, path) + " is damaged: no ADTS frame at byte " +
                            std::to_string(pos));
        if (pos + uint64_t(h->frameSize) > info.bytes)
            throw ToolError(partLabel(index, path) + " is damaged: it ends inside a frame");
        if (!stream)
            stream = h;
        else if (!stream->sameStream(*h))
            throw ToolError(partLabel(index, path) +
                            " does not match the first part (profile, sample rate or channels differ)");
        info.samples += int64_t(h->rawBlocks) * kFrame;
        info.oneBlockFrames = info.oneBlockFrames && h->rawBlocks == 1;
        pos += uint64_t(h->frameSize);
        if (std::fseek(f.get(), long(pos), SEEK_SET) != 0)
            throw ToolError(partLabel(index, path) + " cannot be read");
    }
    if (info.bytes == 0)
        throw ToolError(partLabel(index, path) + " is empty");
    info.sampleRate = stream->sampleRate();
    return info;
}

// Receives the joined frames.
class AdtsSink {
public:
    virtual ~AdtsSink() = default;
    virtual void frame(const uint8_t *data, int size, int samples) = 0;
    virtual void finish() = 0;
};

class PlainSink : public AdtsSink {
public:
    explicit PlainSink(wstool::AtomicFile &file) : path_(file.target()), f_(file.stream()) {}
    void frame(const uint8_t *data, int size, int) override
    {
        if (std::fwrite(data, 1, size_t(size), f_.get()) != size_t(size))
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
    }
    void finish() override
    {
        std::FILE *f = f_.release();
        if (std::fclose(f) != 0)
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
    }

private:
    std::string path_;
    wstool::StreamPtr f_;
};

// The channel layout of an ADTS channel configuration (1 ... 7).
uint64_t layoutOf(int channelConfig)
{
    static constexpr uint64_t kLayouts[8] = {0,
                                             AV_CH_LAYOUT_MONO,
                                             AV_CH_LAYOUT_STEREO,
                                             AV_CH_LAYOUT_SURROUND,
                                             AV_CH_LAYOUT_4POINT0,
                                             AV_CH_LAYOUT_5POINT0_BACK,
                                             AV_CH_LAYOUT_5POINT1_BACK,
                                             AV_CH_LAYOUT_7POINT1_WIDE_BACK};
    return kLayouts[channelConfig & 7];
}

// RIFF WAVE holding the ADTS frames, format tag 0x1600 (MPEG-2/4 AAC in ADTS),
// written by libavformat's WAV muxer.
class RiffSink : public AdtsSink {
public:
    RiffSink(wstool::AtomicFile &file, const AdtsHeader &stream, int64_t bitRate) : path_(file.target())
    {
        if (stream.channelConfig == 0)
            throw ToolError("-addriff needs parts with a standard channel configuration");
        rate_ = stream.sampleRate();
        out_ = wstool::openMuxer("wav", file);
        out_->flags |= AVFMT_FLAG_BITEXACT;
        AVStream *st = avformat_new_stream(out_.get(), nullptr);
        if (!st)
            throw ToolError("out of memory");
        AVCodecParameters *par = st->codecpar;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_AAC;
        par->codec_tag = 0x1600;
        par->sample_rate = rate_;
        par->frame_size = 1024;
        par->bit_rate = bitRate;
        av_channel_layout_from_mask(&par->ch_layout, layoutOf(stream.channelConfig));
        st->time_base = AVRational{1, rate_};
        wstool::avCheck(avformat_write_header(out_.get(), nullptr), "cannot write " + path_);
        st_ = st;
        pkt_ = wstool::makePacket();
    }
    void frame(const uint8_t *data, int size, int samples) override
    {
        pkt_->data = const_cast<uint8_t *>(data);
        pkt_->size = size;
        pkt_->stream_index = 0;
        pkt_->pts = pkt_->dts = av_rescale_q(written_, AVRational{1, rate_}, st_->time_base);
        pkt_->duration = av_rescale_q(samples, AVRational{1, rate_}, st_->time_base);
        wstool::avCheck(av_write_frame(out_.get(), pkt_.get()), "cannot write " + path_);
        written_ += samples;
    }
    void finish() override
    {
        wstool::finishOutput(out_.get(), path_);
    }

private:
    std::string path_;
    wstool::OutputFormatPtr out_;
    AVStream *st_ = nullptr;
    wstool::PacketPtr pkt_;
    int rate_ = 0;
    int64_t written_ = 0;
};

// ---- MPEG-4 audio ----

// Where the audio lies in the joined stream's frames: `priming` samples of
// encoder delay before it, `padding` after it.
struct Timeline {
    int64_t frames = 0;
    int64_t priming = 0;
    int64_t length = 0;
    int64_t padding = 0;
};

// The timeline from the parts' length notes. A part without a note that fits
// it counts whole frames (the first part's first frame as priming, which is
// FFmpeg's encoder's delay); the log says so.
Timeline timelineOf(const std::vector<PartInfo> &infos, wstool::ToolLog &log)
{
    Timeline t;
    int64_t own = 0;
    for (size_t i = 0; i < infos.size(); ++i) {
        const PartInfo &p = infos[i];
        std::optional<wstool::PartLength> n = wstool::readLengthNote(wstool::lengthNotePath(p.path));
        const int64_t rest = n ? p.samples - n->priming - n->samples : -1;
        if (!n || n->bytes != p.bytes || n->rate != p.sampleRate || rest < 0 || rest >= kFrame) {
            log.line("Note: " + partLabel(i, p.path) +
                     " has no length note that fits it; it counts in whole frames (up to 1023 samples of "
                     "padding may stay at the end)");
            const int64_t priming = i == 0 ? std::min(kFrame, p.samples) : 0;
            n = wstool::PartLength{p.samples - priming, priming, p.sampleRate, p.bytes};
        }
        if (i == 0)
            t.priming = n->priming;
        t.padding = p.samples - n->priming - n->samples;
        t.frames += p.samples / kFrame;
        own += n->samples;
    }
    t.length = t.frames * kFrame - t.priming - t.padding;
    if (t.length <= 0)
        throw ToolError("the parts hold no audio");
    if (t.length != own)
        log.line("Note: the parts' frames hold " + std::to_string(t.length - own) +
                 " samples besides their own audio (a part encoded on its own keeps its priming and padding)");
    return t;
}

// The iTunSMPB comment: priming, padding and length in hexadecimal, in the
// form iTunes writes.
std::string gaplessComment(const Timeline &t)
{
    char head[64];
    std::snprintf(head, sizeof head, " 00000000 %08X %08X %016llX", unsigned(t.priming), unsigned(t.padding),
                  static_cast<unsigned long long>(t.length));
    std::string text = head;
    for (int i = 0; i < 8; ++i)
        text += " 00000000";
    return text;
}

void putBox32(std::string &b, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        b += char((v >> shift) & 0xFF);
}

// An iTunes metadata item: a string item (the muxer's form of a tag such as
// "\251lyr") or a free-form one ("----", with its mean and name).
std::string stringItem(const char *type, const std::string &value)
{
    std::string b;
    putBox32(b, uint32_t(24 + value.size()));
    b += type;
    putBox32(b, uint32_t(16 + value.size()));
    b += "data";
    putBox32(b, 1); // UTF-8 text
    putBox32(b, 0); // no locale
    return b + value;
}

std::string freeformItem(const std::string &name, const std::string &value)
{
    std::string mean, nameBox;
    putBox32(mean, 28);
    mean += std::string("mean", 4) + std::string(4, '\0') + "com.apple.iTunes";
    putBox32(nameBox, uint32_t(12 + name.size()));
    nameBox += std::string("name", 4) + std::string(4, '\0') + name;
    std::string data = stringItem("----", value).substr(8);
    std::string b;
    putBox32(b, uint32_t(8 + mean.size() + nameBox.size() + data.size()));
    return b + "----" + mean + nameBox + data;
}

// libavformat 5.1 writes no free-form items, and players read iTunSMPB only
// from one. The muxer writes a string item of the same size as a stand-in
// (the lyrics tag, which this file has no other use for), which is
// overwritten in place afterwards: no box changes size, no offset moves.
constexpr char kStandInType[] = "\251lyr";
constexpr char kStandInKey[] = "lyrics";

std::string standInValue(size_t itemSize)
{
    std::string v = "wavesmithy: iTunSMPB follows";
    v.resize(itemSize - 24, '.');
    return v;
}

// The box of `type` among the boxes in [from, to) of `b`: its offset and size.
std::optional<std::pair<size_t, size_t>> childBox(const std::string &b, size_t from, size_t to, const char *type)
{
    while (from + 8 <= to) {
        const auto byte = [&](size_t k) { return uint32_t(uint8_t(b[from + k])); };
        const size_t size = size_t(byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3));
        if (size < 8 || size > to - from)
            return std::nullopt;
        if (b.compare(from + 4, 4, type, 4) == 0)
            return std::make_pair(from, size);
        from += size;
    }
    return std::nullopt;
}

void writeGaplessComment(int fd, const std::string &path, const std::string &item)
{
    const std::string failed = "cannot write the iTunSMPB comment into " + path;
    // The moov box, at the front behind ftyp.
    uint64_t at = 0;
    std::string moov;
    for (int box = 0; box < 4 && moov.empty(); ++box) {
        uint8_t h[8];
        if (::pread(fd, h, 8, off_t(at)) != 8)
            break;
        const uint64_t size = uint64_t(h[0]) << 24 | uint64_t(h[1]) << 16 | uint64_t(h[2]) << 8 | h[3];
        if (std::memcmp(h + 4, "moov", 4) == 0 && size >= 8 && size <= (1u << 30)) {
            moov.resize(size_t(size));
            if (::pread(fd, moov.data(), moov.size(), off_t(at)) != ssize_t(moov.size()))
                throw ToolError(failed + ": " + std::strerror(errno));
        }
        if (size < 8)
            break;
        if (moov.empty())
            at += size;
    }
    // moov/udta/meta (a full box: 4 bytes of version and flags)/ilst/stand-in
    auto udta = moov.empty() ? std::nullopt : childBox(moov, 8, moov.size(), "udta");
    auto meta = udta ? childBox(moov, udta->first + 8, udta->first + udta->second, "meta") : std::nullopt;
    auto ilst = meta ? childBox(moov, meta->first + 12, meta->first + meta->second, "ilst") : std::nullopt;
    auto standIn = ilst ? childBox(moov, ilst->first + 8, ilst->first + ilst->second, kStandInType) : std::nullopt;
    if (!standIn || moov.compare(standIn->first, standIn->second,
                                 stringItem(kStandInType, standInValue(item.size()))) != 0)
        throw ToolError(failed + ": the muxer's tags are not where they were expected");
    if (::pwrite(fd, item.data(), item.size(), off_t(at + standIn->first)) != ssize_t(item.size()))
        throw ToolError(failed + ": " + std::strerror(errno));
}

// MPEG-4 audio (.m4a) written by libavformat's MP4 muxer in its iPod flavour
// (brand "M4A ", which Apple's players and most others take as audio), the
// ADTS headers turned into the track's AudioSpecificConfig by the
// aac_adtstoasc bitstream filter. The moov box goes to the front (faststart).
// The first frame starts `priming` samples before the audio, so the muxer
// writes an edit list that skips them; the last frame lasts only up to the
// end of the audio, which ends the edit there. The iTunSMPB comment says the
// same for players that read it. Chapters go into the muxer before its
// header; it writes them as a QuickTime chapter track (a text track the audio
// track refers to) and as a Nero chpl box, which leave the audio track's
// edit list and the tags alone.
class M4aSink : public AdtsSink {
public:
    M4aSink(wstool::AtomicFile &file, const AdtsHeader &stream, const Timeline &t, int64_t bitRate,
            const Options &o, const std::vector<FittedChapter> &chapters)
        : file_(file), path_(file.target()), timeline_(t), rate_(stream.sampleRate())
    {
        if (stream.channelConfig == 0)
            throw ToolError("an .m4a output needs parts with a standard channel configuration");
        const AVBitStreamFilter *filter = av_bsf_get_by_name("aac_adtstoasc");
        AVBSFContext *bsf = nullptr;
        if (!filter)
            throw ToolError("FFmpeg's aac_adtstoasc bitstream filter is not available");
        wstool::avCheck(av_bsf_alloc(filter, &bsf), "out of memory");
        bsf_.reset(bsf);
        bsf->par_in->codec_type = AVMEDIA_TYPE_AUDIO;
        bsf->par_in->codec_id = AV_CODEC_ID_AAC;
        bsf->par_in->sample_rate = rate_;
        bsf->time_base_in = AVRational{1, rate_};
        wstool::avCheck(av_bsf_init(bsf), "cannot start the aac_adtstoasc filter");

        out_ = wstool::openMuxer("ipod", file);
        st_ = avformat_new_stream(out_.get(), nullptr);
        if (!st_)
            throw ToolError("out of memory");
        AVCodecParameters *par = st_->codecpar;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_AAC;
        par->sample_rate = rate_;
        par->frame_size = int(kFrame);
        par->bit_rate = bitRate;
        // As FFmpeg's encoder hands them on; the MP4 muxer of FFmpeg 5.1
        // takes its edit list from the time stamps alone.
        par->initial_padding = int(t.priming);
        par->trailing_padding = int(t.padding);
        av_channel_layout_from_mask(&par->ch_layout, layoutOf(stream.channelConfig));
        st_->time_base = AVRational{1, rate_};
        av_dict_set(&out_->metadata, "encoding_tool", wstool::versionText("Wavesmithy").c_str(), 0);
        if (!o.title.empty())
            av_dict_set(&out_->metadata, "title", o.title.c_str(), 0);
        item_ = freeformItem("iTunSMPB", gaplessComment(t));
        av_dict_set(&out_->metadata, kStandInKey, standInValue(item_.size()).c_str(), 0);
        if (!o.language.empty())
            av_dict_set(&st_->metadata, "language", o.language.c_str(), 0);
        addChapters(out_.get(), chapters, rate_);
        in_ = wstool::makePacket();
        pkt_ = wstool::makePacket();
    }

    void frame(const uint8_t *data, int size, int) override
    {
        wstool::avCheck(av_new_packet(in_.get(), size), "out of memory");
        std::memcpy(in_->data, data, size_t(size));
        // Frame n decodes to samples [n * 1024 - priming, (n + 1) * 1024 - priming) of the audio.
        in_->pts = in_->dts = frames_ * kFrame - timeline_.priming;
        in_->duration = ++frames_ == timeline_.frames ? kFrame - timeline_.padding : kFrame;
        const std::string damaged = "cannot write " + path_ + ": frame " + std::to_string(frames_);
        wstool::avCheck(av_bsf_send_packet(bsf_.get(), in_.get()), damaged);
        for (int err; (err = av_bsf_receive_packet(bsf_.get(), pkt_.get())) != AVERROR(EAGAIN);) {
            wstool::avCheck(err, damaged);
            write();
        }
    }

    void finish() override
    {
        if (!started_ || frames_ != timeline_.frames)
            throw ToolError("cannot write " + path_ + ": the parts changed while they were being joined");
        wstool::finishOutput(out_.get(), path_);
        writeGaplessComment(file_.fd(), path_, item_);
    }

private:
    struct BsfDeleter {
        void operator()(AVBSFContext *c) const { av_bsf_free(&c); }
    };

    void write()
    {
        if (!started_) {
            // The filter hands the AudioSpecificConfig on with the first frame.
            size_t size = 0;
            const uint8_t *asc = av_packet_get_side_data(pkt_.get(), AV_PKT_DATA_NEW_EXTRADATA, &size);
            if (!asc && bsf_->par_out->extradata) {
                asc = bsf_->par_out->extradata;
                size = size_t(bsf_->par_out->extradata_size);
            }
            if (!asc || size == 0)
                throw ToolError("cannot write " + path_ + ": the first frame gave no stream configuration");
            AVCodecParameters *par = st_->codecpar;
            par->extradata = static_cast<uint8_t *>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!par->extradata)
                throw ToolError("out of memory");
            std::memcpy(par->extradata, asc, size);
            par->extradata_size = int(size);
            AVDictionary *options = nullptr;
            av_dict_set(&options, "movflags", "+faststart", 0);
            // Edit list and durations in samples, not in milliseconds.
            av_dict_set_int(&options, "movie_timescale", rate_, 0);
            const int err = avformat_write_header(out_.get(), &options);
            av_dict_free(&options);
            wstool::avCheck(err, "cannot write " + path_);
            started_ = true;
        }
        av_packet_free_side_data(pkt_.get());
        av_packet_rescale_ts(pkt_.get(), AVRational{1, rate_}, st_->time_base);
        pkt_->stream_index = 0;
        const int err = av_write_frame(out_.get(), pkt_.get());
        av_packet_unref(pkt_.get());
        wstool::avCheck(err, "cannot write " + path_);
    }

    wstool::AtomicFile &file_;
    std::string path_;
    Timeline timeline_;
    int rate_ = 0;
    std::unique_ptr<AVBSFContext, BsfDeleter> bsf_;
    wstool::OutputFormatPtr out_;
    AVStream *st_ = nullptr;
    wstool::PacketPtr in_, pkt_;
    std::string item_;
    int64_t frames_ = 0;
    bool started_ = false;
};

void copyAdtsFrames(size_t index, const std::string &path, AdtsSink &sink)
{
    FilePtr f = openRead(path);
    if (!f)
        throw ToolError(partLabel(index, path) + " cannot be read: " + std::strerror(errno));
    std::vector<uint8_t> frame(1 << 13); // the 13-bit frame length caps a frame at 8191 bytes
    for (;;) {
        const size_t n = std::fread(frame.data(), 1, 7, f.get());
        if (n == 0)
            return;
        const auto h = wstool::parseAdtsHeader(frame.data(), n);
        if (!h || std::fread(frame.data() + 7, 1, size_t(h->frameSize - 7), f.get()) != size_t(h->frameSize - 7))
            throw ToolError(partLabel(index, path) +
                            (std::ferror(f.get()) ? readFailure(f.get()) : " changed while it was being joined"));
        sink.frame(frame.data(), h->frameSize, h->rawBlocks * 1024);
    }
}

// ---- ADIF ----

// Decodes the raw data blocks of an ADIF part to prove them whole; returns
// the number of samples per channel.
int64_t decodeAdifPayload(size_t index, const std::string &path, const wstool::ProgramConfig &pce,
                          std::FILE *f, uint64_t bytes)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    wstool::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!codec || !ctx)
        throw ToolError("no AAC decoder available");
    const std::vector<uint8_t> asc = wstool::audioSpecificConfig(pce);
    ctx->extradata = static_cast<uint8_t *>(av_mallocz(asc.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!ctx->extradata)
        throw ToolError("out of memory");
    std::memcpy(ctx->extradata, asc.data(), asc.size());
    ctx->extradata_size = int(asc.size());
    const std::string damaged = partLabel(index, path) + " is damaged";
    wstool::avCheck(avcodec_open2(ctx.get(), codec, nullptr), damaged);

    wstool::PacketPtr pkt = wstool::makePacket();
    wstool::avCheck(av_new_packet(pkt.get(), int(bytes)), "out of memory");
    if (std::fread(pkt->data, 1, size_t(bytes), f) != bytes)
        throw ToolError(partLabel(index, path) + " cannot be read");
    // One packet holds every raw data block; the decoder takes them one by one.
    wstool::avCheck(avcodec_send_packet(ctx.get(), pkt.get()), damaged);
    wstool::FramePtr frame = wstool::makeFrame();
    int64_t samples = 0;
    bool draining = false;
    for (;;) {
        const int err = avcodec_receive_frame(ctx.get(), frame.get());
        if (err == AVERROR(EAGAIN) && !draining) {
            draining = true;
            wstool::avCheck(avcodec_send_packet(ctx.get(), nullptr), damaged);
            continue;
        }
        if (err == AVERROR_EOF)
            break;
        wstool::avCheck(err, damaged);
        samples += frame->nb_samples;
    }
    return samples;
}

PartInfo scanAdif(size_t index, const std::string &path, std::optional<AdifHeader> &first,
                  wstool::ToolLog &log)
{
    FilePtr f = openRead(path);
    if (!f)
        throw ToolError(partLabel(index, path) + " cannot be read: " + std::strerror(errno));
    PartInfo info{path, sizeOf(f.get()), -1, 0, 0};
    std::vector<uint8_t> head(size_t(std::min<uint64_t>(info.bytes, 1 << 16)));
    const size_t n = std::fread(head.data(), 1, head.size(), f.get());
    const auto h = wstool::parseAdifHeader(head.data(), n);
    if (!h)
        throw ToolError(partLabel(index, path) + " is damaged: no valid ADIF header");
    if (!first) {
        first = h;
    } else {
        bool same = first->programs.size() == h->programs.size() && first->variableRate == h->variableRate;
        for (size_t i = 0; same && i < h->programs.size(); ++i)
            same = first->programs[i].config.sameLayout(h->programs[i].config);
        if (!same)
            throw ToolError(partLabel(index, path) +
                            " does not match the first part (profile, sample rate or channels differ)");
        first->bitrate = std::max(first->bitrate, h->bitrate);
    }
    info.payloadOffset = h->size;
    const uint64_t payload = info.bytes - h->size;
    if (payload == 0)
        throw ToolError(partLabel(index, path) + " holds no audio");
    const wstool::ProgramConfig &pce = h->programs.front().config;
    info.sampleRate = wstool::aacSampleRate(pce.sampleRateIndex);
    if (payload <= kDecodeCheckLimit) {
        std::fseek(f.get(), long(h->size), SEEK_SET);
        info.samples = decodeAdifPayload(index, path, pce, f.get(), payload);
        if (info.samples == 0)
            throw ToolError(partLabel(index, path) + " is damaged: it decodes to nothing");
    } else {
        log.line("Note: " + partLabel(index, path) + " is too large to be checked by decoding");
    }
    return info;
}

void copyTail(const std::string &path, uint64_t from, std::FILE *out, const std::string &outPath)
{
    FilePtr f = openRead(path);
    if (!f || std::fseek(f.get(), long(from), SEEK_SET) != 0)
        throw ToolError(path + " cannot be read");
    std::vector<char> buf(1 << 20);
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0)
        if (std::fwrite(buf.data(), 1, n, out) != n)
            throw ToolError("cannot write " + outPath + ": " + std::strerror(errno));
    if (std::ferror(f.get()))
        throw ToolError(path + readFailure(f.get()));
}

void logPart(wstool::ToolLog &log, size_t index, const PartInfo &p)
{
    const std::string length =
        p.samples >= 0 ? secondsText(double(p.samples) / p.sampleRate) + " s" : "length unknown";
    log.line("Part " + partNumber(int(index) + 1) + ": " + p.path + ", " + length + ", " +
             std::to_string(p.bytes) + " bytes");
}

} // namespace

std::vector<std::string> readPartList(const std::string &listPath)
{
    std::ifstream in(listPath, std::ios::binary);
    if (!in)
        throw ToolError("cannot read the list " + listPath + ": " + std::strerror(errno));
    std::vector<std::string> parts;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos)
            parts.push_back(line);
    }
    return parts;
}

JoinResult join(const Options &o, wstool::ToolLog &log)
{
    const std::vector<std::string> paths = readPartList(o.input);
    if (paths.empty())
        throw ToolError("the list " + o.input + " names no parts");
    for (size_t i = 0; i < paths.size(); ++i) {
        struct stat st;
        if (::stat(paths[i].c_str(), &st) != 0)
            throw ToolError(partLabel(i, paths[i]) + " is missing");
    }
    uint8_t magic[4] = {};
    {
        FilePtr f = openRead(paths[0]);
        if (!f || std::fread(magic, 1, 4, f.get()) != 4)
            throw ToolError(partLabel(0, paths[0]) + " is empty or cannot be read");
    }
    const bool adif = std::memcmp(magic, "ADIF", 4) == 0;
    const bool m4a = isM4a(o.prefix);
    if (adif && o.addRiff)
        throw ToolError("ADIF parts cannot be wrapped with -addriff (a wave header holds ADTS "
                        "frames); encode the parts without -adif");
    if (adif && m4a)
        throw ToolError("ADIF parts cannot be written into an .m4a file (it takes ADTS parts); encode the parts "
                        "without -adif");
    if (!m4a && (!o.title.empty() || !o.language.empty()))
        log.line("Note: -title and -language are kept only in an .m4a output; " + o.prefix + " has no tags");
    std::vector<ChapterMark> marks;
    if (!o.chapters.empty()) {
        if (m4a)
            marks = readChapterFile(o.chapters, log);
        else
            log.line("Note: chapters (-chapters) are kept only in an .m4a output; " + o.prefix + " has none");
    }

    // First every part is checked, then the output is written.
    std::vector<PartInfo> infos;
    JoinResult result;
    std::optional<AdtsHeader> adtsStream;
    std::optional<AdifHeader> adifHeader;
    for (size_t i = 0; i < paths.size(); ++i) {
        infos.push_back(adif ? scanAdif(i, paths[i], adifHeader, log) : scanAdts(i, paths[i], adtsStream));
        logPart(log, i, infos.back());
        result.bytes += infos.back().bytes;
        if (infos.back().samples > 0)
            result.seconds += double(infos.back().samples) / infos.back().sampleRate;
    }
    result.parts = int(infos.size());
    std::optional<Timeline> timeline;
    std::vector<FittedChapter> chapters;
    if (m4a) {
        for (size_t i = 0; i < infos.size(); ++i)
            if (!infos[i].oneBlockFrames)
                throw ToolError(partLabel(i, infos[i].path) +
                                " holds ADTS frames of several raw data blocks; an .m4a file takes one a frame");
        timeline = timelineOf(infos, log);
        result.seconds = double(timeline->length) / infos[0].sampleRate;
        if (!marks.empty()) {
            int dropped = 0;
            chapters = fitChapters(marks, infos[0].sampleRate, timeline->length, &dropped);
            log.line("Chapters: " + std::to_string(chapters.size()) + " from " + o.chapters);
            if (dropped > 0)
                log.line("Note: " + std::to_string(dropped) + " of the chapters in " + o.chapters +
                         " start at or past the end of the audio, or at the same time as a later one; left out");
        }
    }

    wstool::AtomicFile out(o.prefix);
    if (adif) {
        wstool::StreamPtr f = out.stream();
        const std::vector<uint8_t> header = wstool::writeAdifHeader(*adifHeader);
        if (std::fwrite(header.data(), 1, header.size(), f.get()) != header.size())
            throw ToolError("cannot write " + o.prefix + ": " + std::strerror(errno));
        for (const PartInfo &p : infos)
            copyTail(p.path, p.payloadOffset, f.get(), o.prefix);
        if (std::fclose(f.release()) != 0)
            throw ToolError("cannot write " + o.prefix + ": " + std::strerror(errno));
    } else {
        std::unique_ptr<AdtsSink> sink;
        const int64_t bitRate = result.seconds > 0 ? int64_t(double(result.bytes) * 8 / result.seconds) : 0;
        if (o.addRiff) {
            sink = std::make_unique<RiffSink>(out, *adtsStream, bitRate);
        } else if (timeline) {
            sink = std::make_unique<M4aSink>(out, *adtsStream, *timeline, bitRate, o, chapters);
        } else {
            sink = std::make_unique<PlainSink>(out);
        }
        for (size_t i = 0; i < infos.size(); ++i)
            copyAdtsFrames(i, infos[i].path, *sink);
        sink->finish();
    }
    const uint64_t outBytes = out.size();
    out.commit();
    // The parts' length notes are used up, as the decoder uses up the span
    // notes; a failed join leaves them for the next try.
    for (const std::string &p : paths)
        std::remove(wstool::lengthNotePath(p).c_str());
    if (timeline)
        log.line("MPEG-4 audio: " + std::to_string(timeline->length) + " samples at " +
                 std::to_string(infos[0].sampleRate) + " Hz after " + std::to_string(timeline->priming) +
                 " samples of priming, " + std::to_string(timeline->padding) + " of padding at the end");
    log.line("Joined " + std::to_string(result.parts) + " parts into " + o.prefix + ": " +
             secondsText(result.seconds) + " s, " + std::to_string(outBytes) + " bytes");
    result.bytes = outBytes;
    return result;
}

} // namespace kardune
