#include "CommandLine.h"
#include "KarduneOptions.h"
#include "Split.h"
#include "WavInput.h"

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

    // Into MPEG-4 audio, tagged: a title is one word, whatever it looks like.
    o = parseOptions(frontEndWords(
        R"("/k" -core( -input "/t/Kardune.lst" -join -type aac -prefix "/out/My Film.M4a"  -logfilea "/l.log" -title "-r" -language FRA -chapters /t/my tmp/chapters.txt ) -profile( Wavesmithy v0.51 ))"));
    EXPECT_TRUE(isM4a(o.prefix));
    EXPECT_EQ(o.title, "-r");
    EXPECT_EQ(o.language, "fra");
    EXPECT_EQ(o.chapters, "/t/my tmp/chapters.txt");
    EXPECT_FALSE(isM4a("/out/film.m4a.aac"));
}

TEST(KarduneCommandLine, RejectsWhatItCannotUse)
{
    const std::vector<std::string> bad[] = {
        {"-core(", "-input", "a", "-prefix", "p", "-type", "ogg", ")"},        // unknown type
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
        {"-core(", "-input", "l", "-join", "-prefix", "o.m4a", "-language", "en", ")"},      // not ISO 639-2
        {"-core(", "-input", "l", "-join", "-prefix", "o.m4a", "-language", "e1g", ")"},
        {"-core(", "-input", "l", "-join", "-prefix", "o.m4a", "-title", ")"},               // no title
        {"-core(", "-input", "a", "-prefix", "p", "-type", "ac3", "-title", "t", ")"},       // tags a join only
        {"-core(", "-input", "a", "-prefix", "p", "-type", "ac3", "-chapters", "c", ")"},
        {"-core(", "-input", "l", "-join", "-prefix", "o.m4a", "-chapters", ")"},            // no file
        {"-core(", "-input", "l", "-addriff", "-output", "o.M4A", ")"},                      // RIFF is no .m4a
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

TEST(KarduneWavInput, NoticesDataLengthsPast4GiB)
{
    // RIFF header, an odd-sized LIST chunk (padded), then the data chunk.
    auto header = [](const char *riff, uint32_t dataSize) {
        std::vector<uint8_t> h;
        auto put = [&h](const char *s, uint32_t v) {
            h.insert(h.end(), s, s + 4);
            for (int i = 0; i < 4; ++i)
                h.push_back(uint8_t(v >> (8 * i)));
        };
        put(riff, 0);
        h.insert(h.end(), {'W', 'A', 'V', 'E'});
        put("fmt ", 16);
        h.insert(h.end(), 16, 0);
        put("LIST", 3);
        h.insert(h.end(), 4, 0);
        put("data", dataSize);
        return h;
    };
    const std::vector<uint8_t> small = header("RIFF", 1000);
    const uint64_t dataStart = small.size();
    EXPECT_FALSE(wstool::wavDataLengthOverflows(small.data(), small.size(), dataStart + 1000));
    // 6 GiB of audio: the 32-bit field holds the length modulo 4 GiB.
    const uint64_t big = 6ull << 30;
    const std::vector<uint8_t> wrapped = header("RIFF", uint32_t(big));
    EXPECT_TRUE(wstool::wavDataLengthOverflows(wrapped.data(), wrapped.size(), dataStart + big));
    const std::vector<uint8_t> placeholder = header("RIFF", 0xFFFFFFFFu);
    EXPECT_TRUE(wstool::wavDataLengthOverflows(placeholder.data(), placeholder.size(), dataStart + big));
    EXPECT_FALSE(wstool::wavDataLengthOverflows(placeholder.data(), placeholder.size(), dataStart + 0xFFFFFFFFu));
    const std::vector<uint8_t> rf64 = header("RF64", 0xFFFFFFFFu);
    EXPECT_FALSE(wstool::wavDataLengthOverflows(rf64.data(), rf64.size(), dataStart + big));
}

TEST(KarduneWavInput, RefusesChunksThatRunPastTheEndOfTheFile)
{
    // Chunks: id and the length its header claims, and the bytes it really has.
    struct Chunk {
        const char *id;
        uint32_t claimed;
        uint32_t present;
    };
    auto file = [](const char *riff, std::initializer_list<Chunk> chunks) {
        std::vector<uint8_t> f(riff, riff + 4);
        f.insert(f.end(), {0, 0, 0, 0, 'W', 'A', 'V', 'E'});
        for (const Chunk &c : chunks) {
            f.insert(f.end(), c.id, c.id + 4);
            for (int i = 0; i < 4; ++i)
                f.push_back(uint8_t(c.claimed >> (8 * i)));
            f.insert(f.end(), c.present, 0);
        }
        return f;
    };
    const struct {
        std::vector<uint8_t> file;
        std::string expected;
    } cases[] = {
        {file("RIFF", {{"fmt ", 16, 16}, {"LIST", 3, 4}, {"data", 100, 100}}), ""},
        {file("RIFF", {{"fmt ", 16, 16}, {"LIST", 0x7200002C, 40}, {"data", 100, 100}}), "LIST chunk at byte 36"},
        {file("RIFF", {{"fmt ", 16, 16}, {"data", 100, 100}, {"LIST", 90, 40}}), "LIST chunk at byte 144"},
        {file("RIFF", {{"fmt ", 0x1000, 16}}), "fmt  chunk at byte 12"},
        {file("RIFF", {{"fmt ", 16, 16}, {"data", 0xFFFFFFFF, 100}}), ""},
        {file("RIFF", {{"fmt ", 16, 16}, {"data", 0, 100}}), ""},
        {file("RF64", {{"ds64", 28, 28}, {"bext", 5000, 10}, {"data", 0xFFFFFFFF, 100}}), "bext chunk at byte 48"},
        {file("RF64", {{"ds64", 28, 28}, {"data", 0xFFFFFFFF, 100}, {"LIST", 5000, 10}}), ""},
        {file("RIFX", {{"fmt ", 0x1000, 16}}), ""},
    };
    for (const auto &c : cases) {
        const auto readAt = [&c](uint64_t pos, uint8_t *out, size_t n) {
            if (pos + n > c.file.size())
                return false;
            std::copy_n(c.file.begin() + std::ptrdiff_t(pos), n, out);
            return true;
        };
        EXPECT_EQ(wstool::wavChunkPastEnd(readAt, c.file.size()), c.expected) << c.expected;
    }
}
