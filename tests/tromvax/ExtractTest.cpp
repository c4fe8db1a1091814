// Substream extraction from VOBs, with the summary lines the front end reads.
#include "AudioProbe.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tvtest;

namespace {

struct Paths {
    std::string dir = scratchDir();
    std::string target = dir + "/wavesmithy";
    std::string log = dir + "/Aactempfile1";
};

// Step 4 of the job; `tail` follows the target (empty: the -core( group
// is left open, as without gain measurement).
std::string extractLine(const std::string &vob, const Paths &p, const std::string &substream,
                        const std::string &tail)
{
    return "\"tromvax\" -core( -input \"" + vob + "\" -payload -logfile \"" + p.log + "\"" +
           (substream.empty() ? "" : " -substream " + substream) + " -output \"" + p.target + "\"" + tail;
}

std::vector<std::string> summaryLines(const std::string &log)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string l; std::getline(in, l);)
        if (l.rfind("[00:00:00:000] |  ", 0) == 0 &&
            (l.find("Substream ID: ") != std::string::npos || l.find("A/V Delay found : ") != std::string::npos ||
             l.find("Gain: ") != std::string::npos))
            lines.push_back(l);
    return lines;
}

} // namespace

TEST(TromvaxExtract, Ac3SubstreamIsCopiedUnchangedWithDelayAndGain)
{
    Paths p;
    std::string err;
    ASSERT_EQ(runTromvax(extractLine(fixture("av.vob"), p, "0x80", " -2chnothing ) -ota( -g max )"), &err), 0) << err;
    EXPECT_EQ(readFile(p.target), readFile(fixture("tone_stereo.ac3")));
    EXPECT_EQ(leftovers(p.dir), 0);

    // The gain of the extracted stream matches a measurement of the stream itself.
    Paths m;
    ASSERT_EQ(runTromvax("tromvax -core( -input \"" + fixture("tone_stereo.ac3") + "\" -output \"" + m.dir +
                          "/wavesmithy.wav\" -logfile " + m.log + " -2chnothing ) -ota( -g max )",
                      &err),
              0)
        << err;
    const auto measured = summaryLines(readFile(m.log));
    ASSERT_EQ(measured.size(), 1u);

    const auto lines = summaryLines(readFile(p.log));
    ASSERT_EQ(lines.size(), 3u) << readFile(p.log);
    // The front end stops at the gain line, so the other two come first.
    EXPECT_EQ(lines[0], "[00:00:00:000] |  Substream ID: 0x80");
    EXPECT_EQ(lines[1], "[00:00:00:000] |  A/V Delay found : 200ms"); // the fixture's audio offset
    EXPECT_EQ(lines[2], measured[0]);
    // Read as the front end reads them: fixed positions behind the prefixes.
    EXPECT_EQ(lines[0].substr(32, 4), "0x80");
    EXPECT_EQ(lines[1].substr(35), " 200ms");
    EXPECT_EQ(lines[2].substr(0, 38), "[00:00:00:000] |  Overall Track Gain: ");
    const double gain = std::stod(lines[2].substr(38));
    EXPECT_NEAR(gain, 6.0, 0.3); // the tone's peak is 0.5
}

TEST(TromvaxExtract, MpegAudioSubstreamAndAutomaticChoice)
{
    Paths p;
    std::string err;
    ASSERT_EQ(runTromvax(extractLine(fixture("av.vob"), p, "0xC0", ""), &err), 0) << err;
    EXPECT_EQ(readFile(p.target), readFile(fixture("tone.mp2")));
    const auto lines = summaryLines(readFile(p.log));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[00:00:00:000] |  Substream ID: 0xC0");

}

// Without -substream the DVD's audio stream number 0 is taken (AC3 before
// DTS, LPCM and MPEG audio of that number), never the first packet's
// stream: in av.vob the MPEG audio starts 200 ms before the AC3.
TEST(TromvaxExtract, AutomaticChoiceTakesStreamNumberZeroByKind)
{
    const std::string mpaFirst = scratchDir() + "/mpa_lpcm.vob";
    ASSERT_TRUE(wstest::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25:d=3", "-i",
                                QString::fromStdString(fixture("tone.mp2")), "-i",
                                QString::fromStdString(fixture("tone.wav")), "-map", "0:v", "-map", "1:a", "-map", "2:a",
                                "-c:a:0", "copy", "-c:a:1", "pcm_dvd", "-c:v", "mpeg2video", "-f", "vob",
                                QString::fromStdString(mpaFirst)}));
    const struct {
        std::string vob;
        std::string id;
        std::string stream; // the extracted stream as a file
    } cases[] = {
        {fixture("av.vob"), "0x80", fixture("tone_stereo.ac3")},
        {mpaFirst, "0xA0", ""},
        {fixture("dts_ac3.vob"), "0x80", fixture("tone_stereo.ac3")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.vob);
        Paths a;
        std::string err;
        ASSERT_EQ(runTromvax(extractLine(c.vob, a, "", ""), &err), 0) << err;
        const auto lines = summaryLines(readFile(a.log));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].substr(32, 4), c.id);
        if (!c.stream.empty()) {
            EXPECT_TRUE(readFile(a.target) == readFile(c.stream));
        }
    }
}

TEST(TromvaxExtract, DtsSubstreamIsCopiedUnchanged)
{
    Paths p;
    std::string err;
    ASSERT_EQ(runTromvax(extractLine(fixture("dts_ac3.vob"), p, "0x88", " -2chnothing ) -ota( -g max )"), &err), 0)
        << err;
    EXPECT_TRUE(readFile(p.target) == readFile(fixture("tone.dts")));
    const auto lines = summaryLines(readFile(p.log));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[00:00:00:000] |  Substream ID: 0x88");
    EXPECT_EQ(lines[2], "[00:00:00:000] |  Overall Track Gain: +6.0dB");
}

TEST(TromvaxExtract, LpcmSubstreamBecomesAWavFileWithTheSameSamples)
{
    Paths p;
    std::string err;
    ASSERT_EQ(runTromvax(extractLine(fixture("lpcm.vob"), p, "0xA0", " -2chnothing ) -ota( -g max )"), &err), 0)
        << err;
    const Audio out = load(p.target);
    const Audio in = load(fixture("tone.wav"));
    ASSERT_EQ(out.channels(), 2);
    EXPECT_EQ(out.codec, "pcm_s16le");
    EXPECT_EQ(out.rate, 48000);
    EXPECT_EQ(out.ch, in.ch);
    const auto lines = summaryLines(readFile(p.log));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[00:00:00:000] |  Substream ID: 0xA0");
    EXPECT_EQ(lines[2], "[00:00:00:000] |  Overall Track Gain: +6.0dB");
}

TEST(TromvaxExtract, NoVideoMeansNoDelay)
{
    Paths p;
    std::string err;
    ASSERT_EQ(runTromvax(extractLine(fixture("audioonly.vob"), p, "", ""), &err), 0) << err;
    const auto lines = summaryLines(readFile(p.log));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "[00:00:00:000] |  A/V Delay found : 0ms");
    EXPECT_EQ(readFile(p.target), readFile(fixture("tone_stereo.ac3")));
}

TEST(TromvaxExtract, AMissingSubstreamFailsWithoutOutput)
{
    Paths p;
    std::string err;
    EXPECT_EQ(runTromvax(extractLine(fixture("av.vob"), p, "0x81", ""), &err), 1);
    EXPECT_NE(err.find("0x81"), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_FALSE(exists(p.target));
    EXPECT_EQ(leftovers(p.dir), 0);
    EXPECT_NE(readFile(p.log).find("] |  Error: substream 0x81 not found"), std::string::npos);
    EXPECT_TRUE(summaryLines(readFile(p.log)).empty());
}
