#include "CommandLine.h"
#include "KarduneOptions.h"
#include "SourceFrames.h"
#include "Split.h"

#include <gtest/gtest.h>

using namespace kardune;

namespace {

std::vector<std::string> frontEndWords(const std::string &line)
{
    auto w = wstool::splitCommandLine(line);
    w.erase(w.begin()); // the program
    return w;
}

} // namespace

TEST(KarduneCommandLine, ReadsTheFrontEndsSplitCommand)
{
    // The temporary folder prefix is not quoted, so blanks split it into words.
    const Options o = parseOptions(frontEndWords(
        R"("/opt/ws/kardune" -core( -input "/tmp/my tmp/wavesmithy.ac3" -prefix /tmp/my tmp/ -logfile "/opt/ws/Tromvax.log" -type ac3 -r -ending ) -split( 0 256 256 0 10.5 ) -profile( Wavesmithy v0.51 ))"));
    EXPECT_EQ(o.mode, Mode::Split);
    EXPECT_EQ(o.input, "/tmp/my tmp/wavesmithy.ac3");
    EXPECT_EQ(o.prefix, "/tmp/my tmp/");
    EXPECT_EQ(o.logPath, "/opt/ws/Tromvax.log");
    EXPECT_FALSE(o.logAppend);
    EXPECT_EQ(o.partType, PartType::Ac3);
    EXPECT_TRUE(o.replace);
    EXPECT_TRUE(o.ending);
    EXPECT_EQ(o.lengths, (std::vector<double>{256, 256, 10.5})); // zeros make no part
    EXPECT_EQ(partName(o, 1), "/tmp/my tmp/01.ac3");
    EXPECT_EQ(partName(o, 9), "/tmp/my tmp/09.ac3");
    EXPECT_EQ(partName(o, 10), "/tmp/my tmp/10.ac3");
    EXPECT_EQ(partName(o, 123), "/tmp/my tmp/123.ac3");

    // Track length 0: the list is empty and everything becomes one part.
    const Options one = parseOptions(frontEndWords(
        R"(k -core( -input "/t/x.WAV" -prefix /t/ -logfilea "/l.log" -type PCM ) -split( 0 ) -profile( Wavesmithy v0.51 ))"));
    EXPECT_TRUE(one.lengths.empty());
    EXPECT_TRUE(one.logAppend);
    EXPECT_EQ(one.partType, PartType::Wav);
    EXPECT_EQ(partName(one, 2), "/t/02"); // no -ending: the number alone
    EXPECT_FALSE(one.replace);

    for (const char *t : {"mpa", "mp1", "mp2", "mp3"})
        EXPECT_EQ(parseOptions({"-core(", "-input", "a", "-prefix", "p", "-type", t, ")"}).partType,
                  PartType::MpegAudio);
}

TEST(KarduneCommandLine, ReadsBothJoinCommands)
{
    Options o = parseOptions(frontEndWords(
        R"("/k" -core( -input "/t/Kardune.lst" -join -type aac -prefix "/out/My Film.aac"  -logfilea "/l.log" ) -profile( Wavesmithy v0.51 ))"));
    EXPECT_EQ(o.mode, Mode::Join);
    EXPECT_FALSE(o.addRiff);
    EXPECT_EQ(o.input, "/t/Kardune.lst");
    EXPECT_EQ(o.prefix, "/out/My Film.aac");
    EXPECT_TRUE(o.logAppend);

    o = parseOptions(frontEndWords(
        R"("/k" -core( -input "/t/Kardune.lst" -addriff -type aac -output "/out/f.wav"  -logfilea "/l.log" ) -profile( Wavesmithy v0.51 ))"));
    EXPECT_EQ(o.mode, Mode::Join);
    EXPECT_TRUE(o.addRiff);
    EXPECT_EQ(o.prefix, "/out/f.wav");
    EXPECT_EQ(parseOptions({"--help"}).mode, Mode::Help);
}

TEST(KarduneCommandLine, RejectsWhatItCannotUse)
{
    const std::vector<std::string> bad[] = {
        {"-core(", "-input", "a", "-prefix", "p", "-type", "dts", ")"},        // unknown type
        {"-core(", "-input", "a", "-prefix", "p", "-type", "-r", "-ending", ")"}, // empty type (unknown substream)
        {"-core(", "-input", "a", "-prefix", "p", "-type", "aac", ")"},        // AAC is joined, not split
        {"-core(", "-input", "a", "-prefix", "p", ")"},                        // no type
        {"-core(", "-input", "a", "-prefix", "p", "-type", "ac3", ")", "-split(", "0", "-5", ")"},
        {"-core(", "-input", "a", "-prefix", "p", "-type", "ac3", ")", "-split(", "0", "ten", ")"},
        {"-core(", "-input", "a", "-prefix", "p", "-type", "ac3", "-fast", ")"}, // unknown switch
        {"-core(", "-input", "a", "-prefix", "p", "-type", "ac3", ")", "-azid(", ")"}, // unknown group
        {"-core(", "-prefix", "p", "-type", "ac3", ")"},                       // no input
        {"-core(", "-input", "a", "-type", "ac3", ")"},                        // no prefix
        {"-core(", "-input", "a", "-prefix", "-type", "ac3", ")"},             // prefix without value
        {"-core(", "-input", "l", "-join", "-type", "ac3", "-prefix", "o", ")"}, // only AAC joins
        {"-core(", "-input", "l", "-join", "-prefix", "o", ")", "-split(", "10", ")"},
        {"stray", "-core(", "-input", "a", "-prefix", "p", "-type", "ac3", ")"},
    };
    for (const auto &words : bad)
        EXPECT_THROW(parseOptions(words), wstool::UsageError) << wstool::joinWords(words);
}

TEST(KardunePartPlan, CutsFramesAtTheNearestBoundaryWithoutEmptyParts)
{
    // 256 s of 48 kHz AC3 (32 ms frames) is exactly 8000 frames, although
    // 8000 * 0.032 is not exact in floating point.
    PartPlan plan({256, 256});
    std::vector<int> newPartAt;
    double t = 0;
    for (int frame = 0; frame < 20000; ++frame, t += 0.032)
        if (plan.startsNewPart(t, 0.032))
            newPartAt.push_back(frame);
    EXPECT_EQ(newPartAt, (std::vector<int>{8000, 16000}));

    // A part end at 0.050 s lies nearer to the start of frame 2 (0.064) than
    // to that of frame 1 (0.032), so the cut comes before frame 2.
    PartPlan near({0.050, 0.001, 0.001, 0.2});
    newPartAt.clear();
    t = 0;
    for (int frame = 0; frame < 20; ++frame, t += 0.032)
        if (near.startsNewPart(t, 0.032))
            newPartAt.push_back(frame);
    // The two lengths shorter than half a frame collapse into the first cut.
    EXPECT_EQ(newPartAt, (std::vector<int>{2, 8}));

    // Samples: each part end rounds to the nearest sample; ends at or before
    // the current position are passed over.
    PartPlan samples({1.0 / 3, 1.0 / 3, 0.00001});
    EXPECT_EQ(samples.nextEndSample(0, 44100), 14700);
    EXPECT_EQ(samples.nextEndSample(14700, 44100), 29400);
    EXPECT_EQ(samples.nextEndSample(29400, 44100), -1); // 29400.44 rounds to 29400
}

TEST(KarduneFrameHeaders, ReadAc3AndMpegAudioHeaders)
{
    // AC3, 48 kHz, 448 kbit/s (frame size code 30): 1792 bytes.
    const uint8_t ac3[] = {0x0B, 0x77, 0, 0, 0x1E, 0x40};
    auto h = parseAc3Header(ac3, sizeof ac3);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->size, 1792);
    EXPECT_EQ(h->samples, 1536);
    EXPECT_EQ(h->sampleRate, 48000);
    // 44.1 kHz, 256 kbit/s with the odd size code 25: 558 words.
    const uint8_t ac3b[] = {0x0B, 0x77, 0, 0, 0x40 | 25, 0x40};
    EXPECT_EQ(parseAc3Header(ac3b, 6)->size, 1116);
    EXPECT_EQ(parseAc3Header(ac3b, 6)->sampleRate, 44100);
    // E-AC3: frame size from frmsiz, two blocks per frame.
    const uint8_t eac3[] = {0x0B, 0x77, 0x01, 0xFF, 0x10, 16 << 3};
    h = parseAc3Header(eac3, 6);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->size, 1024);
    EXPECT_EQ(h->samples, 512);
    // MPEG-1 layer 2, 192 kbit/s, 48 kHz: 576 bytes; layer 3 at 44.1 kHz 128 kbit/s with padding: 418.
    const uint8_t mp2[] = {0xFF, 0xFD, 0xA4, 0x00};
    EXPECT_EQ(parseMpegAudioHeader(mp2, 4)->size, 576);
    EXPECT_EQ(parseMpegAudioHeader(mp2, 4)->samples, 1152);
    const uint8_t mp3[] = {0xFF, 0xFB, 0x92, 0x00};
    EXPECT_EQ(parseMpegAudioHeader(mp3, 4)->size, 418);
    // MPEG-2 layer 3 at 22.05 kHz: 576 samples.
    const uint8_t mp3b[] = {0xFF, 0xF3, 0x90, 0x00};
    EXPECT_EQ(parseMpegAudioHeader(mp3b, 4)->samples, 576);
    // Not headers: free format, reserved rate, broken sync, too short.
    const uint8_t bad[][4] = {{0xFF, 0xFB, 0x02, 0}, {0xFF, 0xFB, 0x9C, 0}, {0xFF, 0x7B, 0x90, 0}};
    for (const auto &b : bad)
        EXPECT_FALSE(parseMpegAudioHeader(b, 4));
    EXPECT_FALSE(parseAc3Header(ac3, 5));
    const uint8_t badAc3[] = {0x0B, 0x77, 0, 0, 0xC0, 0x40}; // reserved sample rate
    EXPECT_FALSE(parseAc3Header(badAc3, 6));
}
