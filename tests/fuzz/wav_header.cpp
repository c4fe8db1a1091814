// WAV, RF64 and BW64 input as the encoder reads it: the input is the file.
// Its header goes through the check for a RIFF data length past 4 GiB (with
// the file's own size and as if the file were 4 GiB longer), then through
// the encoder's WAV reader, which reads all its samples; a file the reader
// takes is then encoded, part comment and all, as aacenc would.
#include "EncoderSettings.h"
#include "FuzzSupport.h"
#include "PartSpan.h"
#include "WavEncoder.h"
#include "WavInput.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const size_t head = std::min<size_t>(size, 1 << 16);
    (void)wstool::wavDataLengthOverflows(data, head, size);
    (void)wstool::wavDataLengthOverflows(data, head, uint64_t(size) + (uint64_t(1) << 32));

    const std::string dir = wsfuzz::scratchDir();
    const std::string in = dir + "/in.wav", out = dir + "/out.aac";
    wsfuzz::writeFile(in, data, size);
    const bool keepLfe = size & 1;
    bool readable = false;
    try {
        aacenc::WavSource src(in, keepLfe);
        FUZZ_CHECK(src.inputChannels() >= 1 && src.inputChannels() <= 6);
        FUZZ_CHECK(src.codedLayout().nb_channels >= 1 && src.codedLayout().nb_channels <= src.inputChannels());
        (void)src.declaredSamples();
        (void)wstool::parseTrimNote(src.comment());
        wstool::AudioFifoPtr fifo(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, src.codedLayout().nb_channels, 4096));
        FUZZ_CHECK(fifo != nullptr);
        while (src.readInto(fifo.get()))
            av_audio_fifo_drain(fifo.get(), av_audio_fifo_size(fifo.get()));
        // Samples come from the file's bytes: never more than it holds.
        FUZZ_CHECK(src.samplesRead() <= int64_t(size));
        readable = true;
    } catch (const wstool::ToolError &) {
    }
    if (readable) {
        aacenc::Request r;
        r.input = in;
        r.output = out;
        r.preset = "normal";
        r.adif = size & 2;
        r.keepLfe = keepLfe;
        r.threads = 2;
        try {
            (void)aacenc::encode(r);
        } catch (const wstool::ToolError &) {
        }
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    return 0;
}
