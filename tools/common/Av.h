// FFmpeg resources held by std::unique_ptr, and error texts.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <stdexcept>
#include <string>

namespace wstool {

std::string avError(int err);

// A failure inside a tool: the message is the one line reported to the user.
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws ToolError("what: <FFmpeg's error text>") when err < 0; returns err.
int avCheck(int err, const std::string &what);

struct InputFormatDeleter {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct OutputFormatDeleter {
    void operator()(AVFormatContext *c) const;
};
struct CodecContextDeleter {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct SwrDeleter {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
struct FilterGraphDeleter {
    void operator()(AVFilterGraph *g) const { avfilter_graph_free(&g); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo *f) const { av_audio_fifo_free(f); }
};
struct CodecParserDeleter {
    void operator()(AVCodecParserContext *p) const { av_parser_close(p); }
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using CodecParserPtr = std::unique_ptr<AVCodecParserContext, CodecParserDeleter>;

// FFmpeg's name of a channel layout ("stereo", "5.1(side)"), or
// "N channels" when it has none.
std::string layoutName(const AVChannelLayout &layout);

FramePtr makeFrame();
PacketPtr makePacket();

class AtomicFile;

// A muxer of `format` ("wav", "adts", "ipod") writing into `file` from its
// start, through a seekable I/O context over the file's descriptor (the WAV
// muxer seeks back to complete its header). A muxer that re-opens its output
// for reading (the MP4 muxer's faststart pass) reads the partial file, never
// a file under the output's name. Throws ToolError.
OutputFormatPtr openMuxer(const char *format, AtomicFile &file);

// The same I/O context alone, for writing bytes with avio_write; freed with
// closeFileIo().
AVIOContext *openFileIo(AtomicFile &file);
// Flushes and frees such a context; returns the first write error (< 0) or 0.
int closeFileIo(AVIOContext **io);

// Writes the trailer of a muxer from openMuxer() and closes its I/O context;
// any write error on the way throws ToolError("cannot write <path>: ...").
void finishOutput(AVFormatContext *out, const std::string &path);

// "cannot read NAME past byte N: reason", N being where reading `in` stopped.
std::string readErrorText(AVFormatContext *in, int err, const std::string &name);
// Throws ToolError(readErrorText()) when a read of `in` failed: `err` (from
// av_read_frame) is an error other than the end of the input, or the end
// was an I/O error in disguise. Damaged data is not an I/O error.
void checkRead(AVFormatContext *in, int err, const std::string &name);

// Opens an input file for demuxing (with stream information read).
InputFormatPtr openInput(const std::string &path, const AVInputFormat *format = nullptr);

} // namespace wstool
