// Headers of AAC elementary streams: ADTS frame headers, ADIF stream headers
// with their program configuration elements, and the AudioSpecificConfig a
// decoder needs for raw (header-less) AAC.
//
// FFmpeg writes ADTS but has no ADIF writer or reader, so the ADIF header is
// read and written here, bit by bit, after ISO/IEC 13818-7.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wstool {

// 96000, 88200, ... 7350 for indices 0..12; 0 for any other index.
int aacSampleRate(int index);
// The index of an AAC sampling rate, or -1 when AAC has no such rate.
int aacSampleRateIndex(int rate);

struct AdtsHeader {
    int profile = 1;         // ADTS profile field: audio object type - 1 (1 = LC)
    int sampleRateIndex = 0;
    int channelConfig = 0;   // 0: channels given by a PCE inside the frame
    int headerSize = 7;      // 9 when a CRC follows the header
    int frameSize = 0;       // the whole frame, header included, in bytes
    int rawBlocks = 1;       // raw data blocks (of 1024 samples each) in the frame
    int sampleRate() const { return aacSampleRate(sampleRateIndex); }
    // Stream parameters that must not change from frame to frame.
    bool sameStream(const AdtsHeader &o) const;
};

// Reads an ADTS header at p (at least 7 bytes); nothing when p holds none.
std::optional<AdtsHeader> parseAdtsHeader(const uint8_t *p, size_t n);

// A program configuration element: which channel elements make up the
// programme, and with which instance tags.
struct ProgramConfig {
    struct Element {
        bool flag = false; // is_cpe (front, side, back) or is_ind_sw (coupling)
        int tag = 0;
        bool operator==(const Element &) const = default;
    };
    int instanceTag = 0;
    int objectType = 1;      // profile field: audio object type - 1 (1 = LC)
    int sampleRateIndex = 0;
    std::vector<Element> front, side, back, coupling;
    std::vector<int> lfe, assocData;
    std::optional<int> monoMixdown, stereoMixdown, matrixMixdown;
    std::string comment;

    int channels() const; // output channels, LFE included
    // Same programme: everything but the comment.
    bool sameLayout(const ProgramConfig &o) const;
    // The elements the standard channel configurations 1..6 consist of, with
    // the instance tags FFmpeg's encoder gives them (counted per element type).
    static ProgramConfig forChannelConfig(int objectType, int sampleRateIndex, int channelConfig);
};

struct AdifHeader {
    std::optional<std::vector<uint8_t>> copyrightId; // 9 bytes (72 bits) when present
    bool originalCopy = false;
    bool home = false;
    bool variableRate = true; // bitstream_type
    uint32_t bitrate = 0;     // bits/s (peak per frame for variable rate), 23 bits
    struct Program {
        uint32_t bufferFullness = 0; // constant rate only, 20 bits
        ProgramConfig config;
    };
    std::vector<Program> programs; // 1..16
    size_t size = 0;               // header bytes up to the first raw data block (after parsing)
};

constexpr uint32_t kAdifMaxBitrate = (1u << 23) - 1;

// Reads an ADIF header from the start of a stream. Nothing when the data does
// not begin with "ADIF" or the header is malformed or longer than n bytes.
std::optional<AdifHeader> parseAdifHeader(const uint8_t *p, size_t n);
// The header as bytes; its size depends only on the layout and comments, not
// on the bit rate, so it can be rewritten in place once the rate is known.
std::vector<uint8_t> writeAdifHeader(const AdifHeader &h);

// AudioSpecificConfig (channel configuration 0 followed by the PCE) that lets
// FFmpeg's decoder decode the raw data blocks behind an ADIF header.
std::vector<uint8_t> audioSpecificConfig(const ProgramConfig &pce);

} // namespace wstool
