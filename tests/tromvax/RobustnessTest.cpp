// Failures, damaged and random inputs, and the built program itself.
#include "AudioProbe.h"
#include "TestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace tvtest;

namespace {

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string lastLine(const std::string &text)
{
    const size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos)
        return {};
    const size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

} // namespace

TEST(TromvaxFailures, EachFailureIsOneLineNonZeroAndLeavesNoFile)
{
    const std::string dir = scratchDir();
    const std::string wav = dir + "/out.wav";
    const std::string log = dir + "/Tromvax.log";
    writeFile(dir + "/empty.ac3", "");
    std::mt19937 rng(7);
    std::string noise(20000, '\0');
    for (char &c : noise)
        c = static_cast<char>(rng());
    writeFile(dir + "/noise.ac3", noise);
    writeFile(dir + "/text.wav", "RIFF\x10\0\0\0WAVEfmt this is not a wave file");

    struct Case {
        std::string line;
        int rc;
        std::string mentions;
    };
    const std::string tail = "\" -logfilea \"" + log + "\" -2ch )";
    const std::vector<Case> cases = {
        {"t -core( -input \"" + dir + "/missing.ac3\" -output \"" + wav + tail, 1, "missing.ac3"},
        {"t -core( -input \"" + dir + "/empty.ac3\" -output \"" + wav + tail, 1, "empty.ac3"},
        {"t -core( -input \"" + dir + "/noise.ac3\" -output \"" + wav + tail, 1, "noise.ac3"},
        {"t -core( -input \"" + dir + "/text.wav\" -output \"" + wav + tail, 1, "text.wav"},
        {"t -core( -input \"" + fixture("tone.wav") + "\" -output \"" + dir + "/no/such/dir/out.wav" + tail, 1,
         "no/such/dir"},
        {"t -core( -input \"" + fixture("tone.wav") + "\" -output \"" + wav + tail + " -azid( -q 1 )", 2, "-q"},
        {"t -core( -input \"" + fixture("tone.wav") + "\" -output \"" + wav + tail + " -ota( -g max ) -ota( -g )",
         2, "-g"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        std::string err;
        EXPECT_EQ(runTromvax(c.line, &err), c.rc);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(c.mentions), std::string::npos) << err;
        EXPECT_FALSE(exists(wav));
        EXPECT_EQ(leftovers(dir), 0);
        EXPECT_NE(lastLine(readFile(log)).find("] |  Error: "), std::string::npos);
    }
}

TEST(TromvaxFailures, DamagedFramesAreCountedAndTheLengthIsKept)
{
    const std::string clean = readFile(fixture("tone_stereo.ac3"));
    const size_t frame = 768; // bytes of one 192 kb/s AC3 frame at 48 kHz
    ASSERT_GT(clean.size(), 60 * frame);
    std::string damaged = clean;
    for (size_t k : {20, 30, 40}) // inside three frames, away from their sync words
        for (size_t i = 0; i < 40; ++i)
            damaged[k * frame + 200 + i] = static_cast<char>(damaged[k * frame + 200 + i] ^ 0x5A);
    const std::string dir = scratchDir();
    writeFile(dir + "/damaged.ac3", damaged);

    std::string err;
    ASSERT_EQ(runTromvax("t -core( -input \"" + dir + "/damaged.ac3\" -output \"" + dir + "/d.wav\" -logfile \"" + dir +
                          "/log\" -2ch )",
                      &err),
              0)
        << err;
    ASSERT_EQ(runTromvax("t -core( -input \"" + fixture("tone_stereo.ac3") + "\" -output \"" + dir +
                          "/c.wav\" -logfile \"" + dir + "/log2\" -2ch )",
                      &err),
              0)
        << err;
    EXPECT_NE(readFile(dir + "/log").find("Warning: 3 damaged frames skipped"), std::string::npos)
        << readFile(dir + "/log");
    const Audio d = load(dir + "/d.wav");
    const Audio c = load(dir + "/c.wav");
    EXPECT_EQ(d.frames(), c.frames());
    // The damaged frames are silent, the rest is the tone.
    EXPECT_LT(db(peak(d.ch[0], 20 * 1536 + 300, 21 * 1536 - 300)), -40.0);
    EXPECT_NEAR(db(peak(d.ch[0], 50 * 1536, 90 * 1536)), -6.0, 0.5);
}

TEST(TromvaxFailures, DamagedAndRandomInputsNeverCrash)
{
    const std::string dir = scratchDir();
    std::mt19937 rng(2024);
    int runs = 0, completed = 0;
    for (const char *name : {"tone_stereo.ac3", "centre51.ac3", "tone.mp2", "tone.mp3", "tone.wav", "av.vob",
                             "lpcm.vob"}) {
        const std::string source = readFile(fixture(name));
        ASSERT_FALSE(source.empty()) << name;
        const std::string ext = std::filesystem::path(name).extension().string();
        for (int variant = 0; variant < 10; ++variant) {
            std::string bytes = source;
            switch (variant % 5) {
            case 0: // truncated
                bytes.resize(rng() % bytes.size());
                break;
            case 1: // scattered bytes
                for (int i = 0; i < 200; ++i)
                    bytes[rng() % bytes.size()] = static_cast<char>(rng());
                break;
            case 2: { // a run of garbage in the middle
                const size_t at = rng() % bytes.size();
                for (size_t i = at; i < std::min(bytes.size(), at + 4000); ++i)
                    bytes[i] = static_cast<char>(rng());
                break;
            }
            case 3: // the header destroyed
                for (size_t i = 0; i < std::min<size_t>(bytes.size(), 64); ++i)
                    bytes[i] = static_cast<char>(rng());
                break;
            default: // random bytes only
                bytes.assign(1 + rng() % 50000, '\0');
                for (char &c : bytes)
                    c = static_cast<char>(rng());
            }
            const std::string in = dir + "/in" + ext;
            writeFile(in, bytes);
            const bool vob = ext == ".vob";
            const std::string out = dir + (vob ? "/target" : "/out.wav");
            std::filesystem::remove(out);
            const std::string line =
                vob ? "t -core( -input \"" + in + "\" -payload -logfile \"" + dir + "/log\" -output \"" + out +
                          "\" -2chnothing ) -ota( -g max )"
                    : "t -core( -input \"" + in + "\" -output \"" + out + "\" -logfile \"" + dir +
                          "/log\" -2ch ) -azid( -L -3db -s surround ) -ssrc( --rate 44100 ) -ota( -d -30 -g max )";
            std::string err;
            const int rc = runTromvax(line, &err);
            ++runs;
            SCOPED_TRACE(std::string(name) + " variant " + std::to_string(variant));
            ASSERT_TRUE(rc == 0 || rc == 1) << rc;
            EXPECT_EQ(leftovers(dir), 0);
            if (rc == 1) {
                EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
                EXPECT_FALSE(exists(out));
            } else {
                ++completed;
                EXPECT_TRUE(exists(out));
                if (!vob) {
                    EXPECT_EQ(load(out).channels(), 2);
                }
            }
        }
    }
    EXPECT_EQ(runs, 70);
    EXPECT_GT(completed, 10); // truncated and lightly damaged sources still decode
}

TEST(TromvaxProgram, HelpDocumentsEverySwitchAndAWholeLineRuns)
{
    const QString program = wstest::binDir() + "/tromvax";
    QString out, err;
    ASSERT_EQ(wstest::runProgram(program, {"--help"}, &out, &err), 0) << err.toStdString();
    for (const char *word : {"-input", "-output", "-logfile", "-logfilea", "-payload", "-substream", "-2ch",
                             "-6chwav", "-2chnothing", "-6chnothing", "-L ", "-l ", "-C ", "-S ", "-f1", "-c ",
                             "-s ", "-d ", "-g ", "-sc", "--rate", "--att", "/b=", "-name", "-func", "-profile(",
                             "light", "normal", "heavy", "inverse", "stereo", "surround2", "auto", "max",
                             "LADSPA_PATH", "Substream ID: ", "A/V Delay found : ", "Overall Track Gain: ",
                             "Total Gain: "})
        EXPECT_TRUE(out.contains(QString::fromLatin1(word))) << word;

    // The whole command line as one argument, as a shell-less runner may pass it.
    const std::string dir = scratchDir();
    const QString line = QString::fromStdString("-core( -input \"" + fixture("tone_stereo.ac3") + "\" -output \"" +
                                                dir + "/w.wav\" -logfilea \"" + dir +
                                                "/l.log\" -2ch ) -azid(  -L -3db -c normal -s surround ) "
                                                "-profile( The Wavesmithy v0.51 ) -ota( -sc 1024 -g +1.0dB )");
    ASSERT_EQ(wstest::runProgram(program, {line}, &out, &err), 0) << err.toStdString();
    EXPECT_EQ(load(dir + "/w.wav").channels(), 2);

    // Failures: exit code and one line on standard error.
    EXPECT_EQ(wstest::runProgram(program, {"-core(", "-input", QString::fromStdString(dir + "/none.ac3"), "-output",
                                           QString::fromStdString(dir + "/x.wav"), "-2ch", ")"},
                                 &out, &err),
              1);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << err.toStdString();
    EXPECT_EQ(wstest::runProgram(program, {}, &out, &err), 2);
}
