#include "Av.h"

#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <new>
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

// Reading back the partial file a muxer writes: its own position, so that
// reading never moves the writer's.
struct ReadBack {
    int fd = -1;
    int64_t pos = 0;
};

int readBack(void *opaque, uint8_t *buf, int size)
{
    auto *r = static_cast<ReadBack *>(opaque);
    for (;;) {
        const ssize_t n = ::pread(r->fd, buf, size_t(size), off_t(r->pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return AVERROR(errno);
        if (n == 0)
            return AVERROR_EOF;
        r->pos += n;
        return int(n);
    }
}

int64_t seekBack(void *opaque, int64_t offset, int whence)
{
    auto *r = static_cast<ReadBack *>(opaque);
    whence &= ~AVSEEK_FORCE;
    struct stat st;
    if ((whence == AVSEEK_SIZE || whence == SEEK_END) && ::fstat(r->fd, &st) != 0)
        return AVERROR(errno);
    int64_t to = 0;
    switch (whence) {
    case AVSEEK_SIZE: return int64_t(st.st_size);
    case SEEK_SET: to = offset; break;
    case SEEK_CUR: to = r->pos + offset; break;
    case SEEK_END: to = int64_t(st.st_size) + offset; break;
    default: return AVERROR(EINVAL);
    }
    if (to < 0)
        return AVERROR(EINVAL);
    r->pos = to;
    return to;
}

// A muxer that makes a second pass over its output re-opens it for reading
// by its name (the MP4 muxer's faststart does). Under that name there is
// nothing yet, or the file this one is going to replace: the muxer reads
// the partial file through its descriptor instead. Nothing else is opened.
int reopenOutput(AVFormatContext *s, AVIOContext **pb, const char *url, int flags, AVDictionary **)
{
    if (flags != AVIO_FLAG_READ || !url || !s->url || std::strcmp(url, s->url) != 0)
        return AVERROR(EPERM);
    constexpr int kBuffer = 1 << 16;
    auto *reader = new (std::nothrow) ReadBack{fdOf(s->opaque), 0};
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBuffer));
    *pb = reader && buffer ? avio_alloc_context(buffer, kBuffer, 0, reader, readBack, nullptr, seekBack) : nullptr;
    if (!*pb) {
        delete reader;
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    return 0;
}

int closeReopened(AVFormatContext *, AVIOContext *pb)
{
    if (pb) {
        delete static_cast<ReadBack *>(pb->opaque);
        av_freep(&pb->buffer);
        avio_context_free(&pb);
    }
    return 0;
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
    out->opaque = reinterpret_cast<void *>(intptr_t(file.fd()));
    out->io_open = reopenOutput;
    out->io_close2 = closeReopened;
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
