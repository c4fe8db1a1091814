#include "Join.h"

#include "AacStreamHeaders.h"
#include "AtomicFile.h"
#include "Av.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sys/stat.h>

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
};

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
        info.samples += int64_t(h->rawBlocks) * 1024;
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

// RIFF WAVE holding the ADTS frames, format tag 0x1600 (MPEG-2/4 AAC in ADTS),
// written by libavformat's WAV muxer.
class RiffSink : public AdtsSink {
public:
    RiffSink(wstool::AtomicFile &file, const AdtsHeader &stream, int64_t bitRate) : path_(file.target())
    {
        static constexpr uint64_t kLayouts[8] = {0,
                                                 AV_CH_LAYOUT_MONO,
                                                 AV_CH_LAYOUT_STEREO,
                                                 AV_CH_LAYOUT_SURROUND,
                                                 AV_CH_LAYOUT_4POINT0,
                                                 AV_CH_LAYOUT_5POINT0_BACK,
                                                 AV_CH_LAYOUT_5POINT1_BACK,
                                                 AV_CH_LAYOUT_7POINT1_WIDE_BACK};
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
        av_channel_layout_from_mask(&par->ch_layout, kLayouts[stream.channelConfig]);
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
    if (adif && o.addRiff)
        throw ToolError("ADIF parts cannot be wrapped with -addriff (a wave header holds ADTS "
                        "frames); encode the parts without -adif");

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
        if (o.addRiff) {
            const int64_t bitRate =
                result.seconds > 0 ? int64_t(double(result.bytes) * 8 / result.seconds) : 0;
            sink = std::make_unique<RiffSink>(out, *adtsStream, bitRate);
        } else {
            sink = std::make_unique<PlainSink>(out);
        }
        for (size_t i = 0; i < infos.size(); ++i)
            copyAdtsFrames(i, infos[i].path, *sink);
        sink->finish();
    }
    const uint64_t outBytes = out.size();
    out.commit();
    log.line("Joined " + std::to_string(result.parts) + " parts into " + o.prefix + ": " +
             secondsText(result.seconds) + " s, " + std::to_string(outBytes) + " bytes");
    result.bytes = outBytes;
    return result;
}

} // namespace kardune
