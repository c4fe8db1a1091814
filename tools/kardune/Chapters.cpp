#include "Chapters.h"

#include "AvLogRoute.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kardune {

using wstool::ToolError;

std::vector<ChapterMark> readChapterFile(const std::string &path, wstool::ToolLog &log)
{
    const std::string file = "the chapter file " + path;
    const AVInputFormat *format = av_find_input_format("ffmetadata");
    if (!format)
        throw ToolError("FFmpeg's ffmetadata demuxer is not available");

    // The demuxer takes any text as metadata; its probe knows the first line.
    {
        std::unique_ptr<std::FILE, int (*)(std::FILE *)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
        uint8_t head[64 + AVPROBE_PADDING_SIZE] = {};
        const size_t n = f ? std::fread(head, 1, 64, f.get()) : 0;
        if (!f || std::ferror(f.get()))
            throw ToolError("cannot read " + file + ": " + std::strerror(errno));
        AVProbeData probe{path.c_str(), head, int(n), nullptr};
        if (av_probe_input_format(&probe, 1) != format)
            throw ToolError(file + " is not an FFmpeg metadata file (it does not begin with ;FFMETADATA1)");
    }

    // The demuxer reports a malformed chapter only in its messages, and reads on.
    wstool::InputFormatPtr in;
    {
        wstool::AvLogRoute route(log);
        AVFormatContext *ctx = nullptr;
        const int err = avformat_open_input(&ctx, path.c_str(), format, nullptr);
        in.reset(ctx);
        const std::string why = wstool::AvLogRoute::lastError();
        const int readErr = err < 0 ? err : in->pb ? in->pb->error : 0;
        if (readErr < 0 && why.empty())
            throw ToolError("cannot read " + file + ": " + wstool::avError(readErr));
        // (A chapter ending before its start fails the open as if memory ran out.)
        if (!why.empty())
            throw ToolError(file + " is malformed: " + why);
    }

    std::vector<ChapterMark> marks;
    for (unsigned i = 0; i < in->nb_chapters; ++i) {
        const AVChapter *c = in->chapters[i];
        if (c->time_base.num <= 0 || c->time_base.den <= 0)
            throw ToolError(file + " is malformed: chapter " + std::to_string(i + 1) + " has the time base " +
                            std::to_string(c->time_base.num) + "/" + std::to_string(c->time_base.den));
        const AVDictionaryEntry *title = av_dict_get(c->metadata, "title", nullptr, 0);
        marks.push_back({c->time_base, c->start, title ? title->value : ""});
    }
    if (marks.empty())
        throw ToolError(file + " holds no chapters (no [CHAPTER] section)");
    return marks;
}

std::vector<FittedChapter> fitChapters(const std::vector<ChapterMark> &marks, int rate, int64_t length, int *dropped)
{
    struct Start {
        int64_t sample;
        const ChapterMark *mark;
    };
    std::vector<Start> starts;
    for (const ChapterMark &m : marks) {
        int64_t s = av_rescale_q_rnd(m.start, m.timeBase, AVRational{1, rate},
                                     AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
        if (s == INT64_MIN) // too far from 0 to count in samples
            s = m.start > 0 ? INT64_MAX : 0;
        if (s < length)
            starts.push_back({std::max<int64_t>(s, 0), &m});
    }
    std::stable_sort(starts.begin(), starts.end(), [](const Start &a, const Start &b) { return a.sample < b.sample; });
    std::vector<FittedChapter> out;
    for (size_t i = 0; i < starts.size(); ++i) {
        const int64_t end = i + 1 < starts.size() ? starts[i + 1].sample : length;
        if (end > starts[i].sample)
            out.push_back({starts[i].sample, end, starts[i].mark->title});
    }
    if (dropped)
        *dropped = int(marks.size() - out.size());
    return out;
}

void addChapters(AVFormatContext *out, const std::vector<FittedChapter> &chapters, int rate)
{
    if (chapters.empty())
        return;
    // The context owns them: avformat_free_context() frees each chapter and its tags.
    out->chapters = static_cast<AVChapter **>(av_calloc(chapters.size(), sizeof(AVChapter *)));
    if (!out->chapters)
        throw ToolError("out of memory");
    for (const FittedChapter &f : chapters) {
        auto *c = static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter)));
        if (!c)
            throw ToolError("out of memory");
        out->chapters[out->nb_chapters] = c;
        c->id = out->nb_chapters++;
        c->time_base = AVRational{1, rate};
        c->start = f.start;
        c->end = f.end;
        if (!f.title.empty() && av_dict_set(&c->metadata, "title", f.title.c_str(), 0) < 0)
            throw ToolError("out of memory");
    }
}

} // namespace kardune
