// The companion tools' command lines: words made from the input go through
// the switch-group grammar and one tool's option parser.
//
// Input: one byte of choices, then the text. Choice bits 0-1 pick the tool
// (tromvax, kardune, aacenc); bit 2 hands the text over as one command line
// to be split at blanks and quote marks (as a tool receives it from a shell
// in one quoted argument), otherwise each line of the text is one word.
#include "AacEnc.h"
#include "CommandLine.h"
#include "EncoderSettings.h"
#include "FuzzSupport.h"
#include "KarduneOptions.h"
#include "Options.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> words;
    size_t from = 0;
    for (size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
        words.push_back(text.substr(from, nl - from));
    if (from < text.size())
        words.push_back(text.substr(from));
    return words;
}

void checkGroups(const std::vector<std::string> &words)
{
    std::vector<wstool::Group> groups;
    try {
        groups = wstool::parseGroups(words);
    } catch (const wstool::UsageError &) {
        return;
    }
    size_t inside = 0;
    for (size_t i = 0; i < groups.size(); ++i) {
        // Only the first group can be the unnamed one, and it is never empty.
        FUZZ_CHECK(!groups[i].name.empty() || (i == 0 && !groups[i].words.empty()));
        for (const std::string &w : groups[i].words)
            FUZZ_CHECK(w != ")");
        inside += groups[i].words.size();
        // A word of a group is read by a SwitchReader to its end.
        wstool::SwitchReader r(groups[i]);
        while (!r.atEnd())
            if (!r.optionalValue())
                r.next();
    }
    FUZZ_CHECK(inside <= words.size());
}

void tromvaxOptions(const std::vector<std::string> &words)
{
    try {
        const tromvax::Options o = tromvax::parseOptions(words);
        if (o.help)
            return;
        FUZZ_CHECK(!o.input.empty());
        FUZZ_CHECK(o.mode() == tromvax::Mode::Measure || !o.output.empty());
        FUZZ_CHECK(o.channels == 2 || o.channels == 6);
        FUZZ_CHECK(!o.substream || (*o.substream >= 0 && *o.substream <= 0x1FF));
        FUZZ_CHECK(!o.delayMs || std::isfinite(*o.delayMs));
        FUZZ_CHECK(!o.gainDb || std::isfinite(*o.gainDb));
        FUZZ_CHECK(!o.rate || (*o.rate >= 1000 && *o.rate <= 384000));
        (void)tromvax::delayFromFileName(o.input);
    } catch (const wstool::UsageError &) {
    }
}

void karduneOptions(const std::vector<std::string> &words)
{
    try {
        const kardune::Options o = kardune::parseOptions(words);
        if (o.mode == kardune::Mode::Help)
            return;
        FUZZ_CHECK(!o.input.empty() && !o.prefix.empty());
        for (double len : o.lengths)
            FUZZ_CHECK(std::isfinite(len) && len > 0);
        (void)kardune::partName(o, 1);
        (void)kardune::partName(o, 100);
    } catch (const wstool::UsageError &) {
    }
}

void aacencRequest(const std::vector<std::string> &words)
{
    try {
        const aacenc::Request r = aacenc::parseRequest(words);
        if (r.help)
            return;
        FUZZ_CHECK(!r.input.empty() && !r.output.empty());
        FUZZ_CHECK(r.threads >= 0 && r.threads <= 64);
        FUZZ_CHECK(!r.quality || (*r.quality >= 0.05 && *r.quality <= 1.0));
        for (int channels : {1, 2, 6}) {
            const aacenc::RateChoice c = aacenc::chooseRate(r, channels, channels == 6 ? 5 : channels, 48000);
            FUZZ_CHECK(c.bitRate > 0 && c.cutoff >= 0 && c.cutoff <= 24000);
        }
    } catch (const wstool::UsageError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t choice = data[0];
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::vector<std::string> words = (choice & 4) ? wstool::splitCommandLine(text) : lines(text);
    if (choice & 4)
        for (const std::string &w : words)
            FUZZ_CHECK(w.find('"') == std::string::npos);
    checkGroups(words);
    switch (choice & 3) {
    case 0:
        tromvaxOptions(words);
        break;
    case 1:
        karduneOptions(words);
        break;
    default:
        aacencRequest(words);
        break;
    }
    return 0;
}
