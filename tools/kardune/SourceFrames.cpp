#include "SourceFrames.h"

#include <algorithm>
#include <cstring>

namespace kardune {

using wstool::ToolError;

namespace {

constexpr size_t kChunk = 1 << 16;

// AC3 bit rates in kbit/s, one for every two frame size codes.
constexpr int kAc3Rates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                               192, 224, 256, 320, 384, 448, 512, 576, 640};

constexpr int kMpegRates[2][3][15] = {
    // MPEG-1: layer 1, 2, 3
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    // MPEG-2 and 2.5
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

// Length of an ID3v2 tag at p (header, body and footer), 0 when none.
uint64_t id3v2Length(const uint8_t *p, size_t n)
{
    if (n < 10 || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF)
        return 0;
    for (int i = 6; i < 10; ++i)
        if (p[i] & 0x80)
            return 0;
    const uint64_t body = (uint64_t(p[6]) << 21) | (p[7] << 14) | (p[8] << 7) | p[9];
    return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

uint64_t readAt(std::FILE *f, uint64_t pos, uint8_t *dst, size_t n)
{
    if (std::fseek(f, long(pos), SEEK_SET) != 0)
        return 0;
    return std::fread(dst, 1, n, f);
}

} // namespace

std::optional<FrameHeader> parseAc3Header(const uint8_t *p, size_t n)
{
    if (n < 6 || p[0] != 0x0B || p[1] != 0x77)
        return std::nullopt;
    const int bsid = p[5] >> 3;
    const int fscod = p[4] >> 6;
    static constexpr int kBase[3] = {48000, 44100, 32000};
    FrameHeader h;
    if (bsid <= 10) {
        const int code = p[4] & 0x3F;
        if (fscod == 3 || code >= 38)
            return std::nullopt;
        const int kbps = kAc3Rates[code / 2];
        int words = 0;
        if (fscod == 0)
            words = 2 * kbps;
        else if (fscod == 2)
            words = 3 * kbps;
        else
            words = kbps * 96000 / 44100 + (code & 1);
        h.size = words * 2;
        h.samples = 1536;
        h.sampleRate = kBase[fscod] >> (bsid > 8 ? bsid - 8 : 0);
    } else if (bsid <= 16) {
        if ((p[2] >> 6) == 3) // stream type
            return std::nullopt;
        h.size = ((((p[2] & 7) << 8) | p[3]) + 1) * 2;
        if (fscod == 3) {
            const int fscod2 = (p[4] >> 4) & 3;
            if (fscod2 == 3)
                return std::nullopt;
            h.sampleRate = kBase[fscod2] / 2;
            h.samples = 1536;
        } else {
            static constexpr int kBlocks[4] = {1, 2, 3, 6};
            h.sampleRate = kBase[fscod];
            h.samples = 256 * kBlocks[(p[4] >> 4) & 3];
        }
        if (h.size < 6)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return h;
}

std::optional<FrameHeader> parseMpegAudioHeader(const uint8_t *p, size_t n)
{
    if (n < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (p[1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = 4 - ((p[1] >> 1) & 3); // 1..3 (4: reserved)
    const int rateIndex = p[2] >> 4;
    const int freqIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || freqIndex == 3)
        return std::nullopt; // rate index 0 is free format, which has no frame size
    static constexpr int kFreq[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    FrameHeader h;
    h.sampleRate = kFreq[freqIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int bitRate = kMpegRates[mpeg1 ? 0 : 1][layer - 1][rateIndex] * 1000;
    if (layer == 1) {
        h.samples = 384;
        h.size = (12 * bitRate / h.sampleRate + padding) * 4;
    } else if (layer == 2 || mpeg1) {
        h.samples = 1152;
        h.size = 144 * bitRate / h.sampleRate + padding;
    } else {
        h.samples = 576;
        h.size = 72 * bitRate / h.sampleRate + padding;
    }
    return h;
}

std::optional<FrameHeader> parseDtsHeader(const uint8_t *p, size_t n)
{
    if (n < 9 || p[0] != 0x7F || p[1] != 0xFE || p[2] != 0x80 || p[3] != 0x01)
        return std::nullopt;
    static constexpr int kRates[16] = {0, 8000, 16000, 32000, 0, 0, 11025, 22050, 44100, 0, 0, 12000, 24000, 48000, 0, 0};
    const int blocks = (((p[4] & 1) << 6) | (p[5] >> 2)) + 1;        // NBLKS + 1, 32 samples each
    const int size = (((p[5] & 3) << 12) | (p[6] << 4) | (p[7] >> 4)) + 1; // FSIZE + 1
    const int rate = kRates[(p[8] >> 2) & 0xF];
    if (blocks < 6 || size < 96 || rate == 0)
        return std::nullopt;
    FrameHeader h;
    h.size = size;
    h.samples = blocks * 32;
    h.sampleRate = rate;
    return h;
}

const char *kindName(StreamKind kind)
{
    switch (kind) {
    case StreamKind::Ac3:
        return "AC3";
    case StreamKind::MpegAudio:
        return "MPEG audio";
    case StreamKind::Dts:
        break;
    }
    return "DTS";
}

FrameScanner::FrameScanner(const std::string &path, StreamKind kind)
    : kind_(kind), path_(path), buf_(kChunk + AV_INPUT_BUFFER_PADDING_SIZE, 0)
{
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        throw ToolError("cannot open " + path + ": " + std::strerror(errno));
    if (std::fseek(file_, 0, SEEK_END) != 0)
        throw ToolError("cannot read " + path);
    fileSize_ = uint64_t(std::ftell(file_));
    payloadEnd_ = fileSize_;

    if (kind_ == StreamKind::MpegAudio) {
        // Tags are metadata, not frames: keep them out of the parser (a
        // picture inside a tag can look like frame headers).
        uint8_t head[10];
        for (;;) {
            const uint64_t n = readAt(file_, payloadBegin_, head, sizeof head);
            const uint64_t len = id3v2Length(head, n);
            if (len == 0 || payloadBegin_ + len > fileSize_)
                break;
            payloadBegin_ += len;
        }
        uint8_t tail[128];
        if (payloadEnd_ - payloadBegin_ >= 128 && readAt(file_, payloadEnd_ - 128, tail, 128) == 128 &&
            std::memcmp(tail, "TAG", 3) == 0)
            payloadEnd_ -= 128;
        uint8_t ape[32];
        if (payloadEnd_ - payloadBegin_ >= 32 && readAt(file_, payloadEnd_ - 32, ape, 32) == 32 &&
            std::memcmp(ape, "APETAGEX", 8) == 0) {
            uint64_t len = ape[12] | (ape[13] << 8) | (ape[14] << 16) | (uint64_t(ape[15]) << 24);
            if (ape[23] & 0x80) // a header precedes the items
                len += 32;
            if (len <= payloadEnd_ - payloadBegin_)
                payloadEnd_ -= len;
        }
    }
    readPos_ = payloadBegin_;
    std::fseek(file_, long(readPos_), SEEK_SET);

    const AVCodecID id = kind_ == StreamKind::Ac3 ? AV_CODEC_ID_AC3 : kind_ == StreamKind::Dts ? AV_CODEC_ID_DTS : AV_CODEC_ID_MP2;
    parser_.reset(av_parser_init(id));
    avctx_.reset(avcodec_alloc_context3(nullptr));
    if (!parser_ || !avctx_)
        throw ToolError("cannot set up the frame parser");
    avctx_->codec_id = kind_ == StreamKind::MpegAudio ? AV_CODEC_ID_NONE : id;
}

FrameScanner::~FrameScanner()
{
    if (file_)
        std::fclose(file_);
}

bool FrameScanner::fill()
{
    if (readPos_ >= payloadEnd_)
        return false;
    const size_t want = size_t(std::min<uint64_t>(kChunk, payloadEnd_ - readPos_));
    bufLen_ = std::fread(buf_.data(), 1, want, file_);
    if (bufLen_ == 0)
        throw ToolError("cannot read " + path_ + " past byte " + std::to_string(readPos_) + ": " +
                        std::strerror(std::ferror(file_) ? errno : EIO));
    std::memset(buf_.data() + bufLen_, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    bufPos_ = 0;
    readPos_ += bufLen_;
    return true;
}

bool FrameScanner::next(Frame &f)
{
    for (;;) {
        uint8_t *out = nullptr;
        int outSize = 0;
        bool last = false;
        if (bufPos_ < bufLen_) {
            const int used = av_parser_parse2(parser_.get(), avctx_.get(), &out, &outSize,
                                              buf_.data() + bufPos_, int(bufLen_ - bufPos_),
                                              AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            bufPos_ += size_t(std::max(used, 0));
        } else if (fill()) {
            continue;
        } else if (!flushed_) {
            // At the end the parser hands out whatever it still holds.
            av_parser_parse2(parser_.get(), avctx_.get(), &out, &outSize, nullptr, 0,
                             AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (outSize == 0)
                flushed_ = true;
            last = true;
        } else {
            return false;
        }
        if (outSize <= 0)
            continue;
        const uint64_t offset = payloadBegin_ + uint64_t(parser_->frame_offset);
        const bool found = examine(out, outSize, offset, last, f);
        if (junk_ > junkLimit())
            throw ToolError(path_ + " is damaged or holds no " +
                            kindName(kind_) + " (" +
                            std::to_string(junk_) + " bytes are no audio frames)");
        if (found)
            return true;
    }
}

// Checks one piece the parser cut: junk, then whole sync frames to its end.
bool FrameScanner::examine(const uint8_t *data, int size, uint64_t offset, bool last, Frame &f)
{
    auto header = [this](const uint8_t *p, size_t n) {
        return kind_ == StreamKind::Ac3 ? parseAc3Header(p, n)
               : kind_ == StreamKind::Dts ? parseDtsHeader(p, n)
                                          : parseMpegAudioHeader(p, n);
    };
    // The start of a frame that the source cuts short: a header whose frame
    // is longer than the bytes left, or fewer bytes than a header that begin
    // with the sync word.
    const auto cutShort = [&](const uint8_t *p, int n) {
        if (const auto h = header(p, size_t(n)))
            return h->size > n;
        static constexpr uint8_t kDtsSync[4] = {0x7F, 0xFE, 0x80, 0x01};
        if (kind_ == StreamKind::Dts)
            return n < 9 && std::memcmp(p, kDtsSync, size_t(std::min(n, 4))) == 0;
        return n < 6 && (kind_ == StreamKind::Ac3 ? p[0] == 0x0B && (n < 2 || p[1] == 0x77)
                                                  : p[0] == 0xFF && (n < 2 || (p[1] & 0xE0) == 0xE0));
    };
    for (int start = 0; start < size; ++start) {
        const auto first = header(data + start, size_t(size - start));
        if (!first)
            continue;
        int pos = start;
        while (pos < size) {
            const auto h = header(data + pos, size_t(size - pos));
            if (!h)
                break;
            if (pos + h->size > size)
                break;
            pos += h->size;
        }
        // The source ends inside a frame: the whole frames before it count,
        // the rest is left out.
        if (last && pos < size && pos > start && cutShort(data + pos, size - pos)) {
            cutAt_ = offset + uint64_t(pos);
            cutBytes_ = uint64_t(size - pos);
            size = pos;
        } else if (last && pos == start && first->size > size - start) {
            junk_ += uint64_t(start);
            cutAt_ = offset + uint64_t(start);
            cutBytes_ = uint64_t(size - start);
            return false;
        }
        if (pos != size)
            continue;
        junk_ += uint64_t(start);
        ++frames_;
        f.offset = offset;
        f.size = uint32_t(size);
        f.samples = first->samples;
        f.sampleRate = first->sampleRate;
        return true;
    }
    if (last && size > 0 && cutShort(data, size)) {
        cutAt_ = offset;
        cutBytes_ = uint64_t(size);
        return false;
    }
    junk_ += uint64_t(size);
    return false;
}

} // namespace kardune
