// Lenient number reading and halves-to-even rounding into 16 bits.
#include "LenientNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace wsjob;

TEST(LenientValue, ReadsUpToTheFirstOtherCharacter)
{
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"12.5ms", 12.5},     {" -40ms", -40},       {"+3.2dB", 3.2},   {"  - 4 0 ms", -40},
        {"1 2 . 5x", 12.5},   {"1.2.3", 1.2},        {".5", 0.5},       {"-.25", -0.25},
        {"7.", 7},            {"abc", 0},            {"", 0},           {"   ", 0},
        {"-", 0},             {"+.", 0},             {"--5", 0},        {"5-3", 5},
        {"1e3", 1},           {"0x80", 0},           {"256 ", 256},     {"0.350", 0.35},
        {"\t5", 0},           {"00012", 12},         {": -40ms", 0},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(lenientValue(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(LenientValue, LongDigitRunsConvertWithoutLosingTheScale)
{
    EXPECT_DOUBLE_EQ(lenientValue("123456789012345678901234567890"), 1.2345678901234568e29);
    EXPECT_TRUE(std::isinf(lenientValue(QString(400, '9'))));
    EXPECT_LT(lenientValue("-" + QString(400, '9')), 0);
    EXPECT_EQ(lenientValue("0." + QString(400, '0') + "1"), 0.0);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    const struct {
        double in, out;
    } cases[] = {{12.5, 12},  {13.5, 14},  {-12.5, -12}, {-13.5, -14}, {0.5, 0},   {-0.5, 0},
                 {1.5, 2},    {2.4999, 2}, {2.5001, 3},  {-2.5001, -3}, {7, 7},   {-7.2, -7},
                 {32766.5, 32766}, {32767.5, 32768}};
    for (const auto &c : cases)
        EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
}

TEST(RoundToInt16, FitsOrReportsOverflow)
{
    EXPECT_EQ(roundToInt16(32767.4), std::optional<qint16>(32767));
    EXPECT_EQ(roundToInt16(-32768.5), std::optional<qint16>(-32768));
    EXPECT_EQ(roundToInt16(-40), std::optional<qint16>(-40));
    EXPECT_FALSE(roundToInt16(32767.5).has_value());
    EXPECT_FALSE(roundToInt16(-32768.51).has_value());
    EXPECT_FALSE(roundToInt16(40000).has_value());
    EXPECT_FALSE(roundToInt16(1e300).has_value());
    EXPECT_FALSE(roundToInt16(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(roundToInt16(std::numeric_limits<double>::quiet_NaN()).has_value());
}
