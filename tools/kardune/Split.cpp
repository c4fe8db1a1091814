#include "Split.h"

#include "AtomicFile.h"
#include "PartSpan.h"
#include "Av.h"
#include "SourceFrames.h"
#include "WavInput.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace kardune {

using wstool::AtomicFile;
using wstool::ToolError;
using wstool::secondsText;

namespace {

uint64_t fileSize(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

// The parts of one run: numbered without gaps, each appearing under its name
// only when complete (AtomicFile). Unless the run succeeds, the parts it made
// are removed again, also when the tool is interrupted.
class PartSet {
public:
    PartSet(const Options &o, wstool::ToolLog &log) : o_(o), log_(log) {}
    ~PartSet()
    {
        if (!kept_)
            for (const std::string &p : made_)
                std::remove(p.c_str());
    }

    std::unique_ptr<AtomicFile> begin()
    {
        const std::string name = partName(o_, result.parts + 1);
        struct stat part, source;
        if (::stat(name.c_str(), &part) == 0) {
            if (!o_.replace)
                throw ToolError("part " + name + " already exists (-r allows replacing it)");
            if (::stat(o_.input.c_str(), &source) == 0 && part.st_dev == source.st_dev &&
                part.st_ino == source.st_ino)
                throw ToolError("part " + name + " would replace the source itself");
        }
        return std::make_unique<AtomicFile>(name);
    }

    void commit(AtomicFile &f, double seconds)
    {
        const uint64_t bytes = f.size();
        f.commit();
        made(f.target());
        ++result.parts;
        result.seconds += seconds;
        result.bytes += bytes;
        log_.line("Part " + partNumber(result.parts) + ": " + f.target() + ", " + secondsText(seconds) +
                  " s, " + std::to_string(bytes) + " bytes");
    }

    // The span note of a part, listed with the parts, so that a failed run
    // removes it too.
    void addSpan(const std::string &part, const wstool::PartSpan &span, const std::vector<uint8_t> &before,
                 const std::vector<uint8_t> &after, const wstool::HandOn *handOn = nullptr)
    {
        const std::string path = wstool::spanPath(part);
        wstool::writeSpan(path, span, before, after, handOn);
        made(path);
    }

    // A remark on the source that the log and standard error both get.
    void note(const std::string &text)
    {
        log_.line("Note: " + text);
        result.note = text;
    }

    void keep()
    {
        kept_ = true;
        cleanup_.clear();
    }
    SplitResult result;

private:
    void made(const std::string &path)
    {
        made_.push_back(path);
        cleanup_.emplace_back(path);
    }

    const Options &o_;
    wstool::ToolLog &log_;
    std::vector<std::string> made_;
    std::vector<wstool::CleanupPath> cleanup_;
    bool kept_ = false;
};

// Copies bytes [from, to) of an open source into a part, leaving out the
// bytes [gapFrom, gapTo) (a last frame cut short).
void copyRange(std::FILE *src, const std::string &srcPath, uint64_t from, uint64_t to, AtomicFile &part,
               uint64_t gapFrom = 0, uint64_t gapTo = 0)
{
    wstool::StreamPtr dst = part.stream();
    std::vector<char> buf(1 << 20);
    bool ok = true;
    const auto copy = [&](uint64_t a, uint64_t b) {
        ok = ok && std::fseek(src, long(a), SEEK_SET) == 0;
        for (uint64_t left = b - a; ok && left > 0;) {
            const size_t n = std::fread(buf.data(), 1, size_t(std::min<uint64_t>(left, buf.size())), src);
            if (n == 0)
                throw ToolError("cannot read " + srcPath + " past byte " + std::to_string(b - left));
            ok = std::fwrite(buf.data(), 1, n, dst.get()) == n;
            left -= n;
        }
    };
    if (gapFrom < gapTo && from <= gapFrom && gapTo <= to) {
        copy(from, gapFrom);
        copy(gapTo, to);
    } else {
        copy(from, to);
    }
    const int err = errno;
    if (std::fclose(dst.release()) != 0 || !ok)
        throw ToolError("cannot write " + part.target() + ": " + std::strerror(ok ? errno : err));
}

// Reads bytes [from, to) of an open source.
std::vector<uint8_t> readRange(std::FILE *src, const std::string &srcPath, uint64_t from, uint64_t to)
{
    std::vector<uint8_t> out(size_t(to - from));
    if (!out.empty() && (std::fseek(src, long(from), SEEK_SET) != 0 ||
                         std::fread(out.data(), 1, out.size(), src) != out.size()))
        throw ToolError("cannot read " + srcPath);
    return out;
}

// Whole frames carried before and after each part in its span note: the
// decoder's first block of a part has no overlap partner, so a few frames
// before it are decoded and dropped; the encoder needs audio on both sides
// of each boundary as well. A part's carried audio starts on a multiple of
// five frames, so that a resampled part starts on the output's sample grid
// (five AC3 frames at 48 kHz are 7056 samples at 44.1 kHz).
constexpr size_t kRunInFrames = 6;
constexpr size_t kRunOutFrames = 4;
constexpr size_t kGridFrames = 5;

// Where a single decode of an MPEG audio file begins: libavformat's MP3
// demuxer passes over a LAME/Xing tag frame and has the decoder drop the
// encoder's delay that the tag names. Returns the offset of the first frame
// it hands out and the samples dropped from it; {0, 0} when it cannot tell.
struct DecodeStart {
    uint64_t offset = 0;
    int64_t skip = 0;
};

DecodeStart mpegDecodeStart(const std::string &path)
{
    DecodeStart d;
    try {
        wstool::InputFormatPtr in = wstool::openInput(path, av_find_input_format("mp3"));
        wstool::PacketPtr pkt = wstool::makePacket();
        while (av_read_frame(in.get(), pkt.get()) >= 0) {
            if (in->streams[pkt->stream_index]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
                av_packet_unref(pkt.get());
                continue;
            }
            d.offset = pkt->pos > 0 ? uint64_t(pkt->pos) : 0;
            size_t size = 0;
            if (const uint8_t *side = av_packet_get_side_data(pkt.get(), AV_PKT_DATA_SKIP_SAMPLES, &size);
                side && size >= 4)
                d.skip = AV_RL32(side);
            break;
        }
    } catch (const ToolError &) {
        // The splitter's own scan decides whether the file is MPEG audio.
    }
    return d;
}

SplitResult splitFrames(const Options &o, wstool::ToolLog &log, StreamKind kind)
{
    FrameScanner scanner(o.input, kind);
    if (scanner.fileSize() == 0)
        throw ToolError(o.input + " is empty");
    std::FILE *src = std::fopen(o.input.c_str(), "rb");
    if (!src)
        throw ToolError("cannot open " + o.input + ": " + std::strerror(errno));
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> srcHolder(src, &std::fclose);

    // Every frame's place in the file and on the sample time line, and the
    // frames that start a part.
    struct Unit {
        uint64_t offset;
        int64_t sample;
        int samples;
    };
    std::vector<Unit> units;
    std::vector<size_t> firsts{0};
    std::vector<double> partSeconds{0};
    PartPlan plan(o.lengths);
    double t = 0;
    int64_t sample = 0;
    int rate = 0;
    FrameScanner::Frame f;
    while (scanner.next(f)) {
        if (plan.startsNewPart(t, f.seconds()) && scanner.framesSeen() > 1) {
            firsts.push_back(units.size());
            partSeconds.push_back(0);
        }
        units.push_back({f.offset, sample, f.samples});
        partSeconds.back() += f.seconds();
        t += f.seconds();
        sample += f.samples;
        rate = f.sampleRate;
    }
    if (scanner.framesSeen() == 0)
        throw ToolError("no " + std::string(kindName(kind)) +
                        " frames found in " + o.input);
    if (scanner.junkBytes() > 0)
        log.line("Note: " + std::to_string(scanner.junkBytes()) +
                 " bytes of the source are no audio frames; they stay in the parts");

    // The span notes count samples from where a single decode of the whole
    // source begins. For an MP3 with an encoder-delay tag that is after the
    // tag frame and the delay; the first part starts with the tag, so its
    // decode begins there too, and later parts never carry the tag frame in
    // their run-in (its decode would drop the delay once more).
    size_t audible = 0;
    int64_t origin = 0;
    if (kind == StreamKind::MpegAudio) {
        const DecodeStart d = mpegDecodeStart(o.input);
        for (size_t u = 0; u < units.size() && units[u].offset <= d.offset; ++u)
            if (units[u].offset == d.offset) {
                audible = u;
                origin = units[u].sample + d.skip;
            }
        if (origin > 0)
            log.line("Note: a single decode starts " + std::to_string(origin) +
                     " samples into the frames (encoder-delay tag)");
    }

    PartSet parts(o, log);
    // Long parts carry about 12 s more, for the encoder to settle; so does a
    // short last part of such a split, at little cost for the whole job.
    const double extraRunIn = wstool::extraRunInSeconds(*std::max_element(partSeconds.begin(), partSeconds.end()));
    // The bytes of a last frame cut short go into no part and no note.
    const uint64_t cutAt = scanner.cutBytes() > 0 ? scanner.cutAt() : scanner.fileSize();
    const uint64_t cutEnd = scanner.cutBytes() > 0 ? scanner.cutAt() + scanner.cutBytes() : scanner.fileSize();
    if (scanner.cutBytes() > 0)
        parts.note("the source ends inside a frame: its last " + std::to_string(scanner.cutBytes()) +
                   " bytes (from byte " + std::to_string(cutAt) + ") were left out");
    const auto offsetOf = [&](size_t unit) { return unit < units.size() ? units[unit].offset : cutAt; };
    // Frames shorter than MPEG audio's 1152 samples (DTS: 512) are carried
    // in as many more as cover the same time.
    const auto covering = [&](size_t frames) {
        const size_t n = size_t(std::max(units[0].samples, 1));
        return n >= 1152 ? frames : (frames * 1152 + n - 1) / n;
    };
    const size_t runInFrames = covering(kRunInFrames);
    const size_t runOutFrames = covering(kRunOutFrames);
    // The first frame a part's decode starts from, `extra` seconds before
    // the decoder's own few frames.
    const auto runInUnit = [&](size_t p, double extra) {
        const size_t first = firsts[p];
        size_t want = runInFrames;
        if (extra > 0 && units[first].samples > 0)
            want += size_t(std::ceil(extra * rate / units[first].samples));
        size_t runIn = first >= want ? (first - want) / kGridFrames * kGridFrames : 0;
        if (p > 0)
            runIn = std::min(first, std::max(runIn, audible));
        return runIn;
    };
    const auto endUnit = [&](size_t p) { return p + 1 < firsts.size() ? firsts[p + 1] : units.size(); };
    const auto fromOf = [&](size_t p) { return p == 0 ? uint64_t(0) : units[firsts[p]].offset; };
    // A first part no longer than the tag frame and the delay gets no note:
    // it is decoded whole.
    const auto noted = [&](size_t p) {
        return p > 0 || endUnit(0) == units.size() || units[endUnit(0)].sample > origin;
    };
    // Part p's long run-in lies in part p - 1's file, whose decoder hands it
    // on (see HandOn); part p's note carries only the decoder's few frames.
    const auto handedOn = [&](size_t p) {
        return p > 0 && p < firsts.size() && noted(p - 1) && runInUnit(p, extraRunIn) < runInUnit(p, 0) &&
               units[runInUnit(p, extraRunIn)].offset >= fromOf(p - 1);
    };
    for (size_t p = 0; p < firsts.size(); ++p) {
        const size_t first = firsts[p];
        const size_t end = endUnit(p);
        const uint64_t from = fromOf(p);
        const uint64_t to = end < units.size() ? units[end].offset : scanner.fileSize();
        auto file = parts.begin();
        copyRange(src, o.input, from, to, *file, cutAt, cutEnd);

        const size_t runIn = runInUnit(p, handedOn(p) ? 0 : extraRunIn);
        const size_t runOut = std::min(units.size(), end + runOutFrames);
        wstool::PartSpan span;
        span.first = p == 0 ? 0 : units[runIn].sample - origin;
        span.start = p == 0 ? 0 : units[first].sample - origin;
        span.end = end < units.size() ? units[end].sample - origin : -1;
        span.rate = rate;
        if (noted(p)) {
            std::optional<wstool::HandOn> handOn;
            if (handedOn(p + 1)) {
                const size_t nextRunIn = runInUnit(p + 1, extraRunIn);
                handOn = wstool::HandOn{wstool::spanName(partName(o, int(p) + 2)), int64_t(units[nextRunIn].offset - from),
                                        int64_t(units[end].offset - units[nextRunIn].offset),
                                        units[nextRunIn].sample - origin, units[end].sample - origin};
            }
            parts.addSpan(file->target(), span, readRange(src, o.input, offsetOf(runIn), offsetOf(first)),
                          readRange(src, o.input, offsetOf(end), offsetOf(runOut)), handOn ? &*handOn : nullptr);
        }
        parts.commit(*file, partSeconds[p]);
    }
    log.line("Source: " + std::to_string(scanner.framesSeen()) + " frames at " + std::to_string(rate) +
             " Hz");
    parts.keep();
    return parts.result;
}

// One WAV part, written by libavformat's WAV muxer from the source's PCM.
class WavPartWriter {
public:
    WavPartWriter(AtomicFile &file, const AVCodecParameters *par, bool large)
        : path_(file.target()), out_(wstool::openMuxer("wav", file))
    {
        out_->flags |= AVFMT_FLAG_BITEXACT; // no encoder tag chunk
        st_ = avformat_new_stream(out_.get(), nullptr);
        if (!st_)
            throw ToolError("out of memory");
        wstool::avCheck(avcodec_parameters_copy(st_->codecpar, par), "cannot write " + path_);
        st_->codecpar->codec_tag = 0;
        st_->time_base = AVRational{1, par->sample_rate};
        AVDictionary *opts = nullptr;
        if (large) // parts past 4 GiB need the RF64 form of the header
            av_dict_set(&opts, "rf64", "auto", 0);
        const int err = avformat_write_header(out_.get(), &opts);
        av_dict_free(&opts);
        wstool::avCheck(err, "cannot write " + path_);
        dataOffset_ = avio_tell(out_->pb);
        rate_ = par->sample_rate;
        blockAlign_ = par->block_align;
        pkt_ = wstool::makePacket();
    }

    void write(const uint8_t *data, int64_t samples)
    {
        pkt_->data = const_cast<uint8_t *>(data);
        pkt_->size = int(samples * blockAlign_);
        pkt_->stream_index = 0;
        pkt_->pts = pkt_->dts = av_rescale_q(written_, AVRational{1, rate_}, st_->time_base);
        pkt_->duration = av_rescale_q(samples, AVRational{1, rate_}, st_->time_base);
        wstool::avCheck(av_write_frame(out_.get(), pkt_.get()), "cannot write " + path_);
        written_ += samples;
    }

    void finish()
    {
        wstool::finishOutput(out_.get(), path_);
    }

    int64_t samples() const { return written_; }
    // Where the samples begin in the file.
    int64_t dataOffset() const { return dataOffset_; }

private:
    std::string path_;
    wstool::OutputFormatPtr out_;
    AVStream *st_ = nullptr;
    wstool::PacketPtr pkt_;
    int rate_ = 0, blockAlign_ = 0;
    int64_t written_ = 0;
    int64_t dataOffset_ = 0;
};

// Audio carried before and after each PCM part: the encoder's run-in and
// run-out, the rounding of the boundaries to whole blocks and the
// resampler's reach, with room for a resampling down to 32 kHz.
constexpr double kPcmRunInSeconds = 0.3;
constexpr double kPcmRunOutSeconds = 0.15;

SplitResult splitWav(const Options &o, wstool::ToolLog &log)
{
    wstool::InputFormatPtr in = wstool::openWavInput(o.input);
    const uint64_t sourceBytes = fileSize(o.input);
    const AVCodecParameters *par = in->streams[0]->codecpar;
    const std::string codec = avcodec_get_name(par->codec_id);
    if (codec.rfind("pcm_", 0) != 0 || par->block_align <= 0 || par->sample_rate <= 0)
        throw ToolError(o.input + " does not hold PCM audio (" + codec + ")");
    const int blockAlign = par->block_align;
    const int rate = par->sample_rate;
    const bool large = sourceBytes > (uint64_t(1) << 32) - (1 << 20);

    PartSet parts(o, log);
    PartPlan plan(o.lengths);
    std::unique_ptr<AtomicFile> file;
    std::unique_ptr<WavPartWriter> writer;
    struct Made {
        std::string name;
        int64_t start;
        int64_t dataOffset = 0;
    };
    std::vector<Made> made;
    auto closePart = [&]() {
        writer->finish();
        parts.commit(*file, double(writer->samples()) / rate);
        writer.reset();
        file.reset();
    };

    // The samples must lie in the file as one run of bytes, for the span
    // notes to copy the audio around each part from it.
    int64_t dataStart = -1;
    bool contiguous = true;
    int64_t pos = 0;
    int64_t end = plan.nextEndSample(0, rate);
    int64_t leftOut = 0; // bytes of a sample frame cut short
    wstool::PacketPtr pkt = wstool::makePacket();
    for (;;) {
        const int err = av_read_frame(in.get(), pkt.get());
        wstool::checkRead(in.get(), err, o.input);
        if (err == AVERROR_EOF)
            break;
        if (pkt->stream_index != 0) {
            av_packet_unref(pkt.get());
            continue;
        }
        // A source cut inside a sample frame: the whole frames count.
        if (pkt->size % blockAlign != 0) {
            leftOut += pkt->size % blockAlign;
            pkt->size -= pkt->size % blockAlign;
        }
        if (dataStart < 0)
            dataStart = pkt->pos;
        contiguous = contiguous && pkt->pos >= 0 && pkt->pos == dataStart + pos * blockAlign;
        const uint8_t *data = pkt->data;
        int64_t left = pkt->size / blockAlign;
        while (left > 0) {
            if (!writer) {
                file = parts.begin();
                writer = std::make_unique<WavPartWriter>(*file, par, large);
                made.push_back({file->target(), pos, writer->dataOffset()});
            }
            const int64_t take = end < 0 ? left : std::min(left, end - pos);
            writer->write(data, take);
            data += take * blockAlign;
            left -= take;
            pos += take;
            if (pos == end) {
                closePart();
                end = plan.nextEndSample(pos, rate);
            }
        }
        av_packet_unref(pkt.get());
    }
    if (pos == 0)
        throw ToolError(o.input + " holds no audio" +
                        (leftOut > 0 ? " (it ends inside its first sample frame)" : ""));
    if (leftOut > 0)
        parts.note("the source ends inside a sample frame: its last " + std::to_string(leftOut) +
                   " bytes were left out");
    if (writer)
        closePart();
    log.line("Source: " + std::to_string(pos) + " samples at " + std::to_string(rate) + " Hz, " +
             codec);

    // Span notes, once the source's length is known: each carries the PCM
    // bytes just before and after its part, in the part's own format.
    if (!contiguous) {
        log.line("Note: the source's samples are not stored in one piece; the parts get no span notes");
    } else if (made.size() > 1) {
        std::unique_ptr<std::FILE, int (*)(std::FILE *)> src(std::fopen(o.input.c_str(), "rb"), &std::fclose);
        if (!src)
            throw ToolError("cannot open " + o.input + ": " + std::strerror(errno));
        const int64_t runIn = std::llround(kPcmRunInSeconds * rate);
        const int64_t runOut = std::llround(kPcmRunOutSeconds * rate);
        // As above: the longest part decides the extra run-in of all.
        int64_t longest = 0;
        for (size_t p = 0; p < made.size(); ++p)
            longest = std::max(longest, (p + 1 < made.size() ? made[p + 1].start : pos) - made[p].start);
        const int64_t extra = std::llround(wstool::extraRunInSeconds(double(longest) / rate) * rate);
        const auto at = [&](int64_t sample) { return uint64_t(dataStart + sample * blockAlign); };
        const auto longFirst = [&](size_t p) { return std::max<int64_t>(0, made[p].start - runIn - extra); };
        const auto shortFirst = [&](size_t p) { return std::max<int64_t>(0, made[p].start - runIn); };
        // A long run-in within the previous part is handed on by its
        // decoder, as for compressed parts.
        const auto handedOn = [&](size_t p) {
            return p > 0 && p < made.size() && longFirst(p) < shortFirst(p) && longFirst(p) >= made[p - 1].start;
        };
        for (size_t p = 0; p < made.size(); ++p) {
            wstool::PartSpan span;
            span.start = made[p].start;
            span.end = p + 1 < made.size() ? made[p + 1].start : -1;
            span.first = handedOn(p) ? shortFirst(p) : longFirst(p);
            span.rate = rate;
            std::optional<wstool::HandOn> handOn;
            if (handedOn(p + 1))
                handOn = wstool::HandOn{wstool::spanName(made[p + 1].name),
                                        made[p].dataOffset + (longFirst(p + 1) - span.start) * blockAlign,
                                        (span.end - longFirst(p + 1)) * blockAlign, longFirst(p + 1), span.end};
            const int64_t end = span.end < 0 ? pos : span.end;
            parts.addSpan(made[p].name, span, readRange(src.get(), o.input, at(span.first), at(span.start)),
                          readRange(src.get(), o.input, at(end), at(std::min(pos, end + runOut))),
                          handOn ? &*handOn : nullptr);
        }
    }
    parts.keep();
    return parts.result;
}

} // namespace

PartPlan::PartPlan(const std::vector<double> &lengths)
{
    double sum = 0;
    for (double l : lengths) {
        sum += l;
        ends_.push_back(sum);
    }
}

bool PartPlan::startsNewPart(double start, double duration)
{
    bool crossed = false;
    while (next_ < ends_.size() && start >= ends_[next_] - duration / 2) {
        ++next_;
        crossed = true;
    }
    return crossed;
}

int64_t PartPlan::nextEndSample(int64_t from, int sampleRate)
{
    while (next_ < ends_.size() && std::llround(ends_[next_] * sampleRate) <= from)
        ++next_;
    return next_ < ends_.size() ? std::llround(ends_[next_] * sampleRate) : -1;
}

SplitResult split(const Options &o, wstool::ToolLog &log)
{
    switch (o.partType) {
    case PartType::Ac3:
        return splitFrames(o, log, StreamKind::Ac3);
    case PartType::MpegAudio:
        return splitFrames(o, log, StreamKind::MpegAudio);
    case PartType::Dts:
        return splitFrames(o, log, StreamKind::Dts);
    case PartType::Wav:
        return splitWav(o, log);
    case PartType::Aac:
        break;
    }
    throw ToolError("AAC streams cannot be split");
}

} // namespace kardune
