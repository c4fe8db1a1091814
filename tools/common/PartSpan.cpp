#include "PartSpan.h"

#include "Av.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <sstream>

namespace wstool {

namespace {

const char kMagic[] = "wavesmithy part span 1";
const char kNoteMagic[] = "wavesmithy part";

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

} // namespace

std::string spanPath(const std::string &part) { return part + ".span"; }

void writeSpan(const std::string &path, const PartSpan &span, const std::vector<uint8_t> &before,
               const std::vector<uint8_t> &after)
{
    std::ostringstream head;
    head << kMagic << "\nfirst " << span.first << "\nstart " << span.start << "\nend " << span.end << "\nrate "
         << span.rate << "\nbefore " << before.size() << "\nafter " << after.size() << "\n\n";
    const std::string h = head.str();
    FilePtr f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f)
        throw ToolError("cannot write " + path + ": " + std::strerror(errno));
    bool ok = std::fwrite(h.data(), 1, h.size(), f.get()) == h.size();
    ok = ok && (before.empty() || std::fwrite(before.data(), 1, before.size(), f.get()) == before.size());
    ok = ok && (after.empty() || std::fwrite(after.data(), 1, after.size(), f.get()) == after.size());
    const int err = errno;
    if (std::fclose(f.release()) != 0 || !ok)
        throw ToolError("cannot write " + path + ": " + std::strerror(ok ? errno : err));
}

std::optional<PartSpan> readSpan(const std::string &path, std::vector<uint8_t> *before, std::vector<uint8_t> *after)
{
    FilePtr f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f)
        return std::nullopt;
    // The text head ends with an empty line; it is short.
    std::string head;
    for (int c; head.size() < 1024 && (c = std::fgetc(f.get())) != EOF;) {
        head += char(c);
        if (head.size() >= 2 && head.compare(head.size() - 2, 2, "\n\n") == 0)
            break;
    }
    std::istringstream in(head);
    std::string magic;
    std::getline(in, magic);
    if (magic != kMagic)
        return std::nullopt;
    PartSpan s;
    long long nb = -1, na = -1;
    std::string key;
    long long v = 0;
    bool seen[6] = {};
    while (in >> key >> v) {
        const char *keys[] = {"first", "start", "end", "rate", "before", "after"};
        const auto k = std::find_if(std::begin(keys), std::end(keys), [&](const char *x) { return key == x; });
        if (k == std::end(keys))
            return std::nullopt;
        seen[k - std::begin(keys)] = true;
        switch (k - std::begin(keys)) {
        case 0: s.first = v; break;
        case 1: s.start = v; break;
        case 2: s.end = v; break;
        case 3: s.rate = int(v); break;
        case 4: nb = v; break;
        default: na = v; break;
        }
    }
    if (!std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; }) || s.rate <= 0 ||
        s.start < s.first || (s.end >= 0 && s.end <= s.start) || nb < 0 || na < 0 || nb > (1 << 26) ||
        na > (1 << 26))
        return std::nullopt;
    std::vector<uint8_t> b(static_cast<size_t>(nb)), a(static_cast<size_t>(na));
    if ((nb > 0 && std::fread(b.data(), 1, b.size(), f.get()) != b.size()) ||
        (na > 0 && std::fread(a.data(), 1, a.size(), f.get()) != a.size()))
        return std::nullopt;
    if (before)
        *before = std::move(b);
    if (after)
        *after = std::move(a);
    return s;
}

PartTrim trimFor(const PartSpan &span, int outRate, int64_t shift)
{
    const auto toOut = [&](int64_t x) { return double(x) * outRate / span.rate; };
    const auto onGrid = [&](int64_t x) { return int64_t(std::llround(toOut(x) / kBlock)) * kBlock; };
    const int64_t offset = std::llround(toOut(span.first));
    const int64_t from = std::max(onGrid(span.start), offset);
    PartTrim t;
    // A part that carries the long run-in keeps all of it but the decoder's
    // first frames; others keep kRunInSamples.
    const int64_t carried = from - offset;
    const int64_t longLead = int64_t(kLongRunInSeconds * outRate) / kBlock * kBlock;
    const int64_t cap = carried > longLead + kRunInSamples ? longLead : kRunInSamples;
    t.lead = std::min(cap, carried / kBlock * kBlock);
    t.skip = from - offset - t.lead;
    if (span.end >= 0) {
        const int64_t to = std::max(onGrid(span.end), from + kBlock);
        t.keep = to - from + shift;
        t.count = t.lead + t.keep + kRunOutSamples;
    }
    return t;
}

int64_t resampleAlignment(const PartSpan &span, int outRate)
{
    if (outRate <= 0 || outRate == span.rate)
        return 0;
    const int64_t period = span.rate / std::gcd(span.rate, outRate);
    return ((-span.first) % period + period) % period;
}

int64_t blockDelay(int64_t samples)
{
    const int64_t blocks = (std::llabs(samples) + kBlock / 2) / kBlock;
    return samples < 0 ? -blocks * kBlock : blocks * kBlock;
}

std::string trimNote(const PartTrim &t)
{
    return std::string(kNoteMagic) + " lead " + std::to_string(t.lead) + " keep " + std::to_string(t.keep);
}

std::optional<PartTrim> parseTrimNote(const std::string &note)
{
    std::istringstream in(note);
    std::string w1, w2, k1, k2;
    long long lead = 0, keep = 0;
    if (!(in >> w1 >> w2 >> k1 >> lead >> k2 >> keep) || w1 + " " + w2 != kNoteMagic || k1 != "lead" ||
        k2 != "keep" || lead < 0 || keep < -1)
        return std::nullopt;
    PartTrim t;
    t.lead = lead;
    t.keep = keep;
    return t;
}

} // namespace wstool
