#include "CommandLine.h"
#include "Levels.h"
#include "ToolLog.h"

#include <gtest/gtest.h>

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
