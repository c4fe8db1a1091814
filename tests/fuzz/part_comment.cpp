// The WAV part comment the transcoder writes for the encoder ("wavesmithy part
// lead N keep M"): the input is the comment text. A comment the reader takes
// must come back the same from the text the writer makes of it.
#include "FuzzSupport.h"
#include "PartSpan.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::optional<wstool::PartTrim> t = wstool::parseTrimNote(text);
    if (!t)
        return 0;
    FUZZ_CHECK(t->lead >= 0 && t->keep >= -1);
    const std::optional<wstool::PartTrim> again = wstool::parseTrimNote(wstool::trimNote(*t));
    FUZZ_CHECK(again && again->lead == t->lead && again->keep == t->keep);
    return 0;
}
