#include "WavInput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace wstool {

bool wavDataLengthOverflows(const uint8_t *head, size_t n, uint64_t fileSize)
{
    if (n < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return false; // RF64 and BW64 state 64-bit lengths
    for (size_t pos = 12; pos + 8 <= n;) {
        const uint64_t size = head[pos + 4] | (head[pos + 5] << 8) | (head[pos + 6] << 16) |
                              (uint64_t(head[pos + 7]) << 24);
        if (std::memcmp(head + pos, "data", 4) == 0)
            return fileSize >= pos + 8 && fileSize - (pos + 8) >= (uint64_t(1) << 32);
        pos += 8 + size + (size & 1);
    }
    return false;
}

std::string wavChunkPastEnd(const std::function<bool(uint64_t pos, uint8_t *out, size_t n)> &readAt,
                            uint64_t fileSize)
{
    uint8_t h[12];
    if (!readAt(0, h, 12) || std::memcmp(h + 8, "WAVE", 4) != 0)
        return {};
    const bool riff = std::memcmp(h, "RIFF", 4) == 0;
    if (!riff && std::memcmp(h, "RF64", 4) != 0 && std::memcmp(h, "BW64", 4) != 0)
        return {};
    // Chunk headers are few; the bound only stops a walk over a file of
    // nothing but empty chunks.
    uint64_t pos = 12;
    for (int chunks = 0; chunks < 4096 && pos + 8 <= fileSize && readAt(pos, h, 8); ++chunks) {
        const uint64_t size = h[4] | (h[5] << 8) | (h[6] << 16) | (uint64_t(h[7]) << 24);
        const uint64_t end = pos + 8 + size + (size & 1);
        if (std::memcmp(h, "data", 4) == 0) {
            // The audio may run to the end of the file (a placeholder, 0 or a
            // length past 4 GiB; RF64 states it elsewhere): what follows
            // cannot be told.
            if (!riff || size == 0 || size == 0xFFFFFFFFu || end > fileSize)
                return {};
        } else if (pos + 8 + size > fileSize) {
            std::string id;
            for (int i = 0; i < 4; ++i)
                id += h[i] >= 0x20 && h[i] < 0x7F ? char(h[i]) : '?';
            return id + " chunk at byte " + std::to_string(pos);
        }
        pos = end;
    }
    return {};
}

InputFormatPtr openWavInput(const std::string &path, int packetBytes)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        throw ToolError("cannot open " + path + ": " + std::strerror(errno));
    if (st.st_size == 0)
        throw ToolError(path + " is empty");
    AVDictionary *opts = nullptr;
    // The demuxer's default packets of 4 KiB make long files slow to stream.
    av_dict_set_int(&opts, "max_size", packetBytes, 0);
    // It also probes 16-bit PCM for S/PDIF bitstreams (DTS or AC3 in a WAV);
    // with large packets the default 5 MB of probing costs more than reading
    // a whole minute of audio, and a bitstream shows itself much sooner.
    av_dict_set_int(&opts, "probesize", 1 << 16, 0);
    if (std::FILE *f = std::fopen(path.c_str(), "rb")) {
        std::vector<uint8_t> head(1 << 16);
        const size_t n = std::fread(head.data(), 1, head.size(), f);
        const std::string pastEnd = wavChunkPastEnd(
            [f](uint64_t pos, uint8_t *out, size_t count) {
                return ::fseeko(f, off_t(pos), SEEK_SET) == 0 && std::fread(out, 1, count, f) == count;
            },
            uint64_t(st.st_size));
        std::fclose(f);
        if (!pastEnd.empty()) {
            av_dict_free(&opts);
            throw ToolError(path + " is damaged: its " + pastEnd + " runs past the end of the file");
        }
        if (wavDataLengthOverflows(head.data(), n, uint64_t(st.st_size)))
            av_dict_set(&opts, "ignore_length", "1", 0);
    }
    AVFormatContext *raw = nullptr;
    const int err = avformat_open_input(&raw, path.c_str(), av_find_input_format("wav"), &opts);
    av_dict_free(&opts);
    if (err < 0)
        throw ToolError(path + " is not a readable WAV file (" + avError(err) + ")");
    InputFormatPtr ctx(raw);
    const int info = avformat_find_stream_info(ctx.get(), nullptr);
    if (info < 0)
        throw ToolError(path + " is not a readable WAV file (" + avError(info) + ")");
    if (ctx->nb_streams < 1 || ctx->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
        throw ToolError(path + " holds no audio");
    return ctx;
}

} // namespace wstool
