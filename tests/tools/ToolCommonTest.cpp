#include "CommandLine.h"
#include "Levels.h"
#include "PartLength.h"
#include "ToolLog.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

using namespace wstool;

TEST(CommandLine, SplitsQuotedStretchesAndKeepsEmptyOnes)
{
    EXPECT_EQ(splitCommandLine(R"("/a b/tromvax" -core( -input "x y.ac3"  "" ))"),
              (std::vector<std::string>{"/a b/tromvax", "-core(", "-input", "x y.ac3", "", ")"}));
    EXPECT_EQ(splitCommandLine(R"(a"b c"d)"), (std::vector<std::string>{"ab cd"}));
}

TEST(CommandLine, GroupsCloseOnParenthesisOrAtTheEnd)
{
    const auto g = parseGroups(splitCommandLine(
        "-core( -input a -output b ) -ota( -g max ) -profile( The Wavesmithy v0.51 ) -core( -x"));
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[0].name, "core");
    EXPECT_EQ(g[1].words, (std::vector<std::string>{"-g", "max"}));
    EXPECT_EQ(joinWords(g[2].words), "The Wavesmithy v0.51");
    EXPECT_EQ(g[3].words, (std::vector<std::string>{"-x"}));
    EXPECT_THROW(parseGroups({"a", ")"}), UsageError);

    // Only "-name(" opens and only ")" closes: other words are values.
    const std::vector<std::string> values = {"-3db -core(", "x ) -core(", "-a_b(", "-(", " )", ") "};
    std::vector<std::string> words = {"-ota2("};
    words.insert(words.end(), values.begin(), values.end());
    const auto one = parseGroups(words);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name, "ota2");
    EXPECT_EQ(one[0].words, values);
}

TEST(Levels, ReadsDecibelsAsTheFrontEndWritesThem)
{
    EXPECT_DOUBLE_EQ(*parseDb("-3db"), -3.0);
    EXPECT_DOUBLE_EQ(*parseDb("+3.2dB"), 3.2);
    EXPECT_DOUBLE_EQ(*parseDb("0DB"), 0.0);
    EXPECT_DOUBLE_EQ(*parseDb("6"), 6.0);
    EXPECT_FALSE(parseDb("max").has_value());
    EXPECT_FALSE(parseDb("").has_value());
    EXPECT_FALSE(parseNumber("0x10").has_value());
    EXPECT_FALSE(parseNumber("inf").has_value());
}

TEST(ToolLog, StampsElapsedTime)
{
    EXPECT_EQ(ToolLog::stamp(std::chrono::milliseconds(0)), "[00:00:00:000]");
    EXPECT_EQ(ToolLog::stamp(std::chrono::milliseconds(3723004)), "[01:02:03:004]");
}

TEST(PartLength, NotesReadBackAndDamagedOnesAreRefused)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("01.aac.length")).toStdString();
    writeLengthNote(path, {1234567890123, 1024, 44100, 987654});
    const auto back = readLengthNote(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->samples, 1234567890123);
    EXPECT_EQ(back->priming, 1024);
    EXPECT_EQ(back->rate, 44100);
    EXPECT_EQ(back->bytes, 987654u);

    const std::string head = "wavesmithy part length 1\n";
    const std::string bad[] = {
        "",
        "wavesmithy part span 1\nsamples 1\npriming 0\nrate 48000\nbytes 9\n", // another note
        head + "samples 1\npriming 0\nrate 48000\n",                             // bytes missing
        head + "samples -1\npriming 0\nrate 48000\nbytes 9\n",
        head + "samples 1\npriming 0\nrate 4800000000\nbytes 9\n",
        head + "samples 1\npriming 9000000000000000000\nrate 48000\nbytes 9\n", // beyond any part
        head + "samples 1\npriming 0\nrate 48000\nbytes 9\nlength 3\n",          // unknown key
    };
    for (const std::string &text : bad) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        EXPECT_FALSE(readLengthNote(path)) << text;
    }
    EXPECT_FALSE(readLengthNote(path + ".none"));
}
