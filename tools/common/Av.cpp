#include "Av.h"

namespace wstool {

std::string avError(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

int avCheck(int err, const std::string &what)
{
    if (err < 0)
        throw ToolError(what + ": " + avError(err));
    return err;
}

void OutputFormatDeleter::operator()(AVFormatContext *c) const
{
    if (c && c->oformat && !(c->oformat->flags & AVFMT_NOFILE) && c->pb)
        avio_closep(&c->pb);
    avformat_free_context(c);
}

std::string layoutName(const AVChannelLayout &layout)
{
    char buf[128] = {};
    if (av_channel_layout_describe(&layout, buf, sizeof buf) < 0)
        return std::to_string(layout.nb_channels) + " channels";
    return buf;
}

FramePtr makeFrame()
{
    FramePtr f(av_frame_alloc());
    if (!f)
        throw ToolError("out of memory");
    return f;
}

PacketPtr makePacket()
{
    PacketPtr p(av_packet_alloc());
    if (!p)
        throw ToolError("out of memory");
    return p;
}

void finishOutput(AVFormatContext *out, const std::string &path)
{
    avCheck(av_write_trailer(out), "cannot write " + path);
    const int err = out->pb->error;
    avCheck(avio_closep(&out->pb), "cannot write " + path);
    avCheck(err, "cannot write " + path);
}

InputFormatPtr openInput(const std::string &path, const AVInputFormat *format)
{
    AVFormatContext *raw = nullptr;
    avCheck(avformat_open_input(&raw, path.c_str(), format, nullptr), "cannot open " + path);
    InputFormatPtr ctx(raw);
    avCheck(avformat_find_stream_info(ctx.get(), nullptr), "cannot read " + path);
    return ctx;
}

} // namespace wstool
