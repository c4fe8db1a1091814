// Test helpers for the companion tools: fixtures made with the ffmpeg
// program, decoding with ffmpeg for numeric checks, and signal measures.
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
    float at(size_t frame, int ch) const { return data[frame * size_t(channels) + size_t(ch)]; }
};

// Decodes a file with the ffmpeg program (its own decoders), keeping the
// channels and rate; an empty Pcm when ffmpeg fails.
Pcm decode(const QString &path, int channels, int rate);

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
// Amplitude of a sine of `freq` Hz in one channel (Goertzel over frames [from, to)).
double toneAmplitude(const Pcm &p, int ch, double freq, size_t from, size_t to);

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
