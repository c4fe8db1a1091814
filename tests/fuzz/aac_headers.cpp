// AAC stream headers: the input is the start of an AAC stream. It is read as
// an ADTS frame header and as an ADIF header; an ADIF header that is taken is
// written again and must read back the same. Then the input is joined, as a
// part file named twice in a join list, by the joiner, which walks ADTS frames
// or reads the ADIF header and decodes the payload behind it.
#include "AacStreamHeaders.h"
#include "Av.h"
#include "FuzzSupport.h"
#include "Join.h"
#include "KarduneOptions.h"
#include "ToolLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <string>

namespace {

void checkAdts(const uint8_t *data, size_t size)
{
    const auto h = wstool::parseAdtsHeader(data, size);
    if (!h)
        return;
    FUZZ_CHECK(h->sampleRate() > 0);
    FUZZ_CHECK(h->headerSize == 7 || h->headerSize == 9);
    FUZZ_CHECK(h->frameSize >= h->headerSize && h->frameSize < (1 << 13));
    FUZZ_CHECK(h->rawBlocks >= 1 && h->rawBlocks <= 4);
}

void checkAdif(const uint8_t *data, size_t size)
{
    const auto h = wstool::parseAdifHeader(data, size);
    if (!h)
        return;
    FUZZ_CHECK(h->size >= 4 && h->size <= size);
    FUZZ_CHECK(!h->programs.empty() && h->programs.size() <= 16);
    FUZZ_CHECK(h->bitrate <= wstool::kAdifMaxBitrate);
    const std::vector<uint8_t> bytes = wstool::writeAdifHeader(*h);
    FUZZ_CHECK(bytes.size() == h->size);
    const auto back = wstool::parseAdifHeader(bytes.data(), bytes.size());
    FUZZ_CHECK(back && back->size == bytes.size());
    FUZZ_CHECK(back->bitrate == h->bitrate && back->variableRate == h->variableRate &&
               back->copyrightId == h->copyrightId && back->programs.size() == h->programs.size());
    for (size_t i = 0; i < h->programs.size(); ++i) {
        const wstool::ProgramConfig &a = h->programs[i].config, &b = back->programs[i].config;
        FUZZ_CHECK(a.sameLayout(b) && a.comment == b.comment);
        FUZZ_CHECK(h->variableRate || h->programs[i].bufferFullness == back->programs[i].bufferFullness);
        FUZZ_CHECK(a.channels() > 0);
        (void)wstool::audioSpecificConfig(a);
    }
}

void join(const uint8_t *data, size_t size)
{
    const std::string dir = wsfuzz::scratchDir();
    const std::string part = dir + "/01.aac", list = dir + "/Kardune.lst", out = dir + "/joined.aac";
    wsfuzz::writeFile(part, data, size);
    wsfuzz::writeFile(list, part + "\n" + part + "\n");
    kardune::Options o;
    o.mode = kardune::Mode::Join;
    o.input = list;
    o.prefix = out;
    o.type = "aac";
    o.partType = kardune::PartType::Aac;
    o.addRiff = size & 1;
    wstool::ToolLog log;
    try {
        const kardune::JoinResult r = kardune::join(o, log);
        FUZZ_CHECK(r.parts == 2);
    } catch (const wstool::ToolError &) {
    }
    std::remove(part.c_str());
    std::remove(list.c_str());
    std::remove(out.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkAdts(data, size);
    checkAdif(data, size);
    join(data, size);
    return 0;
}
