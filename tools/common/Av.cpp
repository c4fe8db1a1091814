#include "Av.h"

#include "AtomicFile.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

int fdOf(void *opaque) { return int(reinterpret_cast<intptr_t>(opaque)); }

int writeToFd(void *opaque, uint8_t *buf, int size)
{
    for (int done = 0; done < size;) {
        const ssize_t n = ::write(fdOf(opaque), buf + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return AVERROR(n < 0 ? errno : EIO);
        done += int(n);
    }
    return size;
}

int64_t seekInFd(void *opaque, int64_t offset, int whence)
{
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat st;
        return ::fstat(fdOf(opaque), &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fdOf(opaque), off_t(offset), whence);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

} // namespace

AVIOContext *openFileIo(AtomicFile &file)
{
    file.restart();
    constexpr int kBuffer = 1 << 16;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBuffer));
    AVIOContext *io = buffer ? avio_alloc_context(buffer, kBuffer, 1, reinterpret_cast<void *>(intptr_t(file.fd())),
                                                  nullptr, writeToFd, seekInFd)
                             : nullptr;
    if (!io) {
        av_free(buffer);
        throw ToolError("out of memory");
    }
    return io;
}

int closeFileIo(AVIOContext **io)
{
    if (!*io)
        return 0;
    avio_flush(*io);
    const int err = (*io)->error;
    av_freep(&(*io)->buffer);
    avio_context_free(io);
    return err < 0 ? err : 0;
}

OutputFormatPtr openMuxer(const char *format, AtomicFile &file)
{
    AVFormatContext *raw = nullptr;
    avCheck(avformat_alloc_output_context2(&raw, nullptr, format, file.target().c_str()),
            "cannot write " + file.target());
    OutputFormatPtr out(raw);
    out->pb = openFileIo(file);
    out->flags |= AVFMT_FLAG_CUSTOM_IO;
    return out;
}

void OutputFormatDeleter::operator()(AVFormatContext *c) const
{
    if (c && (c->flags & AVFMT_FLAG_CUSTOM_IO)) {
        if (c->pb) {
            av_freep(&c->pb->buffer);
            avio_context_free(&c->pb);
        }
    } else if (c && c->oformat && !(c->oformat->flags & AVFMT_NOFILE) && c->pb) {
        avio_closep(&c->pb);
    }
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
    avCheck(closeFileIo(&out->pb), "cannot write " + path);
}

std::string readErrorText(AVFormatContext *in, int err, const std::string &name)
{
    const int64_t at = in->pb ? avio_tell(in->pb) : -1;
    return "cannot read " + name + (at >= 0 ? " past byte " + std::to_string(at) : std::string()) + ": " +
           avError(err);
}

void checkRead(AVFormatContext *in, int err, const std::string &name)
{
    if (in->pb && in->pb->error < 0)
        throw ToolError(readErrorText(in, in->pb->error, name));
    if (err < 0 && err != AVERROR_EOF)
        throw ToolError(readErrorText(in, err, name));
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
