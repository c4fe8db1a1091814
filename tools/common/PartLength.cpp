#include "PartLength.h"

#include "AtomicFile.h"
#include "Av.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace wstool {

namespace {
const char kMagic[] = "wavesmithy part length 1";
const char *const kKeys[] = {"samples", "priming", "rate", "bytes"};
} // namespace

std::string lengthNotePath(const std::string &part) { return part + ".length"; }

void writeLengthNote(const std::string &path, const PartLength &l)
{
    std::ostringstream text;
    text << kMagic << "\nsamples " << l.samples << "\npriming " << l.priming << "\nrate " << l.rate << "\nbytes "
         << l.bytes << "\n";
    const std::string t = text.str();
    AtomicFile file(path);
    StreamPtr f = file.stream();
    const bool ok = std::fwrite(t.data(), 1, t.size(), f.get()) == t.size();
    const int err = errno;
    if (std::fclose(f.release()) != 0 || !ok)
        throw ToolError("cannot write " + path + ": " + std::strerror(ok ? errno : err));
    file.commit();
}

std::optional<PartLength> readLengthNote(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kMagic)
        return std::nullopt;
    long long values[std::size(kKeys)] = {};
    bool seen[std::size(kKeys)] = {};
    for (int lines = 0; std::getline(in, line) && !line.empty(); ++lines) {
        const size_t space = line.find(' ');
        const auto k = std::find(std::begin(kKeys), std::end(kKeys), line.substr(0, std::min(space, line.size())));
        if (space == std::string::npos || k == std::end(kKeys) || lines >= 16)
            return std::nullopt;
        const size_t i = size_t(k - std::begin(kKeys));
        const char *end = line.data() + line.size();
        const auto r = std::from_chars(line.data() + space + 1, end, values[i]);
        if (r.ec != std::errc() || r.ptr != end || seen[i])
            return std::nullopt;
        seen[i] = true;
    }
    // Bounds far beyond any real part keep sums of them from overflowing.
    constexpr long long kMost = 1LL << 50;
    if (!std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; }) || values[0] < 0 ||
        values[0] > kMost || values[1] < 0 || values[1] > kMost || values[2] <= 0 || values[2] > INT_MAX ||
        values[3] <= 0)
        return std::nullopt;
    return PartLength{values[0], values[1], int(values[2]), uint64_t(values[3])};
}

} // namespace wstool
