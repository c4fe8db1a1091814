// The transcoder's command line, read into one record.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tromvax {

// What the run produces.
enum class Mode {
    Decode,  // decode the input to a 16-bit WAV file (-2ch, -6chwav)
    Measure, // decode without writing, log the gain to full scale (-2chnothing, -6chnothing)
    Extract, // copy one audio substream of a VOB or a disc title (-payload)
    List,    // list a disc's titles, chapters and audio tracks (-list()
};

enum class DynamicRange { AsCoded, Light, Normal, Heavy, Inverse };
enum class Downmix { Stereo, Surround, Surround2 };

// Dynamic compression for sources that skip the AC3 decoder.
struct Boost {
    bool expand = false;   // "/b=0.5": expander instead of compressor
    double makeupDb = 0.0; // compressor: make-up gain in dB ("/b=2db")
    double factor = 1.0;   // expander: the factor below 1 ("/b=0.5")
};

struct Options {
    bool help = false;
    bool version = false; // --version

    // -core(
    std::string input;
    std::string output;
    std::string logPath;
    bool logAppend = false;
    bool payload = false;
    std::optional<int> substream; // 0x80, 0x88, 0xA0, 0xC0, ...
    std::optional<int> title;     // -title N of a disc input; the longest when unset
    bool list = false;            // -list( -input DISC )
    int channels = 2;             // 2 or 6
    bool writeWav = true;         // false for -2chnothing / -6chnothing

    // -azid(
    std::optional<double> lfeToFrontDb; // -L
    std::optional<double> lfeDb;        // -l
    std::optional<double> centreDb;     // -C
    std::optional<double> surroundDb;   // -S
    std::optional<double> surroundLowpassHz; // -f1 [HZ]
    DynamicRange dynamicRange = DynamicRange::AsCoded; // -c
    Downmix downmix = Downmix::Stereo;                 // -s

    // -ota(
    std::optional<double> delayMs; // -d N
    bool delayAuto = false;        // -d auto (only when no number was given)
    std::optional<double> gainDb;  // -g LEVEL
    bool gainMax = false;          // -g max
    std::optional<double> loudnessTarget; // -g lufs:TARGET, in LUFS
    std::optional<double> sc;      // -sc N (accepted, no effect)

    // -ssrc(
    std::optional<int> rate; // --rate HZ
    double attDb = 0.0;      // --att DB

    // -boost(
    std::optional<Boost> boost;

    // -plugin(
    std::string pluginLib;
    std::string pluginLabel;

    // -profile(
    std::string profile;

    Mode mode() const;
    // Whether the gain is measured rather than given: -g max or -g lufs:T.
    bool measuresGain() const { return gainMax || loudnessTarget.has_value(); }
};

// Reads the words of one command line; throws wstool::UsageError naming the
// offending switch or value.
Options parseOptions(const std::vector<std::string> &words);

// The delay that a "DELAY" mark in a file name gives ("movie DELAY -40ms.ac3"
// gives -40): the number that starts one character after the mark; 0 when
// there is no mark or no number.
double delayFromFileName(const std::string &path);

// The --help text.
std::string helpText();

} // namespace tromvax
