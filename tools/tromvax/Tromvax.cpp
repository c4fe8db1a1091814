#include "Tromvax.h"

#include "AvLogRoute.h"
#include "Chain.h"
#include "CommandLine.h"
#include "Disc.h"
#include "Input.h"
#include "Levels.h"
#include "Loudness.h"
#include "Options.h"
#include "Output.h"
#include "SplitPeak.h"
#include "PartSpan.h"
#include "ToolLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

using wstool::ToolError;
using wstool::ToolLog;
using wstool::UsageError;

namespace tromvax {

namespace {

using Clock = std::chrono::steady_clock;

std::string commandText(const std::vector<std::string> &words)
{
    std::string s;
    for (const std::string &w : words) {
        if (!s.empty())
            s += ' ';
        if (w.empty() || w.find(' ') != std::string::npos)
            s += '"' + w + '"';
        else
            s += w;
    }
    return s;
}

std::string seconds(double s) { return wstool::secondsText(s) + " s"; }

bool isPcm(AVCodecID id)
{
    const AVCodecDescriptor *d = avcodec_descriptor_get(id);
    return d && std::strncmp(d->name, "pcm_", 4) == 0;
}

// Reads the whole source through the decoder (ahead, on a second thread,
// when a core is free), handing each decoded frame on.
void pump(Demuxer &dmx, Decoder &dec, ToolLog &log, const std::function<void(AVFrame *)> &onFrame)
{
    const bool ahead = FrameSource::spareCore();
    if (ahead)
        log.line("Decoding ahead on a second thread");
    FrameSource source(dmx, dec, ahead);
    auto frame = wstool::makeFrame();
    while (source.next(frame.get())) {
        onFrame(frame.get());
        av_frame_unref(frame.get());
    }
}

class Runner {
public:
    Runner(const Options &o, ToolLog &log) : o_(o), log_(log) {}

    void decode();
    double measure(); // the gain pass, reported; returns the gain
    void extract();
    void list(std::ostream &out);

private:
    struct Source {
        std::unique_ptr<Demuxer> dmx;
        std::unique_ptr<Decoder> dec;
    };
    Source open(bool report = true);
    // The input's demuxer: a file, or a disc's title.
    std::unique_ptr<Demuxer> demuxer(const std::string &path);
    // The substream to take from `dmx`: the one asked for, a disc title's
    // first audio track, or the first of the title set's tracks present in a
    // VOB with its IFO beside it; none for the automatic choice.
    std::optional<int> substream(const Demuxer &dmx);
    // The title set a VOB input belongs to, from the IFO beside it (read
    // once, and logged); nullptr for any other input.
    const VobTitleSet *vobTitleSet();
    void describe(const Source &s);
    ChainPlan plan(bool measuring, double gainDb) const;
    double measureGain(); // the first pass of -g max or -g lufs:T with a WAV output
    PeakScan scanPeak(); // the whole source through the measuring chain
    void reportDecoding(const PeakScan &counts);
    void reportDecoding(const Demuxer &dmx, const Decoder &dec, const Chain &chain);
    double reportGain(double peak, int64_t samples, const std::optional<LoudnessReading> &loudness);
    double reportLoudness(double targetLufs, const LoudnessReading &r, double samplePeak);
    void note(const std::string &line) { log_.line(line); }

    const Options &o_;
    ToolLog &log_;
    std::string inputPath_ = o_.input; // what is decoded: the input, or it with its run-in and run-out
    std::shared_ptr<Disc> disc_;        // a disc input, once opened
    const DiscTitle *title_ = nullptr;  // and its title
    std::optional<std::optional<VobTitleSet>> vobSet_; // a VOB's title set, once looked for
    std::string choice_; // how substream() chose, for the log
};

std::string clockText(double s)
{
    const long ms = std::lround(s * 1000);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld.%03ld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return buf;
}

std::unique_ptr<Demuxer> Runner::demuxer(const std::string &path)
{
    if (path != o_.input || !isDiscPath(o_.input))
        return std::make_unique<Demuxer>(path, o_.input);
    if (!disc_) {
        disc_ = std::make_shared<Disc>(o_.input);
        title_ = o_.title ? &disc_->title(*o_.title) : &disc_->longestTitle();
        std::string tracks;
        for (const DiscAudioTrack &a : title_->audio) {
            tracks += std::string(tracks.empty() ? "" : ", ") + substreamIdText(a.id) + " " + a.format + " " +
                      std::to_string(a.channels) + "ch" + (a.language.empty() ? "" : " " + a.language) +
                      (a.commentary ? " (commentary)" : "");
        }
        log_.line("Disc: " + o_.input + ", " + std::to_string(disc_->titles().size()) + " titles");
        log_.line("Title: " + std::to_string(title_->number) + (o_.title ? "" : " (the longest)") + ", " +
                  clockText(title_->seconds) + ", " + std::to_string(title_->chapterStarts.size()) + " chapters" +
                  (title_->angles > 1 ? ", angle 1 of " + std::to_string(title_->angles) : ""));
        log_.line("Audio tracks: " + (tracks.empty() ? std::string("none listed") : tracks));
    }
    return std::make_unique<Demuxer>(std::make_unique<TitleStream>(disc_, title_->number));
}

const VobTitleSet *Runner::vobTitleSet()
{
    if (!vobSet_) {
        vobSet_.emplace(isDiscPath(o_.input) ? std::nullopt : titleSetBesideVob(o_.input));
        if (*vobSet_)
            log_.line("Audio tracks of the title set from " + (*vobSet_)->ifoPath);
    }
    return *vobSet_ ? &**vobSet_ : nullptr;
}

std::optional<int> Runner::substream(const Demuxer &dmx)
{
    choice_.clear();
    if (o_.substream)
        return o_.substream;
    if (title_ && !title_->audio.empty()) {
        choice_ = " (the title's first audio track)";
        return title_->audio.front().id;
    }
    if (const VobTitleSet *set = title_ ? nullptr : vobTitleSet()) {
        const auto present = dmx.audioByChoice();
        for (const DiscAudioTrack &a : set->audio)
            for (const AVStream *st : present)
                if (substreamIdOf(st) == substreamIdText(a.id)) {
                    choice_ = " (the first audio track of the title set's IFO that the file holds)";
                    return a.id;
                }
    }
    choice_ = " (chosen automatically)";
    return std::nullopt;
}

void Runner::list(std::ostream &out)
{
    if (isDiscPath(o_.input)) {
        const Disc disc(o_.input);
        log_.line("Disc: " + o_.input + ", " + std::to_string(disc.titles().size()) + " titles");
        out << listText(disc);
        return;
    }
    // A VOB (or any other file): its audio streams as title 0. Those its
    // title set's IFO lists come first, in the disc's order with the IFO's
    // facts; the rest follow in the order of the automatic choice, with what
    // the file itself tells.
    Demuxer dmx(o_.input);
    std::vector<const AVStream *> streams = dmx.audioByChoice();
    std::vector<std::string> lines;
    if (const VobTitleSet *set = vobTitleSet()) {
        for (const DiscAudioTrack &a : set->audio) {
            const auto st = std::find_if(streams.begin(), streams.end(),
                                         [&](const AVStream *s) { return substreamIdOf(s) == substreamIdText(a.id); });
            if (st == streams.end())
                continue; // listed, but not in this file
            streams.erase(st);
            lines.push_back(audioLine(a));
        }
    }
    for (const AVStream *st : streams) {
        const AVCodecID c = st->codecpar->codec_id;
        const std::string format = c == AV_CODEC_ID_AC3 || c == AV_CODEC_ID_EAC3 ? "ac3"
                                   : c == AV_CODEC_ID_DTS                    ? "dts"
                                   : c == AV_CODEC_ID_PCM_DVD                ? "lpcm"
                                   : c == AV_CODEC_ID_MP1 || c == AV_CODEC_ID_MP2 || c == AV_CODEC_ID_MP3 ? "mpeg"
                                                                                                           : avcodec_get_name(c);
        lines.push_back(substreamIdOf(st) + " " + format + " " + std::to_string(st->codecpar->ch_layout.nb_channels) +
                        " - -");
    }
    out << "title 0 " << wstool::secondsText(dmx.durationSeconds()) << " 0 " << lines.size() << "\n";
    for (const std::string &line : lines)
        out << "audio 0 " << line << "\n";
}

// The input of a split part with the audio its span note carries before and
// after it, in a file beside the output that is never named (where the file
// system allows) and is gone when done.
class JoinedInput {
public:
    JoinedInput(const std::string &output, const std::string &part, const std::vector<uint8_t> &before,
                const std::vector<uint8_t> &after)
        : file_(output + ".in")
    {
        std::FILE *in = std::fopen(part.c_str(), "rb");
        if (!in)
            throw ToolError("cannot open " + part + ": " + std::strerror(errno));
        std::unique_ptr<std::FILE, int (*)(std::FILE *)> inHolder(in, &std::fclose);
        wstool::StreamPtr out = file_.stream();
        bool ok = before.empty() || std::fwrite(before.data(), 1, before.size(), out.get()) == before.size();
        std::vector<char> buf(1 << 20);
        for (size_t n; ok && (n = std::fread(buf.data(), 1, buf.size(), in)) > 0;)
            ok = std::fwrite(buf.data(), 1, n, out.get()) == n;
        if (std::ferror(in))
            throw ToolError("cannot read " + part + ": " + std::strerror(errno));
        ok = ok && (after.empty() || std::fwrite(after.data(), 1, after.size(), out.get()) == after.size());
        const int err = errno;
        if (std::fclose(out.release()) != 0 || !ok)
            throw ToolError("cannot write " + file_.target() + ": " + std::strerror(ok ? errno : err));
    }
    // A path the demuxer opens it by.
    std::string path() const { return file_.readPath(); }

private:
    wstool::AtomicFile file_; // never committed
};

Runner::Source Runner::open(bool report)
{
    Source s;
    s.dmx = demuxer(inputPath_);
    AVStream *st = s.dmx->selectAudio(substream(*s.dmx));
    s.dec = std::make_unique<Decoder>(st, o_.dynamicRange);
    if (report)
        describe(s);
    return s;
}

void Runner::describe(const Source &s)
{
    const AVStream *st = s.dmx->audio();
    log_.line("Input: " + o_.input);
    log_.line("Format: " + s.dmx->describe());
    log_.line("Audio: " + s.dec->describe() +
              (st->codecpar->bit_rate > 0 ? ", " + std::to_string(st->codecpar->bit_rate / 1000) + " kb/s" : ""));
    if (s.dec->isAc3())
        log_.line("Dynamic range: " + s.dec->dynamicRangeNote());
    else if (o_.dynamicRange != DynamicRange::AsCoded)
        log_.line("Dynamic range control (-c) applies to AC3 sources only; ignored");
}

ChainPlan Runner::plan(bool measuring, double gainDb) const
{
    ChainPlan p;
    p.channels = o_.channels;
    p.lowpassHz = o_.surroundLowpassHz;
    p.centreDb = o_.centreDb;
    p.surroundDb = o_.surroundDb;
    p.lfeToFrontDb = o_.lfeToFrontDb;
    p.lfeDb = o_.lfeDb;
    p.downmix = o_.downmix;
    if (measuring)
        return p; // the decoder stage only: decoding, low-pass, channel mix
    p.gainDb = gainDb;
    p.rate = o_.rate;
    if (o_.delayMs)
        p.delayMs = *o_.delayMs;
    else if (o_.delayAuto)
        p.delayMs = delayFromFileName(o_.input);
    p.boost = o_.boost;
    p.pluginLib = o_.pluginLib;
    p.pluginLabel = o_.pluginLabel;
    return p;
}

void Runner::reportDecoding(const PeakScan &c)
{
    if (c.goodFrames == 0)
        throw ToolError("no decodable audio in " + o_.input +
                        (c.damaged > 0 ? " (" + std::to_string(c.damaged) + " damaged frames)" : ""));
    if (c.damaged > 0)
        log_.line("Warning: " + std::to_string(c.damaged) +
                  " damaged frames skipped (replaced by silence where their length was known)");
    if (c.readErrors > 0)
        log_.line("Warning: unreadable data skipped " + std::to_string(c.readErrors) + " times");
    if (c.rebuilds > 0)
        log_.line("Note: the source changed its format " + std::to_string(c.rebuilds) + " times");
}

void Runner::reportDecoding(const Demuxer &dmx, const Decoder &dec, const Chain &chain)
{
    PeakScan counts;
    counts.damaged = dec.damaged();
    counts.goodFrames = dec.goodFrames();
    counts.readErrors = dmx.readErrors();
    counts.rebuilds = chain.rebuilds();
    reportDecoding(counts);
}

double Runner::reportGain(double peak, int64_t samples, const std::optional<LoudnessReading> &loudness)
{
    log_.line("Measured " + std::to_string(samples) + " samples, peak " +
              (peak > 0.0 ? fixed(wstool::gainToDb(peak), 2) + " dBFS" : "none (silence)"));
    const double gain = o_.loudnessTarget
                            ? reportLoudness(*o_.loudnessTarget, loudness.value_or(LoudnessReading{}), peak)
                            : gainToFullScale(peak);
    log_.summary("Overall Track Gain: " + signedDb(gain));
    return gain;
}

double Runner::reportLoudness(double targetLufs, const LoudnessReading &r, double samplePeak)
{
    // The oversampled peak is never below the samples' own.
    const double truePeak = std::max(r.truePeak, samplePeak);
    const std::string target = "Loudness target: " + fixed(targetLufs, 1) + " LUFS";
    const LoudnessGain g = gainForLoudness(targetLufs, r.integratedLufs, truePeak);
    if (g.silent) {
        log_.line("Loudness: nothing above the " + fixed(kLoudnessGateLufs, 0) +
                  " LUFS gate (silence, or audio shorter than 0.4 s); the gain stays at " + signedDb(g.gainDb));
        return g.gainDb;
    }
    const double tpDb = wstool::gainToDb(truePeak);
    log_.line("Loudness: integrated " + fixed(*r.integratedLufs, 2) + " LUFS, true peak " + fixed(tpDb, 2) +
              " dBTP (EBU R128)");
    log_.line(target + " needs a gain of " + signedDb(g.wantedDb));
    const std::string ceiling = "True-peak ceiling " + fixed(kTruePeakCeilingDbtp, 1) + " dBTP: ";
    const std::string after = "loudness after the gain " + fixed(*r.integratedLufs + g.gainDb, 2) +
                              " LUFS, true peak " + fixed(tpDb + g.gainDb, 2) + " dBTP";
    if (g.ceilingLowered)
        log_.line(ceiling + "lowers the gain to " + signedDb(g.gainDb) + " (" + after + ")");
    else if (g.capped)
        log_.line(ceiling + "not reached; the gain is held at " + signedDb(g.gainDb) + " (" + after + ")");
    else
        log_.line(ceiling + "not reached (" + after + ")");
    return g.gainDb;
}

PeakScan Runner::scanPeak()
{
    Source s = open();
    const auto noteLine = [&](const std::string &l) { note(l); };
    // Decoding is most of the work; a long raw stream is decoded in two
    // halves side by side when a second core is free.
    constexpr int64_t kHalvesMinBytes = 16 << 20;
    // Loudness takes one pass: the filter's gating blocks overlap and its
    // relative gate needs all of them, so two halves' readings do not add up.
    if (!o_.loudnessTarget && FrameSource::spareCore() && halvesSuit(*s.dmx, kHalvesMinBytes)) {
        if (const auto scan = scanInHalves(*s.dmx, *s.dec, o_, plan(true, 0.0), noteLine)) {
            log_.line("Measured in two halves on two threads");
            return *scan;
        }
        s = open(false); // it could not be cut: once more, in one go
    }
    PeakMeter meter;
    std::optional<LoudnessMeter> loudness;
    if (o_.loudnessTarget)
        loudness.emplace();
    Chain chain(
        plan(true, 0.0),
        [&](const AVFrame *f) {
            meter.add(f);
            if (loudness)
                loudness->add(f);
        },
        noteLine);
    pump(*s.dmx, *s.dec, log_, [&](AVFrame *f) { chain.push(f); });
    chain.finish();
    PeakScan scan;
    scan.peak = meter.peak();
    scan.samples = meter.samples();
    scan.damaged = s.dec->damaged();
    scan.goodFrames = s.dec->goodFrames();
    scan.readErrors = s.dmx->readErrors();
    scan.rebuilds = chain.rebuilds();
    if (loudness) {
        loudness->finish();
        scan.loudness = loudness->reading();
    }
    return scan;
}

double Runner::measureGain()
{
    log_.line(o_.loudnessTarget ? "Pass 1: measuring the loudness" : "Pass 1: measuring the peak");
    const double gain = measure();
    log_.line("Pass 2: decoding");
    return gain;
}

void Runner::decode()
{
    double gainDb = o_.gainDb.value_or(0.0);
    if (o_.measuresGain())
        gainDb = measureGain();
    if (o_.sc)
        log_.line("Switch -sc " + fixed(*o_.sc, 0) + " accepted; it has no effect");
    const double totalDb = gainDb - o_.attDb;

    // A part of a split source: its span note (read once, then removed) says
    // where it lies and carries the audio around it: PCM samples in the
    // part's own format, or whole frames of a compressed stream, decoded
    // from a copy of the part with them around it.
    std::vector<uint8_t> before, after;
    std::optional<wstool::HandOn> handOn;
    const std::string spanFile = wstool::spanPath(o_.input);
    std::optional<wstool::PartSpan> span = wstool::readSpan(spanFile, &before, &after, &handOn);
    std::remove(spanFile.c_str());
    // The next part's long run-in lies at the end of this one: it goes into
    // the next part's note now, before this part is removed.
    if (std::string why; handOn && !wstool::handOnRunIn(o_.input, *handOn, &why))
        log_.line("Note: the next part keeps its short run-in (" + why + ")");
    std::unique_ptr<JoinedInput> joined;
    Source s = open(false);
    if (span && (!before.empty() || !after.empty())) {
        if (isPcm(s.dmx->audio()->codecpar->codec_id)) {
            if (!s.dmx->carry(std::move(before), std::move(after))) {
                log_.line("Note: the part's span note does not match its samples; the part is decoded whole");
                span.reset();
            }
        } else {
            joined = std::make_unique<JoinedInput>(o_.output, o_.input, before, after);
            inputPath_ = joined->path();
            s = open(false);
        }
    }
    describe(s);
    ChainPlan chainPlan = plan(false, totalDb);
    // A part that ends before the source does takes its delay in whole
    // blocks, added or cut where its own audio begins, so that it still ends
    // on the block grid the parts after it start on.
    int64_t shift = 0;
    const bool bounded = span && span->end >= 0;
    if (bounded) {
        const int outRate = chainPlan.rate.value_or(s.dec->context()->sample_rate);
        const int64_t exact = std::llround(chainPlan.delayMs * outRate / 1000.0);
        shift = wstool::blockDelay(exact);
        if (exact != 0)
            log_.line("Delay: " + fixed(chainPlan.delayMs, 0) + " ms as " + std::to_string(shift) +
                      " samples (whole blocks of 1024 samples; the parts after this one start on that grid)");
        chainPlan.delayMs = 0.0;
    }
    // Source samples dropped before the processing chain so that a resampled
    // part starts where a single pass has a sample.
    if (span) {
        chainPlan.dropSamples = wstool::resampleAlignment(*span, chainPlan.rate.value_or(span->rate));
        span->first += chainPlan.dropSamples;
    }
    std::optional<wstool::PartTrim> trim;
    int64_t position = 0; // output samples seen so far
    int64_t from0 = 0, cut = 0, silence = 0; // set with the trim, below

    WavWriter wav(o_.output);
    // Writes `count` samples of `f` from `offset`, or silence of f's kind for
    // an offset of -1.
    const auto writePiece = [&](const AVFrame *f, int64_t offset, int64_t count) {
        if (offset == 0 && count == f->nb_samples) {
            wav.writeFloat(f);
            return;
        }
        wstool::FramePtr piece = wstool::makeFrame();
        piece->format = f->format;
        piece->sample_rate = f->sample_rate;
        piece->nb_samples = int(count);
        if (av_channel_layout_copy(&piece->ch_layout, &f->ch_layout) < 0 || av_frame_get_buffer(piece.get(), 0) < 0)
            throw ToolError("out of memory");
        if (offset >= 0)
            av_samples_copy(piece->extended_data, f->extended_data, 0, int(offset), int(count),
                            f->ch_layout.nb_channels, AVSampleFormat(f->format));
        else
            av_samples_set_silence(piece->extended_data, 0, int(count), f->ch_layout.nb_channels,
                                   AVSampleFormat(f->format));
        wav.writeFloat(piece.get());
    };
    Chain chain(
        chainPlan,
        [&](const AVFrame *f) {
            if (!wav.begun()) {
                if (span) {
                    trim = wstool::trimFor(*span, f->sample_rate, shift);
                    wav.setComment(wstool::trimNote(*trim));
                    log_.line("Part: source samples " + std::to_string(span->start) + " to " +
                              (span->end < 0 ? std::string("the end") : std::to_string(span->end)) + ", " +
                              std::to_string(trim->lead) + " samples of run-in kept before it");
                    // Where the part's own audio begins in the decoded audio,
                    // and what the delay cuts or adds there.
                    from0 = trim->skip + trim->lead;
                    cut = std::max<int64_t>(0, -shift);
                    silence = std::max<int64_t>(0, shift);
                } else {
                    // Decoded whole: every sample is the part's own.
                    wav.setComment(wstool::trimNote(wstool::PartTrim{}));
                }
                wav.begin(f->ch_layout, f->sample_rate, 16);
                log_.line("Output: " + o_.output + ", 16-bit PCM, " + layoutName(f->ch_layout) + ", " +
                          std::to_string(f->sample_rate) + " Hz");
            }
            const int64_t from = position;
            position += f->nb_samples;
            if (!trim) {
                wav.writeFloat(f);
                return;
            }
            // Written: decoded samples [skip, from0) (the run-in), the delay's
            // silence, then [from0 + cut, ...) up to skip + count in all.
            const int64_t end = trim->count < 0 ? position : trim->skip + trim->count + cut - silence;
            const auto keepRange = [&](int64_t a, int64_t b) {
                a = std::max(a, from);
                b = std::min(b, position);
                if (a < b)
                    writePiece(f, a - from, b - a);
            };
            keepRange(trim->skip, std::min(from0, end));
            if (silence > 0 && from0 < position) {
                for (int64_t left = silence; left > 0;) {
                    const int n = int(std::min<int64_t>(left, 4096));
                    writePiece(f, -1, n);
                    left -= n;
                }
                silence = 0;
            }
            keepRange(from0 + cut, end);
        },
        [&](const std::string &l) { note(l); });
    if (o_.attDb != 0.0)
        log_.line("Attenuation: " + fixed(o_.attDb, 1) + " dB (in the gain stage)");
    pump(*s.dmx, *s.dec, log_, [&](AVFrame *f) { chain.push(f); });
    chain.finish();
    reportDecoding(*s.dmx, *s.dec, chain);
    if (!wav.begun())
        throw ToolError("no audio left to write (the delay cut all of it)");
    wav.finish();
    if (wav.clipped() > 0)
        log_.line("Warning: " + std::to_string(wav.clipped()) + " samples clipped at full scale");
    log_.line("Wrote " + std::to_string(wav.samples()) + " samples (" +
              seconds(static_cast<double>(wav.samples()) / chain.outputRate()) + ")");
    log_.summary("Total Gain: " + signedDb(totalDb));
}

double Runner::measure()
{
    const PeakScan scan = scanPeak();
    reportDecoding(scan);
    return reportGain(scan.peak, scan.samples, scan.loudness);
}

void Runner::extract()
{
    const std::unique_ptr<Demuxer> demuxed = demuxer(o_.input);
    Demuxer &dmx = *demuxed;
    AVStream *st = dmx.selectAudio(substream(dmx));
    log_.line("Input: " + o_.input);
    log_.line("Format: " + dmx.describe());
    log_.line("Substream: " + dmx.substreamId() + ", " + avcodec_get_name(st->codecpar->codec_id) + choice_);

    // LPCM is written as a WAV file; every other kind as its own frames.
    const bool pcm = isPcm(st->codecpar->codec_id);
    std::unique_ptr<PayloadWriter> raw;
    std::unique_ptr<WavWriter> wav;
    std::unique_ptr<Decoder> pcmDecoder;
    if (pcm) {
        wav = std::make_unique<WavWriter>(o_.output);
        pcmDecoder = std::make_unique<Decoder>(st, DynamicRange::AsCoded);
    } else {
        raw = std::make_unique<PayloadWriter>(o_.output);
    }

    std::unique_ptr<Decoder> dec;
    std::unique_ptr<Chain> chain;
    PeakMeter meter;
    std::optional<LoudnessMeter> loudness;
    if (o_.measuresGain()) {
        dec = std::make_unique<Decoder>(st, o_.dynamicRange);
        log_.line(std::string(o_.loudnessTarget ? "Measuring the loudness: " : "Measuring the peak: ") +
                  dec->describe());
        if (o_.loudnessTarget)
            loudness.emplace();
        chain = std::make_unique<Chain>(
            plan(true, 0.0),
            [&](const AVFrame *f) {
                meter.add(f);
                if (loudness)
                    loudness->add(f);
            },
            [&](const std::string &l) { note(l); });
    }

    auto pkt = wstool::makePacket();
    auto frame = wstool::makeFrame();
    auto drain = [&] {
        if (pcmDecoder) {
            while (pcmDecoder->receive(frame.get())) {
                if (!wav->begun()) {
                    AVChannelLayout l{};
                    if (frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE)
                        av_channel_layout_copy(&l, &frame->ch_layout);
                    else
                        av_channel_layout_default(&l, frame->ch_layout.nb_channels);
                    wav->begin(l, frame->sample_rate, frame->format == AV_SAMPLE_FMT_S16 ? 16 : 24);
                    av_channel_layout_uninit(&l);
                    log_.line("Output: " + o_.output + ", WAV, " + std::to_string(wav->bits()) + "-bit PCM, " +
                              std::to_string(frame->ch_layout.nb_channels) + " channels, " +
                              std::to_string(frame->sample_rate) + " Hz");
                }
                wav->writePcm(frame.get());
                av_frame_unref(frame.get());
            }
        }
        if (dec) {
            while (dec->receive(frame.get())) {
                chain->push(frame.get());
                av_frame_unref(frame.get());
            }
        }
    };
    int64_t packets = 0;
    while (dmx.next(pkt.get())) {
        ++packets;
        if (raw)
            raw->write(pkt.get());
        if (pcmDecoder)
            pcmDecoder->send(pkt.get());
        if (dec)
            dec->send(pkt.get());
        av_packet_unref(pkt.get());
        drain();
    }
    if (pcmDecoder)
        pcmDecoder->send(nullptr);
    if (dec)
        dec->send(nullptr);
    drain();
    if (packets == 0)
        throw ToolError("substream " + dmx.substreamId() + " of " + o_.input + " holds no audio data");
    if (dmx.readErrors() > 0)
        log_.line("Warning: unreadable data skipped " + std::to_string(dmx.readErrors()) + " times");

    if (chain) {
        chain->finish();
        if (loudness)
            loudness->finish();
        reportDecoding(dmx, *dec, *chain);
    }
    if (raw) {
        raw->finish();
        log_.line("Output: " + o_.output + ", " + std::to_string(raw->bytes()) + " bytes of " +
                  avcodec_get_name(st->codecpar->codec_id));
    } else {
        if (pcmDecoder->goodFrames() == 0)
            throw ToolError("no decodable audio in substream " + dmx.substreamId() + " of " + o_.input);
        wav->finish();
        log_.line("Wrote " + std::to_string(wav->samples()) + " samples");
    }

    // The front end stops reading the log at the gain line, so the
    // substream and delay lines come first.
    const double delay = dmx.avDelayMs();
    log_.summary("Substream ID: " + dmx.substreamId());
    log_.summary("A/V Delay found : " + std::to_string(std::llround(delay)) + "ms");
    if (chain)
        reportGain(meter.peak(), meter.samples(),
                   loudness ? std::optional<LoudnessReading>(loudness->reading()) : std::nullopt);
}

// The log named on a command line that could not be read, so the error
// reaches it too.
std::optional<std::pair<std::string, bool>> logOf(const std::vector<std::string> &words)
{
    for (size_t i = 0; i + 1 < words.size(); ++i)
        if (words[i] == "-logfile" || words[i] == "-logfilea")
            return std::make_pair(words[i + 1], words[i] == "-logfilea");
    return std::nullopt;
}

} // namespace

int run(const std::vector<std::string> &words, std::ostream &out, std::ostream &err)
{
    if (words.empty()) {
        err << "usage: tromvax -core( -input FILE -output FILE ... ) [groups]; see tromvax --help\n";
        return kUsageError;
    }
    Options o;
    try {
        o = parseOptions(words);
    } catch (const UsageError &e) {
        err << "tromvax: " << e.what() << "\n";
        if (auto l = logOf(words)) {
            ToolLog log;
            if (log.open(l->first, l->second))
                log.line(std::string("Error: ") + e.what());
        }
        return kUsageError;
    }
    if (o.help) {
        out << helpText();
        return kOk;
    }
    if (o.version) {
        out << wstool::versionText("tromvax") << "\n";
        return kOk;
    }

    ToolLog log;
    if (!o.logPath.empty() && !log.open(o.logPath, o.logAppend)) {
        err << "tromvax: cannot open the log file " << o.logPath << ": " << std::strerror(errno) << "\n";
        return kFailed;
    }
    wstool::AvLogRoute route(log);
    const auto start = Clock::now();
    try {
        log.line(wstool::versionText("tromvax") + " (libavcodec " LIBAVCODEC_IDENT ")");
        log.line("Command: " + commandText(words));
        if (!o.profile.empty())
            log.line("Profile: " + o.profile);
        Runner r(o, log);
        switch (o.mode()) {
        case Mode::Extract:
            r.extract();
            break;
        case Mode::Measure:
            r.measure();
            break;
        case Mode::Decode:
            r.decode();
            break;
        case Mode::List:
            r.list(out);
            break;
        }
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        log.line("Done in " + fixed(took, 2) + " s");
        return kOk;
    } catch (const std::bad_alloc &) {
        log.line("Error: out of memory");
        err << "tromvax: out of memory\n";
    } catch (const std::exception &e) {
        log.line(std::string("Error: ") + e.what());
        err << "tromvax: " << e.what() << "\n";
    }
    return kFailed;
}

} // namespace tromvax
