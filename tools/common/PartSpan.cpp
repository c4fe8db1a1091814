#include "PartSpan.h"

#include "AtomicFile.h"
#include "Av.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <numeric>
#include <sstream>
#include <sys/types.h>

namespace wstool {

namespace {

const char kMagic[] = "wavesmithy part span 1";
const char kNoteMagic[] = "wavesmithy part";

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

} // namespace

std::string spanPath(const std::string &part) { return part + ".span"; }

std::string spanName(const std::string &part)
{
    const std::string path = spanPath(part);
    return path.substr(path.find_last_of('/') + 1);
}

namespace {

// A note names the next part's note by its bare file name, in its own folder.
bool plainName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\n\0", 3)) == std::string::npos;
}

bool parseNumber(const std::string &text, long long &v)
{
    const char *end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    return r.ec == std::errc() && r.ptr == end;
}

} // namespace

void writeSpan(const std::string &path, const PartSpan &span, const std::vector<uint8_t> &before,
               const std::vector<uint8_t> &after, const HandOn *handOn)
{
    std::ostringstream head;
    head << kMagic << "\nfirst " << span.first << "\nstart " << span.start << "\nend " << span.end << "\nrate "
         << span.rate << "\nbefore " << before.size() << "\nafter " << after.size() << "\n";
    if (handOn) {
        if (!plainName(handOn->note))
            throw ToolError("cannot write " + path + ": no plain file name for the next note");
        head << "handon " << handOn->note << "\nhandon_offset " << handOn->offset << "\nhandon_bytes "
             << handOn->bytes << "\nhandon_first " << handOn->first << "\nhandon_start " << handOn->start << "\n";
    }
    head << "\n";
    const std::string h = head.str();
    AtomicFile file(path);
    StreamPtr f = file.stream();
    bool ok = std::fwrite(h.data(), 1, h.size(), f.get()) == h.size();
    ok = ok && (before.empty() || std::fwrite(before.data(), 1, before.size(), f.get()) == before.size());
    ok = ok && (after.empty() || std::fwrite(after.data(), 1, after.size(), f.get()) == after.size());
    const int err = errno;
    if (std::fclose(f.release()) != 0 || !ok)
        throw ToolError("cannot write " + path + ": " + std::strerror(ok ? errno : err));
    file.commit();
}

std::optional<PartSpan> readSpan(const std::string &path, std::vector<uint8_t> *before, std::vector<uint8_t> *after,
                                 std::optional<HandOn> *handOn)
{
    FilePtr f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f)
        return std::nullopt;
    // The text head ends with an empty line; it is short.
    std::string head;
    for (int c; head.size() < 4096 && (c = std::fgetc(f.get())) != EOF;) {
        head += char(c);
        if (head.size() >= 2 && head.compare(head.size() - 2, 2, "\n\n") == 0)
            break;
    }
    std::istringstream in(head);
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        return std::nullopt;
    static const char *const keys[] = {"first",  "start",         "end",          "rate",         "before",
                                       "after",  "handon_offset", "handon_bytes", "handon_first", "handon_start"};
    constexpr size_t kRequired = 6;
    long long values[std::size(keys)] = {};
    bool seen[std::size(keys)] = {};
    HandOn h;
    while (std::getline(in, line) && !line.empty()) {
        const size_t space = line.find(' ');
        if (space == std::string::npos)
            return std::nullopt;
        const std::string key = line.substr(0, space), value = line.substr(space + 1);
        if (key == "handon") {
            if (!plainName(value))
                return std::nullopt;
            h.note = value;
            continue;
        }
        const auto k = std::find_if(std::begin(keys), std::end(keys), [&](const char *x) { return key == x; });
        const size_t i = size_t(k - std::begin(keys));
        if (k == std::end(keys) || !parseNumber(value, values[i]))
            return std::nullopt;
        seen[i] = true;
    }
    // Positions past kMaxSamplePosition and rates past kMaxSpanRate are
    // damage: no source has them, and the trim's arithmetic on them would
    // overflow.
    const auto position = [](long long v) { return v >= -kMaxSamplePosition && v <= kMaxSamplePosition; };
    if (!std::all_of(values, values + 3, position) || !std::all_of(values + 8, values + 10, position) ||
        values[3] > kMaxSpanRate)
        return std::nullopt;
    PartSpan s{values[0], values[1], values[2], int(values[3])};
    const long long nb = values[4], na = values[5];
    if (!std::all_of(seen, seen + kRequired, [](bool b) { return b; }) || s.rate <= 0 ||
        s.start < s.first || (s.end >= 0 && s.end <= s.start) || nb < 0 || na < 0 || nb > (1 << 26) ||
        na > (1 << 26))
        return std::nullopt;
    // What the part hands on comes whole or not at all.
    const bool anyHandOn = !h.note.empty() || std::any_of(seen + kRequired, std::end(seen), [](bool b) { return b; });
    if (anyHandOn) {
        h.offset = values[6];
        h.bytes = values[7];
        h.first = values[8];
        h.start = values[9];
        if (h.note.empty() || !std::all_of(seen + kRequired, std::end(seen), [](bool b) { return b; }) ||
            h.offset < 0 || h.bytes <= 0 || h.bytes > (1 << 26) || h.first > h.start)
            return std::nullopt;
    }
    std::vector<uint8_t> b(static_cast<size_t>(nb)), a(static_cast<size_t>(na));
    if ((nb > 0 && std::fread(b.data(), 1, b.size(), f.get()) != b.size()) ||
        (na > 0 && std::fread(a.data(), 1, a.size(), f.get()) != a.size()))
        return std::nullopt;
    if (before)
        *before = std::move(b);
    if (after)
        *after = std::move(a);
    if (handOn)
        *handOn = anyHandOn ? std::optional<HandOn>(std::move(h)) : std::nullopt;
    return s;
}

bool handOnRunIn(const std::string &part, const HandOn &h, std::string *why)
{
    const size_t slash = part.find_last_of('/');
    const std::string notePath = (slash == std::string::npos ? std::string() : part.substr(0, slash + 1)) + h.note;
    std::vector<uint8_t> before, after;
    std::optional<HandOn> next;
    const std::optional<PartSpan> span = readSpan(notePath, &before, &after, &next);
    if (!span) {
        *why = "the next part's note " + notePath + " is missing or damaged";
        return false;
    }
    if (span->start != h.start || h.first > span->first || before.size() > size_t(h.bytes)) {
        *why = "the next part's note " + notePath + " belongs to another split";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(h.bytes));
    FilePtr f(std::fopen(part.c_str(), "rb"), &std::fclose);
    if (!f || ::fseeko(f.get(), off_t(h.offset), SEEK_SET) != 0 ||
        std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
        *why = "cannot read the next part's run-in from " + part;
        return false;
    }
    f.reset();
    // The bytes the note carries already are the end of the run-in.
    if (!std::equal(before.begin(), before.end(), bytes.end() - std::ptrdiff_t(before.size()))) {
        *why = "the next part's note " + notePath + " does not continue " + part;
        return false;
    }
    PartSpan longer = *span;
    longer.first = h.first;
    try {
        writeSpan(notePath, longer, bytes, after, next ? &*next : nullptr);
    } catch (const ToolError &e) {
        *why = e.what();
        return false;
    }
    return true;
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
        k2 != "keep" || lead < 0 || keep < -1 || lead > kMaxSamplePosition || keep > kMaxSamplePosition)
        return std::nullopt;
    PartTrim t;
    t.lead = lead;
    t.keep = keep;
    return t;
}

} // namespace wstool
