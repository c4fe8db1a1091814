#include "WavInput.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace wstool {

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
