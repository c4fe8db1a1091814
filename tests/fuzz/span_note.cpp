// The splitter's span notes (part path + ".span"): the input is the note. A
// note the reader takes goes on as the transcoder uses it: the part's trim at
// several output rates and delays, the resampler's alignment, and the hand-on
// of the next part's run-in when the note names one.
#include "FuzzSupport.h"
#include "PartSpan.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string dir = wsfuzz::scratchDir();
    const std::string part = dir + "/01.ac3";
    const std::string note = wstool::spanPath(part);
    wsfuzz::writeFile(note, data, size);
    // The part's own bytes, from which a hand-on takes the next run-in.
    wsfuzz::writeFile(part, std::string(4096, '\x55'));

    std::vector<uint8_t> before, after;
    std::optional<wstool::HandOn> handOn;
    const std::optional<wstool::PartSpan> span = wstool::readSpan(note, &before, &after, &handOn);
    if (span) {
        FUZZ_CHECK(span->rate > 0 && span->first <= span->start);
        FUZZ_CHECK(span->end < 0 || span->end > span->start);
        for (int outRate : {8000, 44100, 48000, 96000, span->rate}) {
            for (int64_t shift : {int64_t(0), int64_t(-4096), int64_t(2048)}) {
                const wstool::PartTrim t = wstool::trimFor(*span, outRate, shift);
                FUZZ_CHECK(t.lead >= 0 && t.lead % wstool::kBlock == 0);
            }
            const int64_t drop = wstool::resampleAlignment(*span, outRate);
            FUZZ_CHECK(drop >= 0);
        }
        if (handOn) {
            FUZZ_CHECK(!handOn->note.empty() && handOn->note.find('/') == std::string::npos);
            std::string why;
            (void)wstool::handOnRunIn(part, *handOn, &why);
        }
    }
    std::remove(note.c_str());
    std::remove((note + ".new").c_str());
    std::remove(part.c_str());
    return 0;
}
