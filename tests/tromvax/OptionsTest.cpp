// The command line as the front end composes it, and the small rules
// behind the log's numbers.
#include "CommandLine.h"
#include "Options.h"
#include "Output.h"
#include "Chain.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tromvax;

namespace {

// The line as the front end writes it, program path first.
Options parse(const std::string &line)
{
    auto words = wstool::splitCommandLine(line);
    words.erase(words.begin());
    return parseOptions(words);
}

std::string usageError(const std::string &line)
{
    try {
        parse(line);
    } catch (const wstool::UsageError &e) {
        return e.what();
    }
    return "(accepted)";
}

} // namespace

TEST(TromvaxOptions, ReadsTheThreeKindsOfRunAsTheFrontEndWritesThem)
{
    // VOB extraction with gain measurement; the decoder group is empty for a VOB.
    Options x = parse(R"("/opt/ws/tromvax" -core( -input "/home/u/My Movie.vob" -payload -logfile )"
                      R"("/tmp/ws/Aactempfile1" -substream 0xA0 -output "/tmp/ws/wavesmithy" -2chnothing ) -ota( -g max ))");
    EXPECT_EQ(x.mode(), Mode::Extract);
    EXPECT_EQ(x.input, "/home/u/My Movie.vob");
    EXPECT_EQ(x.output, "/tmp/ws/wavesmithy");
    EXPECT_EQ(x.substream, 0xA0);
    EXPECT_TRUE(x.gainMax);
    EXPECT_FALSE(x.logAppend);

    // Without gain measurement the -core( group is left open.
    Options open = parse(R"("/opt/ws/tromvax" -core( -input "a.vob" -payload -logfile "/tmp/l" -output "/tmp/ws/wavesmithy")");
    EXPECT_EQ(open.mode(), Mode::Extract);
    EXPECT_EQ(open.output, "/tmp/ws/wavesmithy");

    // Gain measurement: the log path is written without quote marks.
    Options m = parse(R"("/opt/ws/tromvax" -core( -input "/m/x.ac3" -output "/tmp/ws/wavesmithy.wav" -logfile )"
                      R"(/tmp/ws/Aactempfile1 -6chnothing ) -ota( -g max ) -azid(  -L -3db -c normal -s surround ))");
    EXPECT_EQ(m.mode(), Mode::Measure);
    EXPECT_EQ(m.channels, 6);
    EXPECT_EQ(m.logPath, "/tmp/ws/Aactempfile1");
    EXPECT_DOUBLE_EQ(*m.lfeToFrontDb, -3.0);
    EXPECT_EQ(m.dynamicRange, DynamicRange::Normal);
    EXPECT_EQ(m.downmix, Downmix::Surround);

    // Part decode with every group; the front end puts the found delay
    // before its own "-d auto", which must not undo it.
    Options d = parse(R"(/opt/ws/tromvax -core( -input "/tmp/ws/01.ac3" -output "/tmp/ws/wavesmithy.wav" )"
                      R"(-logfilea "/opt/ws/Tromvax.log" -2ch ) -azid( -L -3db -l 0db -C -1.5dB -S -6db -f1  -c heavy -s surround2 ) )"
                      R"(-ssrc( --rate 44100 --att 0 ) -boost( /b=2db ) -plugin( -name KQ_M2S.dll -func Simple ) )"
                      R"(-profile( The Wavesmithy v0.51 ) -ota( -d  40 -d auto -sc 1024 -g +3.2dB ))");
    EXPECT_EQ(d.mode(), Mode::Decode);
    EXPECT_TRUE(d.logAppend);
    EXPECT_EQ(d.channels, 2);
    EXPECT_DOUBLE_EQ(*d.centreDb, -1.5);
    EXPECT_DOUBLE_EQ(*d.surroundDb, -6.0);
    EXPECT_DOUBLE_EQ(*d.surroundLowpassHz, 7000.0);
    EXPECT_EQ(d.dynamicRange, DynamicRange::Heavy);
    EXPECT_EQ(d.downmix, Downmix::Surround2);
    EXPECT_EQ(*d.rate, 44100);
    ASSERT_TRUE(d.boost.has_value());
    EXPECT_FALSE(d.boost->expand);
    EXPECT_DOUBLE_EQ(d.boost->makeupDb, 2.0);
    EXPECT_EQ(d.pluginLib, "KQ_M2S.dll");
    EXPECT_EQ(d.pluginLabel, "Simple");
    EXPECT_EQ(d.profile, "The Wavesmithy v0.51");
    EXPECT_DOUBLE_EQ(*d.delayMs, 40.0);
    EXPECT_DOUBLE_EQ(*d.gainDb, 3.2);

    Options e = parse(R"(t -core( -input a.wav -output b.wav -6chwav ) -boost( /b=0.5 ) -ota( -d auto -d -120 ))");
    EXPECT_EQ(e.channels, 6);
    EXPECT_TRUE(e.boost->expand);
    EXPECT_DOUBLE_EQ(e.boost->factor, 0.5);
    EXPECT_DOUBLE_EQ(*e.delayMs, -120.0);
}

TEST(TromvaxOptions, AnUnquotedPathWithBlanksStaysOnePath)
{
    const Options o = parse("t -core( -input a.ac3 -output /tmp/x.wav -logfile /tmp/my temp/Aactempfile1 -2chnothing )");
    EXPECT_EQ(o.logPath, "/tmp/my temp/Aactempfile1");
    EXPECT_EQ(o.mode(), Mode::Measure);
}

TEST(TromvaxOptions, RejectsWrongSwitchesNamingThem)
{
    EXPECT_NE(usageError("t -core( -input a -output b -bogus )").find("-bogus"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -azid( -L )").find("-L"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -azid( -C loud )").find("-C"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -azid( -c medium )").find("medium"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -ota( -g 1e9db )").find("-g"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -ota( -d soon )").find("-d"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -ssrc( --rate 10 )").find("--rate"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -boost( /b=2 )").find("/b"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -boost( /c=2db )").find("/c=2db"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -plugin( -name amp )").find("-func"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -output b ) -warp( 9 )").find("-warp("), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -payload -substream 0xZZ -output b )").find("0xZZ"), std::string::npos);
    EXPECT_NE(usageError("t -core( -output b -2ch )").find("-input"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input a -2ch )").find("-output"), std::string::npos);
    EXPECT_EQ(usageError("t -core( -input a -2chnothing )"), "(accepted)");
    EXPECT_NE(usageError("t -core( -input d -title 0 -payload -output b )").find("-title"), std::string::npos);
    EXPECT_NE(usageError("t -core( -input d -title 1.5 -payload -output b )").find("-title"), std::string::npos);
    EXPECT_NE(usageError("t -list( -title 1 )").find("-title"), std::string::npos);
    EXPECT_NE(usageError("t -list( )").find("-list( -input"), std::string::npos);
    EXPECT_EQ(usageError("t -list( -input d )"), "(accepted)");
}

TEST(TromvaxOptions, DelayMarkInTheFileName)
{
    EXPECT_DOUBLE_EQ(delayFromFileName("/x/movie DELAY -40ms.ac3"), -40.0);
    EXPECT_DOUBLE_EQ(delayFromFileName("/x/movie_DELAY_120ms.ac3"), 120.0);
    EXPECT_DOUBLE_EQ(delayFromFileName("/x/movie DELAY 12.5ms.ac3"), 12.5);
    EXPECT_DOUBLE_EQ(delayFromFileName("/DELAY 40/01.ac3"), 0.0); // only the name counts
    EXPECT_DOUBLE_EQ(delayFromFileName("/x/movie delay 40ms.ac3"), 0.0); // the mark is upper case
    EXPECT_DOUBLE_EQ(delayFromFileName("/x/DELAY"), 0.0);
    EXPECT_DOUBLE_EQ(delayFromFileName("/x/a DELAY 0x40.ac3"), 0.0); // decimal only
}

TEST(TromvaxOptions, GainToFullScaleNeverClipsAndHasACap)
{
    EXPECT_DOUBLE_EQ(gainToFullScale(0.5), 6.0);   // 6.02 dB rounds down
    EXPECT_DOUBLE_EQ(gainToFullScale(1.0), 0.0);
    EXPECT_DOUBLE_EQ(gainToFullScale(1.2), -1.6);  // -1.58 dB rounds down too
    EXPECT_DOUBLE_EQ(gainToFullScale(0.0), kMaxGainDb);
    EXPECT_DOUBLE_EQ(gainToFullScale(1e-9), kMaxGainDb);
    for (double p : {0.9, 0.7071, 0.3, 0.01234})
        EXPECT_LE(p * std::pow(10.0, gainToFullScale(p) / 20.0), 1.0) << p;
    EXPECT_EQ(signedDb(3.2), "+3.2dB");
    EXPECT_EQ(signedDb(-1.5), "-1.5dB");
    EXPECT_EQ(signedDb(-0.01), "+0.0dB");
}

TEST(TromvaxOptions, GainIsALevelMaxOrALoudnessTargetAndTheLastOneCounts)
{
    struct Case {
        const char *g;
        bool max;
        std::optional<double> lufs, db;
    };
    for (const Case &c : {Case{"max", true, {}, {}}, Case{"lufs:-16", false, -16.0, {}},
                          Case{"LUFS:-23.5", false, -23.5, {}}, Case{"lufs:-70", false, -70.0, {}},
                          Case{"lufs:0", false, 0.0, {}}, Case{"+3.2dB", false, {}, 3.2},
                          Case{"lufs:-14 -g max", true, {}, {}}, Case{"max -g lufs:-14", false, -14.0, {}}}) {
        SCOPED_TRACE(c.g);
        const Options o = parse(std::string("t -core( -input a -2chnothing ) -ota( -g ") + c.g + " )");
        EXPECT_EQ(o.gainMax, c.max);
        EXPECT_EQ(o.loudnessTarget, c.lufs);
        EXPECT_EQ(o.gainDb, c.db);
    }
    for (const char *bad : {"lufs:", "lufs:abc", "lufs:-16dB", "lufs:-70.5", "lufs:+1", "lufs:nan", "lufs:-1e9"})
        EXPECT_NE(usageError(std::string("t -core( -input a -2chnothing ) -ota( -g ") + bad + " )").find(bad),
                  std::string::npos)
            << bad;
}
