// What a run writes: a PCM WAV file, a copied elementary stream, or nothing
// but a peak measurement. Files appear under their name only when complete
// (see AtomicFile).
#pragma once

#include "AtomicFile.h"
#include "Av.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tromvax {

// A 16- or 24-bit PCM WAV file (RF64 when it outgrows the 4 GiB of WAV).
class WavWriter {
public:
    // Opens the temporary file at once, so an unwritable target fails early.
    explicit WavWriter(const std::string &target);
    ~WavWriter();
    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    // Writes the header; `bits` is 16 or 24.
    // A comment for the file's LIST/INFO chunk; before begin().
    void setComment(const std::string &text);
    void begin(const AVChannelLayout &layout, int rate, int bits);
    bool begun() const { return stream_ != nullptr; }

    // Float samples (of the layout and rate given to begin()), rounded to
    // 16 bits; samples beyond full scale are clipped and counted.
    void writeFloat(const AVFrame *frame);
    // Interleaved 16- or 32-bit integer samples as decoded from LPCM
    // (32-bit samples keep their upper 24 bits).
    void writePcm(const AVFrame *frame);

    // Completes the file and renames it to the target.
    void finish();

    int64_t samples() const { return samples_; }
    int64_t clipped() const { return clipped_; }
    int bits() const { return bits_; }

private:
    void writeBuffer(size_t bytes);
    void checkIo();

    wstool::AtomicFile file_;
    wstool::OutputFormatPtr ctx_;
    AVStream *stream_ = nullptr;
    wstool::PacketPtr pkt_;
    wstool::SwrPtr toS16_;
    std::vector<uint8_t> buffer_;
    int channels_ = 0;
    int bits_ = 16;
    int64_t samples_ = 0;
    int64_t clipped_ = 0;
};

// The payload of an elementary stream, byte for byte.
class PayloadWriter {
public:
    explicit PayloadWriter(const std::string &target);
    ~PayloadWriter();
    PayloadWriter(const PayloadWriter &) = delete;
    PayloadWriter &operator=(const PayloadWriter &) = delete;

    void write(const AVPacket *pkt);
    void finish();
    int64_t bytes() const { return bytes_; }

private:
    wstool::AtomicFile file_;
    AVIOContext *io_ = nullptr;
    int64_t bytes_ = 0;
};

// The largest absolute sample value of planar float frames.
class PeakMeter {
public:
    // Measures the frame's samples from `from` on.
    void add(const AVFrame *frame, int from = 0);
    double peak() const { return peak_; }
    int64_t samples() const { return samples_; }

private:
    double peak_ = 0.0;
    int64_t samples_ = 0;
};

// The gain that brings `peak` to full scale, rounded down to 0.1 dB so that
// applying it never clips; silence and very quiet sources get kMaxGainDb.
constexpr double kMaxGainDb = 40.0;
double gainToFullScale(double peak);

} // namespace tromvax
