// The gain pass with a loudness target (-g lufs:T) as the front end uses it:
// the logged gain applied by a part decode, measured by the ffmpeg program.
#include "AudioProbe.h"
#include "Levels.h"
#include "Loudness.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>

using namespace tvtest;

namespace {

// ffmpeg's summary of ebur128=peak=true after `filters`: integrated LUFS, true peak dBTP.
std::pair<double, double> ffmpegR128(const std::string &path, const QString &filters = {})
{
    QString err;
    wstest::runProgram("ffmpeg", {"-nostats", "-i", QString::fromStdString(path), "-af", filters + "ebur128=peak=true",
                                  "-f", "null", "-"},
                       nullptr, &err);
    const auto m = QRegularExpression("I:\\s+(-?[0-9.]+) LUFS\\s+Threshold(?:.|\\n)*True peak:\\s+Peak:\\s+(-?[0-9.]+)")
                       .match(err);
    if (!m.hasMatch())
        return {std::nan(""), std::nan("")};
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

// The text between `prefix` and `unit` (with it) in the log.
std::string logged(const std::string &log, const std::string &prefix, const std::string &unit = "dB")
{
    const size_t p = log.find(prefix);
    const size_t q = p == std::string::npos ? p : log.find(unit, p);
    return q == std::string::npos ? "" : log.substr(p + prefix.size(), q + unit.size() - p - prefix.size());
}

// Runs one tromvax line whose -core( group is `core` (paths are quoted, OUT
// stands for a fresh folder); returns the log, written to OUT/log.
std::string run(std::string core, const std::string &groups)
{
    const std::string dir = scratchDir();
    for (size_t p; (p = core.find("OUT")) != std::string::npos;)
        core.replace(p, 3, dir);
    std::string err;
    EXPECT_EQ(runTromvax("tromvax -core( " + core + " -logfile \"" + dir + "/log\" )" + groups, &err), 0) << err;
    return readFile(dir + "/log");
}

std::string gainPass(const std::string &src, const std::string &groups)
{
    return run("-input \"" + src + "\" -output \"OUT/wavesmithy.wav\" -2chnothing", groups);
}

std::string make(const char *name, const QStringList &args)
{
    const std::string path = scratchDir() + "/" + name;
    EXPECT_TRUE(wstest::ffmpeg(args + QStringList{QString::fromStdString(path)}));
    return path;
}

} // namespace

TEST(TromvaxLoudness, TwoSourcesEndAtTheTargetOrAtTheTruePeakCeiling)
{
    // 12 LU apart: pink noise (true peak 11 dB above its loudness) and sparse
    // 3 kHz clicks (20 dB above), whose peak holds the gain back.
    const QString click = "0.33*exp(-400*mod(t\\,0.25))*sin(2*PI*3000*t)";
    for (const auto &[name, source, filter, ceiling] :
         {std::tuple{"noise.wav", QString("anoisesrc=c=pink:a=0.5:d=10:seed=7"), "pan=stereo|c0=c0|c1=c0", false},
          std::tuple{"clicks.wav", "aevalsrc=" + click + "|" + click + ":s=48000:d=10", "anull", true}}) {
        SCOPED_TRACE(name);
        const std::string src = make(name, {"-f", "lavfi", "-i", source, "-af", filter, "-c:a", "pcm_s16le"});
        const std::string log = gainPass(src, " -ota( -g lufs:-16 )");
        const std::string gain = logged(log, "] |  Overall Track Gain: ");
        ASSERT_FALSE(gain.empty()) << log;
        EXPECT_EQ(log.find("True-peak ceiling -1.0 dBTP: lowers the gain") != std::string::npos, ceiling) << log;

        // The part decode with the gain, as the front end writes it.
        const std::string dir = scratchDir();
        run("-input \"" + src + "\" -output \"" + dir + "/out.wav\" -2ch", " -ota( -sc 1024 -g " + gain + " )");
        const auto [before, peakBefore] = ffmpegR128(src);
        const auto [after, peakAfter] = ffmpegR128(dir + "/out.wav");
        std::printf("[ loudness ] %s: %.1f LUFS %.1f dBTP, gain %s: %.1f LUFS %.1f dBTP\n", name, before, peakBefore,
                    gain.c_str(), after, peakAfter);
        EXPECT_NEAR(ceiling ? peakAfter : after, ceiling ? -1.0 : -16.0, ceiling ? 0.3 : 0.5);
        EXPECT_LE(peakAfter, -0.95);
    }
}

TEST(TromvaxLoudness, A51SourceIsMeasuredAsItsDownmix)
{
    // Noise in the surrounds only: the down-mix takes them 6 dB down, a
    // measure of the six channels 1.5 dB up.
    const std::string src =
        make("surround.ac3", {"-f", "lavfi", "-i", "anoisesrc=c=pink:a=0.5:d=8:seed=3", "-f", "lavfi", "-i",
                              "anoisesrc=c=pink:a=0.5:d=8:seed=4", "-filter_complex",
                              "[0][1]amerge,pan=5.1(side)|c4=c0|c5=c1", "-c:a", "ac3", "-b:a", "448k"});
    const std::string log = gainPass(src, " -ota( -g lufs:-16 ) -azid( -C -3db -S -6db -s stereo )");
    const double downmix = ffmpegR128(src, "pan=stereo|c0=c0+0.7079*c2+0.5012*c4|c1=c1+0.7079*c2+0.5012*c5,").first;
    EXPECT_NEAR(std::stod(logged(log, "Loudness: integrated ", " ")), downmix, 0.1) << log;
    EXPECT_GT(std::fabs(ffmpegR128(src).first - downmix), 5.0);
    EXPECT_NEAR(std::stod(logged(log, "Overall Track Gain: ")), -16.0 - downmix, 0.11) << log;
}

TEST(TromvaxLoudness, ExtractionAndTwoPassDecodeMeasureAsTheGainPassDoes)
{
    // av.vob holds tone_stereo.ac3 as its substream 0x80.
    const std::string ota = " -ota( -g lufs:-23 )";
    const std::string gain = logged(gainPass(fixture("tone_stereo.ac3"), ota), "Overall Track Gain: ");
    ASSERT_FALSE(gain.empty());
    const std::string vob =
        "-input \"" + fixture("av.vob") + "\" -payload -substream 0x80 -output \"OUT/x\" -2chnothing";
    EXPECT_EQ(logged(run(vob, ota), "Overall Track Gain: "), gain);
    const std::string decode = "-input \"" + fixture("tone_stereo.ac3") + "\" -output \"OUT/x.wav\" -2ch";
    EXPECT_EQ(logged(run(decode, ota), "Total Gain: "), gain);
}

TEST(TromvaxLoudness, NothingAboveTheGateLeavesTheGainAtZero)
{
    for (const char *source : {"anullsrc=r=48000:cl=stereo:d=3", "sine=f=1000:r=48000:d=0.3"}) {
        SCOPED_TRACE(source);
        const std::string log = gainPass(make("in.wav", {"-f", "lavfi", "-i", source}), " -ota( -g lufs:-14 )");
        EXPECT_NE(log.find("nothing above the -70 LUFS gate"), std::string::npos) << log;
        EXPECT_NE(log.find("] |  Overall Track Gain: +0.0dB\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("inf"), std::string::npos) << log;
        EXPECT_EQ(log.find("nan"), std::string::npos) << log;
    }
}

TEST(TromvaxLoudness, TheCeilingRoundsDownAndTheCapHoldsTheGain)
{
    struct Case {
        double target;
        std::optional<double> lufs;
        double truePeakDb, gain;
        bool lowered, capped;
    } const cases[] = {
        {-16, -27.34, -15.0, 11.3, false, false}, // the target, to the nearest 0.1 dB
        {-23, -10.0, 0.5, -13.0, false, false},   // a loud source comes down
        {-16, -20.0, -2.06, 1.0, true, false},    // the ceiling, rounded down
        {-16, -65.0, -30.0, 29.0, true, false},   // the ceiling below the cap
        {-16, -65.0, -55.0, 40.0, false, true},   // the cap of -g max
        {-16, std::nullopt, -80.0, 0.0, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.gain);
        const auto g = tromvax::gainForLoudness(c.target, c.lufs, wstool::dbToGain(c.truePeakDb));
        EXPECT_NEAR(g.gainDb, c.gain, 1e-9);
        EXPECT_EQ(std::tuple(g.ceilingLowered, g.capped, g.silent), std::tuple(c.lowered, c.capped, !c.lufs));
        EXPECT_LE(c.truePeakDb + g.gainDb, -1.0 + 1e-9);
    }
}
