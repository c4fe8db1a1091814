#include "AacStreamHeaders.h"

#include <algorithm>

namespace wstool {

namespace {

constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                          22050, 16000, 12000, 11025, 8000,  7350};

// Reads bits most significant first; reading past the end sets a flag
// instead of touching memory outside the buffer.
class BitReader {
public:
    BitReader(const uint8_t *p, size_t n) : p_(p), bits_(n * 8) {}
    uint32_t get(int count)
    {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i) {
            v <<= 1;
            if (pos_ >= bits_) {
                overrun_ = true;
                continue;
            }
            v |= (p_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u;
            ++pos_;
        }
        return v;
    }
    bool flag() { return get(1) != 0; }
    void align() { pos_ = (pos_ + 7) & ~size_t(7); }
    size_t position() const { return pos_; }
    bool overrun() const { return overrun_ || pos_ > bits_; }

private:
    const uint8_t *p_;
    size_t bits_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

class BitWriter {
public:
    void put(int count, uint32_t v)
    {
        for (int i = count - 1; i >= 0; --i) {
            if ((pos_ & 7) == 0)
                bytes_.push_back(0);
            if ((v >> i) & 1u)
                bytes_.back() |= uint8_t(0x80 >> (pos_ & 7));
            ++pos_;
        }
    }
    void align()
    {
        while (pos_ & 7)
            put(1, 0);
    }
    std::vector<uint8_t> take()
    {
        align();
        return std::move(bytes_);
    }

private:
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
};

std::optional<ProgramConfig> readPce(BitReader &r)
{
    ProgramConfig c;
    c.instanceTag = int(r.get(4));
    c.objectType = int(r.get(2));
    c.sampleRateIndex = int(r.get(4));
    const int nFront = int(r.get(4));
    const int nSide = int(r.get(4));
    const int nBack = int(r.get(4));
    const int nLfe = int(r.get(2));
    const int nAssoc = int(r.get(3));
    const int nCc = int(r.get(4));
    if (r.flag())
        c.monoMixdown = int(r.get(4));
    if (r.flag())
        c.stereoMixdown = int(r.get(4));
    if (r.flag())
        c.matrixMixdown = int(r.get(3));
    auto elements = [&r](int n, std::vector<ProgramConfig::Element> &out) {
        for (int i = 0; i < n; ++i) {
            const bool f = r.flag();
            out.push_back({f, int(r.get(4))});
        }
    };
    elements(nFront, c.front);
    elements(nSide, c.side);
    elements(nBack, c.back);
    for (int i = 0; i < nLfe; ++i)
        c.lfe.push_back(int(r.get(4)));
    for (int i = 0; i < nAssoc; ++i)
        c.assocData.push_back(int(r.get(4)));
    elements(nCc, c.coupling);
    r.align();
    const int commentBytes = int(r.get(8));
    for (int i = 0; i < commentBytes; ++i)
        c.comment.push_back(char(r.get(8)));
    if (r.overrun() || aacSampleRate(c.sampleRateIndex) == 0 || c.channels() == 0)
        return std::nullopt;
    return c;
}

void writePce(BitWriter &w, const ProgramConfig &c)
{
    w.put(4, uint32_t(c.instanceTag));
    w.put(2, uint32_t(c.objectType));
    w.put(4, uint32_t(c.sampleRateIndex));
    w.put(4, uint32_t(c.front.size()));
    w.put(4, uint32_t(c.side.size()));
    w.put(4, uint32_t(c.back.size()));
    w.put(2, uint32_t(c.lfe.size()));
    w.put(3, uint32_t(c.assocData.size()));
    w.put(4, uint32_t(c.coupling.size()));
    auto optional = [&w](const std::optional<int> &v, int bits) {
        w.put(1, v.has_value());
        if (v)
            w.put(bits, uint32_t(*v));
    };
    optional(c.monoMixdown, 4);
    optional(c.stereoMixdown, 4);
    optional(c.matrixMixdown, 3);
    auto elements = [&w](const std::vector<ProgramConfig::Element> &v) {
        for (const auto &e : v) {
            w.put(1, e.flag);
            w.put(4, uint32_t(e.tag));
        }
    };
    elements(c.front);
    elements(c.side);
    elements(c.back);
    for (int t : c.lfe)
        w.put(4, uint32_t(t));
    for (int t : c.assocData)
        w.put(4, uint32_t(t));
    elements(c.coupling);
    w.align();
    const size_t n = std::min<size_t>(c.comment.size(), 255);
    w.put(8, uint32_t(n));
    for (size_t i = 0; i < n; ++i)
        w.put(8, uint8_t(c.comment[i]));
}

} // namespace

int aacSampleRate(int index)
{
    return index >= 0 && index < int(std::size(kRates)) ? kRates[index] : 0;
}

int aacSampleRateIndex(int rate)
{
    for (int i = 0; i < int(std::size(kRates)); ++i)
        if (kRates[i] == rate)
            return i;
    return -1;
}

bool AdtsHeader::sameStream(const AdtsHeader &o) const
{
    return profile == o.profile && sampleRateIndex == o.sampleRateIndex &&
           channelConfig == o.channelConfig;
}

std::optional<AdtsHeader> parseAdtsHeader(const uint8_t *p, size_t n)
{
    if (n < 7 || p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) // sync, layer 0
        return std::nullopt;
    AdtsHeader h;
    h.headerSize = (p[1] & 1) ? 7 : 9;
    h.profile = p[2] >> 6;
    h.sampleRateIndex = (p[2] >> 2) & 0x0F;
    h.channelConfig = ((p[2] & 1) << 2) | (p[3] >> 6);
    h.frameSize = ((p[3] & 3) << 11) | (p[4] << 3) | (p[5] >> 5);
    h.rawBlocks = (p[6] & 3) + 1;
    if (aacSampleRate(h.sampleRateIndex) == 0 || h.frameSize < h.headerSize)
        return std::nullopt;
    return h;
}

int ProgramConfig::channels() const
{
    int n = int(lfe.size());
    for (const auto *v : {&front, &side, &back})
        for (const auto &e : *v)
            n += e.flag ? 2 : 1;
    return n;
}

bool ProgramConfig::sameLayout(const ProgramConfig &o) const
{
    return instanceTag == o.instanceTag && objectType == o.objectType &&
           sampleRateIndex == o.sampleRateIndex && front == o.front && side == o.side &&
           back == o.back && coupling == o.coupling && lfe == o.lfe &&
           assocData == o.assocData && monoMixdown == o.monoMixdown &&
           stereoMixdown == o.stereoMixdown && matrixMixdown == o.matrixMixdown;
}

ProgramConfig ProgramConfig::forChannelConfig(int objectType, int sampleRateIndex,
                                              int channelConfig)
{
    ProgramConfig c;
    c.objectType = objectType;
    c.sampleRateIndex = sampleRateIndex;
    switch (channelConfig) {
    case 1:
        c.front = {{false, 0}};
        break;
    case 2:
        c.front = {{true, 0}};
        break;
    case 3:
        c.front = {{false, 0}, {true, 0}};
        break;
    case 4:
        c.front = {{false, 0}, {true, 0}};
        c.back = {{false, 1}};
        break;
    case 5:
        c.front = {{false, 0}, {true, 0}};
        c.back = {{true, 1}};
        break;
    case 6:
        c.front = {{false, 0}, {true, 0}};
        c.back = {{true, 1}};
        c.lfe = {0};
        break;
    default:
        break; // no elements: channels() == 0 marks it as unusable
    }
    return c;
}

std::optional<AdifHeader> parseAdifHeader(const uint8_t *p, size_t n)
{
    if (n < 4 || p[0] != 'A' || p[1] != 'D' || p[2] != 'I' || p[3] != 'F')
        return std::nullopt;
    BitReader r(p + 4, n - 4);
    AdifHeader h;
    if (r.flag()) {
        std::vector<uint8_t> id(9);
        for (auto &b : id)
            b = uint8_t(r.get(8));
        h.copyrightId = std::move(id);
    }
    h.originalCopy = r.flag();
    h.home = r.flag();
    h.variableRate = r.flag();
    h.bitrate = r.get(23);
    const int programs = int(r.get(4)) + 1;
    for (int i = 0; i < programs && !r.overrun(); ++i) {
        AdifHeader::Program prog;
        if (!h.variableRate)
            prog.bufferFullness = r.get(20);
        // The PCE's own alignment counts from the start of the header, which
        // is byte aligned, so aligning the reader (offset by 4 bytes) is right.
        auto pce = readPce(r);
        if (!pce)
            return std::nullopt;
        prog.config = std::move(*pce);
        h.programs.push_back(std::move(prog));
    }
    r.align();
    if (r.overrun())
        return std::nullopt;
    h.size = 4 + r.position() / 8;
    return h;
}

std::vector<uint8_t> writeAdifHeader(const AdifHeader &h)
{
    BitWriter w;
    for (char c : {'A', 'D', 'I', 'F'})
        w.put(8, uint8_t(c));
    w.put(1, h.copyrightId.has_value());
    if (h.copyrightId)
        for (size_t i = 0; i < 9; ++i)
            w.put(8, i < h.copyrightId->size() ? (*h.copyrightId)[i] : 0);
    w.put(1, h.originalCopy);
    w.put(1, h.home);
    w.put(1, h.variableRate);
    w.put(23, std::min(h.bitrate, kAdifMaxBitrate));
    const size_t programs = std::clamp<size_t>(h.programs.size(), 1, 16);
    w.put(4, uint32_t(programs - 1));
    for (size_t i = 0; i < programs; ++i) {
        const AdifHeader::Program prog = i < h.programs.size() ? h.programs[i] : AdifHeader::Program{};
        if (!h.variableRate)
            w.put(20, prog.bufferFullness);
        writePce(w, prog.config);
    }
    return w.take();
}

std::vector<uint8_t> audioSpecificConfig(const ProgramConfig &pce)
{
    BitWriter w;
    w.put(5, uint32_t(pce.objectType + 1)); // audio object type
    w.put(4, uint32_t(pce.sampleRateIndex));
    w.put(4, 0); // channel configuration: given by the PCE
    w.put(1, 0); // frame length 1024
    w.put(1, 0); // no core coder
    w.put(1, 0); // no extension
    writePce(w, pce);
    return w.take();
}

} // namespace wstool
