// Audio helpers for the tests and bench measures: fixtures made with the
// ffmpeg program, decoding with ffmpeg for numeric checks, and signal
// measures.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace audiocheck {

// Interleaved float samples.
struct Pcm {
    int channels = 0;
    int rate = 0;
    std::vector<float> data;
    size_t frames() const { return channels ? data.size() / size_t(channels) : 0; }
    double seconds() const { return rate ? double(frames()) / rate : 0.0; }
    float at(size_t frame, int ch) const { return data[frame * size_t(channels) + size_t(ch)]; }
};

// Decodes a file with the ffmpeg program (its own decoders) into `channels`
// at `rate`; `filter` (an -af chain) runs before the conversion when given,
// `stream` picks the audio stream ("0:a:1") of a file that holds several.
// An empty Pcm when ffmpeg fails.
Pcm decode(const QString &path, int channels, int rate, const QString &filter = {}, const QString &stream = {});

// ffprobe's "key=value" answers for -show_entries `entries` (e.g.
// "stream=codec_name,channels"); empty when ffprobe fails.
// `extra` goes before the file (e.g. "-count_packets").
std::map<std::string, std::string> probe(const QString &path, const QString &entries,
                                         const QStringList &extra = {});

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);
// The names of the files in a folder, sorted.
QStringList filesIn(const QString &dir);

// Delay (0 … maxLag frames) of `test` against `ref` that matches channel `ch` best.
int bestLag(const Pcm &ref, const Pcm &test, int ch, int maxLag);
// Signal-to-noise ratio in dB of `test` delayed by `lag` against `ref` over
// frames [from, to) of ref, all channels.
double snrDb(const Pcm &ref, const Pcm &test, int lag, size_t from, size_t to);
// Mean error power per sample of `test` delayed by `lag` against `ref` over
// frames [from, to) of ref, all channels; the largest single error goes to
// `peak` (kept if larger) when given.
double errorPower(const Pcm &ref, const Pcm &test, int lag, int64_t from, int64_t to, double *peak = nullptr);
// Amplitude of a sine of `freq` Hz in one channel (Goertzel over frames [from, to)).
double toneAmplitude(const Pcm &p, int ch, double freq, size_t from, size_t to);

// An aevalsrc expression: a sharp click (rising in 2.5 ms, decaying in a few
// more, peaking at 0.25) of a `hz` tone every 125 ms, the first at `at`
// seconds. mod() is spelt out, as commas split filter arguments.
QString clickExpr(double at, int hz);

// Decodes raw AAC data blocks (an ADIF payload) with FFmpeg's decoder set up
// by an AudioSpecificConfig; returns the samples per channel, -1 on a decoding
// error, and the channel count through `channels`.
int64_t decodeRawAac(const QByteArray &raw, const std::vector<uint8_t> &asc, int *channels);

// The raw data blocks of an ADTS stream, headers removed, and the number of
// frames; empty when the stream is damaged.
QByteArray adtsPayload(const QByteArray &adts, int *frames);

// Runs a tool's in-process entry point with words as the front end would
// split them; the output and error texts come back through the pointers.
int runTool(const std::function<int(const std::vector<std::string> &, std::ostream &, std::ostream &)> &tool,
            const std::vector<std::string> &words, std::string *out = nullptr, std::string *err = nullptr);

} // namespace audiocheck
