// Encoding a PCM WAV file to AAC-LC with FFmpeg's native encoder, streaming:
// WAV reader -> sample FIFO -> encoder -> ADTS muxer or ADIF writer.
#pragma once

#include "AtomicFile.h"
#include "Av.h"
#include "EncoderSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace aacenc {

// A PCM or float WAV file read as planar float in the channels to be coded.
// Six-channel input loses its LFE channel unless keepLfe (5.1 becomes 5.0).
class WavSource {
public:
    WavSource(const std::string &path, bool keepLfe);
    ~WavSource();
    WavSource(const WavSource &) = delete;
    WavSource &operator=(const WavSource &) = delete;

    int sampleRate() const { return rate_; }
    int inputChannels() const { return inputChannels_; }
    const AVChannelLayout &codedLayout() const { return coded_; }
    int codedFullRangeChannels() const;
    std::string formatName() const { return format_; }
    // The file's comment (LIST/INFO), empty when it has none.
    std::string comment() const;

    // Samples in the file as its header tells, but never more than its bytes
    // can hold; -1 when it does not tell.
    int64_t declaredSamples() const;
    // Positions reading at sample `sample` (before the first readInto).
    void seekTo(int64_t sample);

    // Decodes the next piece of the file into `fifo` (planar float, coded
    // channels); false at the end of the file.
    bool readInto(AVAudioFifo *fifo);
    // Samples read since the start or the seek position.
    int64_t samplesRead() const { return samples_; }

private:
    void convertFrame(AVAudioFifo *fifo);

    std::string path_;
    wstool::InputFormatPtr in_;
    wstool::CodecContextPtr dec_;
    wstool::SwrPtr swr_;
    wstool::PacketPtr pkt_;
    wstool::FramePtr frame_;
    AVChannelLayout inLayout_{};
    AVChannelLayout coded_{};
    std::vector<int> keep_; // input channel of each coded channel
    std::vector<std::vector<float>> planes_;
    int rate_ = 0, inputChannels_ = 0, blockAlign_ = 0;
    int64_t samples_ = 0;
    int64_t seekTarget_ = -1; // until the first packet after a seek is read
    int64_t skip_ = 0;        // samples still to drop before the seek target
    bool eof_ = false;
    std::string format_;
};

// Where encoded packets go.
class PacketSink {
public:
    virtual ~PacketSink() = default;
    virtual void start(const AVCodecContext *enc) = 0;
    virtual void packet(AVPacket *pkt, const AVCodecContext *enc) = 0;
    virtual void finish() = 0;
};

// ADTS stream written by libavformat's ADTS muxer. A sink writes `file` from
// its start (a second sink on the same file starts it over).
std::unique_ptr<PacketSink> makeAdtsSink(wstool::AtomicFile &file);
// ADIF stream: one header (rewritten at the end with the peak frame bit rate)
// followed by the raw data blocks.
std::unique_ptr<PacketSink> makeAdifSink(wstool::AtomicFile &file);

// FFmpeg's native AAC-LC encoder; hands its packets to a sink.
class Encoder {
public:
    Encoder(const AVChannelLayout &layout, int sampleRate, const RateChoice &rate);
    const AVCodecContext *context() const { return ctx_.get(); }
    int frameSize() const { return ctx_->frame_size; }
    // The first frame's time stamp: its sample position in the input.
    void startAt(int64_t pts) { pts_ = pts; }
    // Encodes `n` samples from the FIFO (n <= frameSize()).
    void encodeFrom(AVAudioFifo *fifo, int n, PacketSink &sink);
    void flush(PacketSink &sink);

private:
    void drain(PacketSink &sink);

    wstool::CodecContextPtr ctx_;
    wstool::FramePtr frame_;
    wstool::PacketPtr pkt_;
    int64_t pts_ = 0;
};

struct EncodeResult {
    int64_t samples = 0; // read, or for a part the samples its kept frames cover
    int sampleRate = 0;
    int channels = 0; // coded channels
    RateChoice rate;
    int chunks = 1;   // encoded side by side on worker threads
    uint64_t bytes = 0;
    double seconds() const { return sampleRate ? double(samples) / sampleRate : 0; }
    double kbps() const { return samples ? double(bytes) * 8 / seconds() / 1000 : 0; }
};

// Encodes r.input into r.output (which appears only when complete, see
// AtomicFile). Throws wstool::ToolError with a one-line reason.
EncodeResult encode(const Request &r);

} // namespace aacenc
