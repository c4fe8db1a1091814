// Reading the source: demuxing one audio stream and decoding it.
#pragma once

#include "Av.h"
#include "Options.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tromvax {

class TitleStream;

// Opens a source file and hands out the packets of one audio stream. While
// reading it notes the first presentation time of the audio stream and of
// the first video stream, for the A/V delay of a VOB.
class Demuxer {
public:
    // `name` (by default the path) is the source's name in messages; its
    // extension names the format when the content does not.
    explicit Demuxer(const std::string &path, const std::string &name = {});
    // A disc title's cells as one MPEG program stream (Disc.h).
    explicit Demuxer(std::unique_ptr<TitleStream> title);
    ~Demuxer();
    Demuxer(const Demuxer &) = delete;
    Demuxer &operator=(const Demuxer &) = delete;

    // Chooses the audio stream: the one with the DVD substream ID when given
    // (0x80-0x87 AC3, 0x88-0x8F DTS, 0xA0-0xA7 LPCM, 0xC0-0xC7 MPEG audio),
    // otherwise the DVD's audio stream number 0 (the lowest number present
    // when there is none; AC3 before DTS, LPCM and MPEG audio of the same
    // number), or the first audio stream of a file without DVD IDs. Throws
    // ToolError when there is none.
    AVStream *selectAudio(std::optional<int> substream);
    AVStream *audio() const { return audio_; }

    // The next packet of the chosen stream; false at the end of the input.
    // Throws ToolError, naming the byte position, when the source cannot be
    // read to its end (damaged data that the demuxer skips is counted in
    // readErrors()).
    bool next(AVPacket *pkt);

    // PCM audio in the chosen stream's own format to hand out before the
    // file's first packet and after its last (the run-in and run-out of a
    // part of a split WAV); false, and nothing carried, unless both hold
    // whole sample frames of a PCM stream. Before the first next().
    bool carry(std::vector<uint8_t> before, std::vector<uint8_t> after);

    // The DVD substream ID of the chosen stream ("0x80"); for a stream that
    // carries none (a plain AC3 file), the ID its kind has on a DVD.
    std::string substreamId() const;
    // The audio streams in the order of the automatic choice: the first is
    // the one selectAudio() takes without an ID.
    std::vector<const AVStream *> audioByChoice() const;

    // First audio presentation time minus first video presentation time, in
    // milliseconds; 0 without video. Valid after the last packet was read.
    double avDelayMs() const;

    std::string describe() const; // "mpeg (MPEG-PS (MPEG-2 Program Stream)), 3.0 s"
    double durationSeconds() const;
    int readErrors() const { return readErrors_; }
    const std::string &path() const { return name_; }
    AVFormatContext *context() const { return ctx_.get(); }

private:
    [[noreturn]] void readFailed(int err) const;
    // Reads an MPEG audio file through libavcodec's parser, for files the
    // MP3 demuxer refuses (it needs a second frame header to open one).
    void openWithParser(const std::string &path);
    bool nextParsed(AVPacket *pkt);

    std::string name_;
    std::unique_ptr<TitleStream> title_; // outlives ctx_, which reads through it
    wstool::InputFormatPtr ctx_;
    AVStream *audio_ = nullptr;
    AVStream *video_ = nullptr;
    std::optional<int64_t> firstAudioUs_;
    std::optional<int64_t> firstVideoUs_;
    int videoPacketsSeen_ = 0;
    int readErrors_ = 0;
    std::vector<uint8_t> before_, after_;
    bool ended_ = false;

    struct Parsed; // the parser's state, when the file is read that way
    std::shared_ptr<Parsed> parsed_;
};

// Decodes one stream frame by frame. A damaged packet is counted and, once
// the frame length is known, replaced by silence of one frame, so the audio
// keeps its length and stays in step with the picture.
class Decoder {
public:
    Decoder(const AVStream *stream, DynamicRange drc);

    // Hands a packet to the decoder; nullptr flushes it at the end.
    void send(const AVPacket *pkt);
    // The next decoded frame; false when the decoder needs more input.
    bool receive(AVFrame *frame);

    int damaged() const { return damaged_; }
    int64_t goodFrames() const { return goodFrames_; }
    const AVCodecContext *context() const { return ctx_.get(); }
    std::string describe() const; // "ac3, 48000 Hz, 5.1(side)"
    bool isAc3() const;
    std::string dynamicRangeNote() const { return drcNote_; }

private:
    void damagedPacket();
    void pullDecoded();

    wstool::CodecContextPtr ctx_;
    std::deque<wstool::FramePtr> ready_;
    wstool::FramePtr last_; // parameters of the last good frame
    int damaged_ = 0;
    int64_t goodFrames_ = 0;
    std::string drcNote_;
};

// Hands out the decoded frames of a source. With `ahead` it demuxes and
// decodes on a second thread, a bounded number of frames ahead of the
// consumer, so that decoding and processing share two cores; otherwise it
// decodes on demand. The demuxer and decoder belong to the source until
// next() returned false.
class FrameSource {
public:
    FrameSource(Demuxer &dmx, Decoder &dec, bool ahead, size_t depth = 32);
    ~FrameSource();
    FrameSource(const FrameSource &) = delete;
    FrameSource &operator=(const FrameSource &) = delete;

    // The next decoded frame; false at the end. A failure of the worker is
    // rethrown here.
    bool next(AVFrame *frame);

    // Whether a second thread would find a free core: decoding ahead only
    // adds work on a machine whose cores are all busy.
    static bool spareCore();

private:
    void work();
    void stop();
    bool nextHere(AVFrame *frame);

    Demuxer &dmx_;
    Decoder &dec_;
    const bool ahead_;
    const size_t depth_;
    wstool::PacketPtr pkt_;
    bool flushed_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<wstool::FramePtr> queue_;
    bool done_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread worker_;
};

// The DVD substream ID of a stream ("0x80"), as Demuxer::substreamId().
std::string substreamIdOf(const AVStream *stream);
// "0x80", as the list and the log write a substream ID.
std::string substreamIdText(int id);

using wstool::layoutName;

} // namespace tromvax
