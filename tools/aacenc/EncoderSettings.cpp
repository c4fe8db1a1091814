#include "EncoderSettings.h"

#include "CommandLine.h"
#include "EncoderPresetTable.h"
#include "Levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace aacenc {

using wstool::UsageError;

namespace {
constexpr int kMaxThreads = 64;
}

Request parseRequest(const std::vector<std::string> &words)
{
    Request r;
    bool vbrhi = false;
    std::optional<std::string> preset;
    auto value = [&words](size_t &i, const std::string &sw) -> const std::string & {
        if (i + 1 >= words.size() || words[i + 1].empty())
            throw UsageError("switch " + sw + " needs a value");
        return words[++i];
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string &w = words[i];
        if (w == "--help" || w == "-help" || w == "-h" || w == "-?") {
            r.help = true;
        } else if (w == "--version") {
            r.version = true;
        } else if (w == "-if" || w == "-of") {
            std::string &target = w == "-if" ? r.input : r.output;
            if (!target.empty())
                throw UsageError("switch " + w + " is given twice");
            target = value(i, w);
        } else if (w == "-adif") {
            r.adif = true;
        } else if (w == "-lfe") {
            r.keepLfe = true;
        } else if (w == "-threads") {
            const std::string &v = value(i, w);
            const auto n = wstool::parseNumber(v);
            if (!n || *n != std::floor(*n) || *n < 1 || *n > kMaxThreads)
                throw UsageError("thread count \"" + v + "\" after -threads is not a whole number in 1 ... " +
                                 std::to_string(kMaxThreads));
            r.threads = int(*n);
        } else if (w == "-vbrhi") {
            vbrhi = true;
        } else if (w == "-qvbr") {
            const std::string &v = value(i, w);
            const auto hundredths = wstool::parseNumber(v);
            if (!hundredths)
                throw UsageError("quality \"" + v + "\" after -qvbr is not a number");
            if (*hundredths < 5 || *hundredths > 100)
                throw UsageError("quality " + v + " after -qvbr is outside 5 ... 100 (0.05 ... 1.00)");
            if (r.quality)
                throw UsageError("switch -qvbr is given twice");
            r.quality = *hundredths / 100.0;
        } else if (w.size() > 1 && w[0] == '-' && wstool::findEncoderPreset(w.substr(1))) {
            if (preset)
                throw UsageError("two presets given: " + *preset + " and " + w.substr(1));
            preset = w.substr(1);
        } else {
            throw UsageError("unknown switch \"" + w + "\"");
        }
    }
    if (r.help || r.version)
        return r;
    if (vbrhi && !r.quality)
        throw UsageError("-vbrhi needs a quality (-qvbr NUMBER)");
    if (preset && r.quality)
        throw UsageError("give either a preset or a quality, not both");
    if (r.input.empty())
        throw UsageError("no input WAV file (-if) given");
    if (r.output.empty())
        throw UsageError("no output AAC file (-of) given");
    r.preset = preset.value_or("normal");
    return r;
}

int64_t qualityBitRate(double quality, int fullRangeChannels)
{
    return std::llround((16.0 + 144.0 * quality) * 1000.0) * std::max(fullRangeChannels, 1);
}

RateChoice chooseRate(const Request &r, int inputChannels, int codedFullRange, int sampleRate)
{
    RateChoice c;
    if (r.quality) {
        c.bitRate = qualityBitRate(*r.quality, codedFullRange);
        return c;
    }
    const wstool::EncoderPreset *p = wstool::findEncoderPreset(r.preset);
    if (!p)
        p = wstool::findEncoderPreset("normal");
    c.bitRate = int64_t(inputChannels > 2 ? p->kbps51 : p->kbpsStereo) * 1000;
    c.cutoff = std::min(p->cutoffHz, sampleRate / 2);
    return c;
}

} // namespace aacenc
