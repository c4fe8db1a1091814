// Test helpers: decoding an audio file into float samples with FFmpeg's
// libraries, measuring it, and making fixtures with the ffmpeg program.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace tvtest {

struct Audio {
    int rate = 0;
    int bitsPerSample = 0; // of the stored samples (16 for 16-bit PCM WAV)
    std::string codec;     // "pcm_s16le", "ac3", ...
    std::string layout;    // "stereo", "5.1(side)", ...
    std::vector<std::vector<float>> ch; // one vector per channel

    int channels() const { return static_cast<int>(ch.size()); }
    size_t frames() const { return ch.empty() ? 0 : ch[0].size(); }
    double seconds() const { return rate ? static_cast<double>(frames()) / rate : 0.0; }
};

// Decodes the whole file; an empty Audio (no channels) when it cannot.
Audio load(const std::string &path);

double peak(const std::vector<float> &x, size_t from = 0, size_t to = SIZE_MAX);
double rms(const std::vector<float> &x, size_t from = 0, size_t to = SIZE_MAX);
double db(double linear);
// Tone frequency from the rising zero crossings between `from` and `to`.
double frequency(const std::vector<float> &x, int rate, size_t from = 0, size_t to = SIZE_MAX);
// Index of the first sample whose magnitude exceeds `threshold`.
size_t firstSound(const std::vector<float> &x, double threshold = 0.01);

// A folder of fixtures made once per test program with the ffmpeg program.
// fixture("tone.wav") makes the file on first use and returns its path; the
// names are listed in AudioProbe.cpp.
std::string fixture(const std::string &name);
// A fresh empty folder for one test's outputs.
std::string scratchDir();

std::string readFile(const std::string &path);
bool exists(const std::string &path);
// Files in `dir` whose name contains ".part" (leftover temporary files).
int leftovers(const std::string &dir);

// Runs tromvax in-process on one command line written as the front end
// writes it (program path first, quoted paths); returns the exit code.
int runTromvax(const std::string &line, std::string *err = nullptr, std::string *out = nullptr);

} // namespace tvtest
