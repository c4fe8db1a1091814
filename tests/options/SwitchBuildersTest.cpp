#include "EncoderPresets.h"
#include "NumberText.h"
#include "OptionModel.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace ws;
using wsjob::groupText;

namespace {

struct Builders : ::testing::Test {
    OptionModel m;
    Control &c(const char *name, int index = -1) { return m.control(QLatin1String(name), index); }
    void input(const char *name) { m.setText(c("InputFile"), QLatin1String(name)); }
};

} // namespace

TEST_F(Builders, DecoderGroupWithDefaultsForAnAc3Input)
{
    input("movie.ac3");
    EXPECT_EQ(groupText(m.azidGroup()), QStringLiteral(" -L -3db -c normal -s surround"));
    input("MOVIE.AC3");
    EXPECT_EQ(groupText(m.azidGroup()), QStringLiteral(" -L -3db -c normal -s surround"));
}

TEST_F(Builders, DecoderGroupOnlyForAc3Inputs)
{
    for (const char *name : {"movie.ac3 ", "movie.vob", "song.mp2", "x.wav", "ac3"}) {
        input(name);
        EXPECT_EQ(groupText(m.azidGroup()), QString()) << name;
    }
}

TEST_F(Builders, DecoderGroupPairsFollowTicksTagsAndValues)
{
    input("a.ac3");
    for (int i : {0, 1, 2, 3, 6, 8, 9})
        m.setValue(c("Azid", i), 1);
    m.setText(c("AZIDVAL", 1), QStringLiteral("+2dB"));
    c("Azid", 2).tag = QStringLiteral("-X"); // switches come from the tags, never from code
    EXPECT_EQ(groupText(m.azidGroup()), QStringLiteral(" -L -3db -l +2dB -X 0db -S 0db -f1  -c normal -s surround"));
    // Each switch with its own value; a switch without one gets an empty value.
    EXPECT_EQ(m.azidGroup(), (wsjob::SwitchList{{"-L", "-3db"}, {"-l", "+2dB"}, {"-X", "0db"}, {"-S", "0db"},
                                                {"-f1", ""}, {"-c", "normal"}, {"-s", "surround"}}));

    m.pickItem(c("azidcmb", 8), QStringLiteral("5.1")); // six channels: no channel-mode pair
    EXPECT_EQ(groupText(m.azidGroup()), QStringLiteral(" -L -3db -l +2dB -X 0db -S 0db -f1  -c normal"));

    for (int i : {0, 1, 2, 3, 6, 8, 9})
        m.setValue(c("Azid", i), 0);
    EXPECT_EQ(groupText(m.azidGroup()), QString());
}

TEST_F(Builders, CheckNeedsTickAndEnabledAtOnce)
{
    Control &box = c("Azid", 0);
    EXPECT_TRUE(OptionModel::check(box));
    box.value = 2; // greyed tick still counts
    EXPECT_TRUE(OptionModel::check(box));
    box.enabled = false;
    EXPECT_FALSE(OptionModel::check(box));
    input("a.ac3");
    EXPECT_FALSE(groupText(m.azidGroup()).contains(QLatin1String("-L")));
}

TEST_F(Builders, ResamplerGroup)
{
    EXPECT_EQ(groupText(m.resamplerGroup()), QString());
    m.setValue(c("SSRC", 0), 1);
    EXPECT_EQ(groupText(m.resamplerGroup()), QStringLiteral(" --rate 44100"));
    m.setValue(c("SSRC", 1), 1);
    m.setText(c("SSRCVAL", 1), QStringLiteral("3"));
    EXPECT_EQ(groupText(m.resamplerGroup()), QStringLiteral(" --rate 44100 --att 3"));
}

TEST_F(Builders, DelayGroupNeverEmpty)
{
    EXPECT_EQ(groupText(m.delayGroup()), QStringLiteral(" -sc 1024"));
    m.setValue(c("OTA", 0), 1);
    m.setText(c("OTAval", 0), QStringLiteral("120"));
    EXPECT_EQ(groupText(m.delayGroup()), QStringLiteral(" -d 120 -sc 1024"));
    m.setValue(c("OTA", 3), 1); // automatic delay disables the value box
    EXPECT_EQ(groupText(m.delayGroup()), QStringLiteral(" -d auto -sc 1024"));
}

TEST_F(Builders, VolumeGroupEmulatesCompressionForOtherSources)
{
    input("x.wav");
    m.pickItem(c("azidcmb", 9), QStringLiteral("heavy"));
    EXPECT_EQ(m.boostGroup(), QStringLiteral("/b=3db"));
    m.pickItem(c("azidcmb", 9), QStringLiteral("inverse"));
    EXPECT_EQ(m.boostGroup(), QStringLiteral("/b=0.5"));
    m.setText(c("azidcmb", 9), QStringLiteral("Heavy"));
    EXPECT_EQ(m.boostGroup(), QString());
    m.pickItem(c("azidcmb", 9), QStringLiteral("light"));
    for (const char *name : {"x.vob", "x.AC3"}) {
        input(name);
        EXPECT_EQ(m.boostGroup(), QString()) << name;
    }
    input("x.mp2");
    EXPECT_EQ(m.boostGroup(), QStringLiteral("/b=1db"));
    m.setValue(c("Azid", 9), 0);
    EXPECT_EQ(m.boostGroup(), QString());
}

TEST_F(Builders, PluginGroupFollowsDllNameOnly)
{
    EXPECT_EQ(groupText(m.pluginGroup()), QString());
    m.click(c("plugin", 1)); // undone at once: the function follows the DLL name
    EXPECT_EQ(c("plugin", 1).value, 0);
    EXPECT_EQ(groupText(m.pluginGroup()), QString());
    m.click(c("plugin", 0));
    EXPECT_EQ(groupText(m.pluginGroup()), QStringLiteral(" -name KQ_M2S.dll -func Simple"));
}

TEST(EncoderPresets, PropertiesCaptionFollowsPresetAndChannelMode)
{
    EXPECT_EQ(encodingProperties(QStringLiteral("normal"), QStringLiteral("stereo")),
              QStringLiteral("Approximate Bit rate = 170Kbps\r\nCut-off frequency    = 20500Hz"));
    EXPECT_EQ(encodingProperties(QStringLiteral("tape"), QStringLiteral("5.1")),
              QStringLiteral("Approximate Bit rate = 165Kbps\r\nCut-off frequency    = 13000Hz"));
    EXPECT_EQ(encodingProperties(QStringLiteral("Normal"), QStringLiteral("5.1")),
              QStringLiteral("Approximate Bit rate = Kbps\r\nCut-off frequency    = Hz"));
}

TEST(NumberText, WrittenWithLeadingBlankAndNoTrailingZeros)
{
    EXPECT_EQ(numberText(0.35 * 100), QStringLiteral(" 35"));
    EXPECT_EQ(numberText(0.499 * 100), QStringLiteral(" 49.9"));
    EXPECT_EQ(numberText(1.0 * 100), QStringLiteral(" 100"));
    EXPECT_EQ(numberText(-40), QStringLiteral("-40"));
}
