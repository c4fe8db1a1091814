// Frames of compressed audio sources (AC3/E-AC3, MPEG audio, DTS), found with
// libavcodec's parsers and checked against their own headers.
#pragma once

#include "Av.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kardune {

struct FrameHeader {
    int size = 0;       // bytes of this sync frame
    int samples = 0;    // samples per channel it decodes to
    int sampleRate = 0;
};

// Reads a sync frame header at p; nothing when p holds no valid header.
std::optional<FrameHeader> parseAc3Header(const uint8_t *p, size_t n);
std::optional<FrameHeader> parseMpegAudioHeader(const uint8_t *p, size_t n);
// The core frame header of DTS as DVDs carry it (16-bit words, big-endian).
std::optional<FrameHeader> parseDtsHeader(const uint8_t *p, size_t n);

enum class StreamKind { Ac3, MpegAudio, Dts };

// "AC3", "MPEG audio", "DTS", for messages.
const char *kindName(StreamKind kind);

// Walks the frames of a compressed audio file. The parser decides where each
// frame begins; every frame is checked against its header, bytes that are no
// frame are counted as junk, and a last frame cut short (a source cut at an
// arbitrary byte, as a disc cuts its VOB files) ends the frames: its bytes
// are counted in cutBytes() and belong to no part. Leading
// ID3v2 and trailing ID3v1/APE tags of MPEG audio are not parsed: they belong
// to the first and the last part.
class FrameScanner {
public:
    FrameScanner(const std::string &path, StreamKind kind);
    ~FrameScanner();
    FrameScanner(const FrameScanner &) = delete;
    FrameScanner &operator=(const FrameScanner &) = delete;

    struct Frame {
        uint64_t offset = 0; // where the frame starts in the file
        uint32_t size = 0;   // including any junk right before it (MPEG audio)
        int samples = 0;
        int sampleRate = 0;
        double seconds() const { return double(samples) / sampleRate; }
    };
    // The next frame, or false at the end of the file. Throws ToolError when
    // the file holds too much that is not audio.
    bool next(Frame &f);

    uint64_t fileSize() const { return fileSize_; }
    uint64_t junkBytes() const { return junk_; }
    uint64_t framesSeen() const { return frames_; }
    // A last frame cut short: where its bytes begin and how many there are
    // (0 when the source ends on a whole frame). Valid at the end.
    uint64_t cutAt() const { return cutAt_; }
    uint64_t cutBytes() const { return cutBytes_; }
    // Where the bytes after the last whole frame that the parts keep (tags)
    // begin: the end of the payload when a frame was cut short.
    uint64_t payloadEnd() const { return payloadEnd_; }
    // Junk allowed before the source counts as damaged: a partial frame or
    // two at the edges, and 1% of the rest.
    uint64_t junkLimit() const { return 4096 + (payloadEnd_ - payloadBegin_) / 100; }

private:
    bool fill();
    bool examine(const uint8_t *data, int size, uint64_t offset, bool last, Frame &f);

    StreamKind kind_;
    std::string path_;
    std::FILE *file_ = nullptr;
    uint64_t fileSize_ = 0;
    uint64_t payloadBegin_ = 0, payloadEnd_ = 0;
    uint64_t readPos_ = 0;
    std::vector<uint8_t> buf_;
    size_t bufPos_ = 0, bufLen_ = 0;
    bool flushed_ = false;
    uint64_t junk_ = 0, frames_ = 0;
    uint64_t cutAt_ = 0, cutBytes_ = 0;
    wstool::CodecContextPtr avctx_;
    wstool::CodecParserPtr parser_;
};

} // namespace kardune
