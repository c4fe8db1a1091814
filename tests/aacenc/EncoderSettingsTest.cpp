#include "CommandLine.h"
#include "EncoderPresetTable.h"
#include "EncoderSettings.h"

#include <gtest/gtest.h>

using namespace aacenc;

namespace {

// The words after the program name, as the front end's encode command reads.
std::vector<std::string> frontEndWords(const std::string &line)
{
    auto w = wstool::splitCommandLine(line);
    w.erase(w.begin());
    return w;
}

} // namespace

TEST(AacEncCommandLine, ReadsThePresetAndQualityFormsOfTheFrontEnd)
{
    Request r = parseRequest(
        frontEndWords(R"(/opt/ws/aacenc -if "/tmp/my tmp/wavesmithy.wav" -normal -of "/tmp/my tmp/01.aac")"));
    EXPECT_EQ(r.input, "/tmp/my tmp/wavesmithy.wav");
    EXPECT_EQ(r.output, "/tmp/my tmp/01.aac");
    EXPECT_EQ(r.preset, "normal");
    EXPECT_FALSE(r.quality.has_value());
    EXPECT_FALSE(r.adif);
    EXPECT_FALSE(r.keepLfe);

    // Quality: the number after -qvbr is a separate word, in hundredths.
    r = parseRequest(frontEndWords(R"(aacenc -if "/t/w.wav" -vbrhi -qvbr  35 -adif -lfe -of "/t/01.aac")"));
    ASSERT_TRUE(r.quality.has_value());
    EXPECT_DOUBLE_EQ(*r.quality, 0.35);
    EXPECT_TRUE(r.adif);
    EXPECT_TRUE(r.keepLfe);
    EXPECT_DOUBLE_EQ(*parseRequest(frontEndWords("a -if w -vbrhi -qvbr  49.9 -of o")).quality, 0.499);
    EXPECT_DOUBLE_EQ(*parseRequest(frontEndWords("a -if w -vbrhi -qvbr  100 -of o")).quality, 1.0);
    EXPECT_DOUBLE_EQ(*parseRequest(frontEndWords("a -if w -vbrhi -qvbr  5 -of o")).quality, 0.05);

    for (const wstool::EncoderPreset &p : wstool::kEncoderPresets)
        EXPECT_EQ(parseRequest({"-if", "w", std::string("-") + p.name, "-of", "o"}).preset, p.name);
    EXPECT_TRUE(parseRequest({"--help"}).help);

    // Worker threads: by default one per core (0), or as many as asked.
    EXPECT_EQ(r.threads, 0);
    EXPECT_EQ(parseRequest({"-if", "w", "-threads", "3", "-normal", "-of", "o"}).threads, 3);
}

TEST(AacEncCommandLine, RejectsWhatItCannotUse)
{
    const std::vector<std::vector<std::string>> bad = {
        {"-if", "w", "-normal", "-of", "o", "-bogus"},      // unknown switch
        {"-if", "w", "-Normal", "-of", "o"},                // presets are case-sensitive
        {"-if", "w", "-normal", "-extreme", "-of", "o"},    // two presets
        {"-if", "w", "-normal", "-qvbr", "35", "-of", "o"}, // preset and quality
        {"-if", "w", "-vbrhi", "-of", "o"},                 // -vbrhi without quality
        {"-if", "w", "-qvbr", "abc", "-of", "o"},
        {"-if", "w", "-qvbr", "0.35", "-of", "o"},          // below 5 hundredths
        {"-if", "w", "-qvbr", "101", "-of", "o"},
        {"-if", "w", "-qvbr"},                              // value missing
        {"-normal", "-of", "o"},                            // no input
        {"-if", "w", "-normal"},                            // no output
        {"-if", "w", "-if", "v", "-of", "o"},               // input twice
        {"-if", "w", "-threads", "0", "-of", "o"},          // no workers
        {"-if", "w", "-threads", "1.5", "-of", "o"},
        {"-if", "w", "-threads", "65", "-of", "o"},
        {"-if", "w", "-of", "o", "-threads"},
    };
    for (const auto &words : bad)
        EXPECT_THROW(parseRequest(words), wstool::UsageError) << wstool::joinWords(words);
}

TEST(AacEncRates, PresetsFollowTheTableAndTheChannelCount)
{
    Request r;
    r.preset = "normal";
    RateChoice c = chooseRate(r, 2, 2, 48000);
    EXPECT_EQ(c.bitRate, 170000);
    EXPECT_EQ(c.cutoff, 20500);
    EXPECT_EQ(chooseRate(r, 1, 1, 48000).bitRate, 170000); // one channel: the same column
    EXPECT_EQ(chooseRate(r, 6, 5, 48000).bitRate, 440000); // six channels, LFE dropped or not
    EXPECT_EQ(chooseRate(r, 6, 5, 32000).cutoff, 16000);   // never above half the rate
    r.preset = "tape";
    EXPECT_EQ(chooseRate(r, 2, 2, 44100).bitRate, 64000);
    EXPECT_EQ(chooseRate(r, 6, 5, 44100).bitRate, 165000);
    EXPECT_EQ(chooseRate(r, 6, 5, 44100).cutoff, 13000);
}

TEST(AacEncRates, QualityRisesWithEveryStepOfTheFrontEndsList)
{
    const double list[] = {0.05, 0.1, 0.15, 0.2, 0.25, 0.3, 0.35, 0.4, 0.45, 0.499, 0.5,
                           0.55, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95, 1.0};
    for (int channels : {1, 2, 5}) {
        int64_t previous = 0;
        for (double q : list) {
            Request r;
            r.quality = q;
            const RateChoice c = chooseRate(r, channels, channels, 48000);
            EXPECT_GT(c.bitRate, previous) << q;
            EXPECT_EQ(c.cutoff, 0);
            previous = c.bitRate;
        }
    }
    EXPECT_EQ(qualityBitRate(0.5, 2), 176000);
    EXPECT_EQ(qualityBitRate(1.0, 5), 800000);
}
