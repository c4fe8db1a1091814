#include "OptionModel.h"
#include "QtPrinters.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

using namespace ws;

namespace {

struct Interlocks : ::testing::Test {
    OptionModel m;
    Control &c(const char *name, int index = -1) { return m.control(QLatin1String(name), index); }
    std::map<QString, Colour> colours() const
    {
        std::map<QString, Colour> out;
        for (const auto &ctl : m.controls())
            out[ctl->key()] = ctl->foreColor;
        return out;
    }
};

} // namespace

TEST_F(Interlocks, ArraysHoldExactlyTheListedIndices)
{
    EXPECT_EQ(m.find(QStringLiteral("Azid"), 4), nullptr);
    EXPECT_EQ(m.find(QStringLiteral("Azid"), 5), nullptr);
    EXPECT_THROW(m.control(QStringLiteral("Azid"), 5), std::out_of_range);
    EXPECT_EQ(m.switchControls().size(), 28u);
    EXPECT_EQ(m.valueControls().size(), 27u);
    EXPECT_EQ(c("aaccmb", 1).items.indexOf(QStringLiteral("0.499")) + 1,
              c("aaccmb", 1).items.indexOf(QStringLiteral("0.500")));
    EXPECT_EQ(c("substream").items.size(), 32);
    EXPECT_EQ(c("substream").items.at(8), QStringLiteral("0x88  (DTS)"));
    EXPECT_EQ(c("substream").items.at(16), QStringLiteral("0xA0  (PCM)"));
}

TEST_F(Interlocks, GreyColouringTogglesAndReturns)
{
    const auto design = colours();
    EXPECT_EQ(c("SSRC", 0).foreColor, kGrey);
    m.click(c("general", 0)); // off: every switch caption green, Label4 too
    EXPECT_EQ(c("SSRC", 0).foreColor, kGreen);
    EXPECT_EQ(c("Label4").foreColor, kGreen);
    EXPECT_EQ(c("Frame3").foreColor, kFrameBlue);
    m.click(c("general", 0));
    EXPECT_EQ(colours(), design);
    m.click(c("general", 0));
    m.click(c("general", 0));
    EXPECT_EQ(colours(), design);
}

TEST_F(Interlocks, FixedGainFollowsAutomaticGain)
{
    Control &gain = c("AZIDVAL", 4);
    EXPECT_FALSE(gain.enabled);
    m.click(c("Azid", 7));
    EXPECT_TRUE(gain.enabled);
    EXPECT_EQ(gain.backColor, kYellow);
    EXPECT_EQ(gain.foreColor, kWindowText);
    m.click(c("Azid", 7));
    EXPECT_FALSE(gain.enabled);
    EXPECT_EQ(gain.backColor, kInactiveBorder);
    EXPECT_EQ(gain.foreColor, kGreyText);
}

TEST_F(Interlocks, ChannelModeSetsSegmentSizeAndBitRate)
{
    m.pickItem(c("azidcmb", 8), QStringLiteral("5.1"));
    EXPECT_EQ(c("splitval", 0).text, QStringLiteral("32"));
    EXPECT_TRUE(c("info").caption.startsWith(QStringLiteral("Approximate Bit rate = 440Kbps")));
    m.pickItem(c("azidcmb", 8), QStringLiteral("stereo"));
    EXPECT_EQ(c("splitval", 0).text, QStringLiteral("256"));
    EXPECT_TRUE(c("info").caption.startsWith(QStringLiteral("Approximate Bit rate = 170Kbps")));
    // Typing a text is not picking an item: no handler runs.
    m.setText(c("azidcmb", 8), QStringLiteral("5.1"));
    EXPECT_EQ(c("splitval", 0).text, QStringLiteral("256"));
}

TEST_F(Interlocks, BoxesThatCannotBeUnticked)
{
    m.click(c("LOGFILE", 0));
    EXPECT_EQ(c("LOGFILE", 0).value, 1);
    EXPECT_TRUE(c("LOGFILE", 1).enabled && c("LOGFILE", 2).enabled && c("LOGFILEVAL", 0).enabled);
    m.click(c("split", 0));
    m.click(c("split", 1));
    EXPECT_EQ(c("split", 0).value, 1);
    EXPECT_EQ(c("split", 1).value, 1);
}

TEST_F(Interlocks, DelayBoxFollowsAutomaticDelay)
{
    m.setValue(c("OTA", 3), 1);
    EXPECT_FALSE(c("OTAval", 0).enabled);
    m.setValue(c("OTA", 3), 0);
    EXPECT_TRUE(c("OTAval", 0).enabled);
}

TEST_F(Interlocks, WaveHeaderSwitchesOutputExtension)
{
    m.click(c("addriff"));
    EXPECT_EQ(c("OutputFile").text, QStringLiteral("Output.wav"));
    m.click(c("addriff"));
    EXPECT_EQ(c("OutputFile").text, QStringLiteral("Output.aac"));
    m.setText(c("OutputFile"), QStringLiteral("ab"));
    m.click(c("addriff"));
    EXPECT_EQ(c("OutputFile").text, QStringLiteral("ab"));
}

TEST_F(Interlocks, EncoderModeEnablesItsCombo)
{
    m.aaccmb_Click();
    m.click(c("aac", 1));
    EXPECT_EQ(c("aac", 0).value, 0);
    EXPECT_FALSE(c("info").visible);
    EXPECT_FALSE(c("aaccmb", 0).enabled);
    EXPECT_TRUE(c("aaccmb", 1).enabled);
    const QString before = c("info").caption;
    m.pickItem(c("aaccmb", 1), QStringLiteral("0.350")); // refreshes from the preset, not the quality
    EXPECT_EQ(c("info").caption, before);
    m.click(c("aac", 0));
    EXPECT_TRUE(c("info").visible);
    EXPECT_TRUE(c("aaccmb", 0).enabled);
}

TEST_F(Interlocks, InputNameSetsOutputDelayHintAndVobControls)
{
    QSignalSpy spy(&m, &OptionModel::controlChanged);
    m.setText(c("InputFile"), QStringLiteral("/dvd/movie DELAY -40ms.vob"));
    EXPECT_EQ(c("OTAval", 0).text, QStringLiteral("-40"));
    EXPECT_EQ(c("OutputFile").text, QStringLiteral("/dvd/movie DELAY -40ms.aac"));
    EXPECT_TRUE(c("substream").visible);
    EXPECT_TRUE(c("OTA", 3).visible);
    EXPECT_GT(spy.count(), 0);

    m.setText(c("substream"), QStringLiteral("0xA2"));
    m.setValue(c("OTA", 3), 1);
    EXPECT_FALSE(c("OTAval", 0).enabled);
    m.setText(c("InputFile"), QStringLiteral("/x/clip.VOB"));
    EXPECT_EQ(c("substream").text, QStringLiteral("SubStream ID"));
    // The output name keeps following the first input only.
    EXPECT_EQ(c("OutputFile").text, QStringLiteral("/dvd/movie DELAY -40ms.aac"));

    m.setText(c("InputFile"), QStringLiteral("/x/song DELAYxyz.ac3"));
    EXPECT_EQ(c("OTAval", 0).text, QStringLiteral("0"));
    EXPECT_FALSE(c("substream").visible);
    EXPECT_FALSE(c("OTA", 3).visible);
    EXPECT_EQ(c("OTA", 3).value, 0);
    EXPECT_TRUE(c("OTAval", 0).enabled);
}

TEST_F(Interlocks, TempFolderAlwaysEndsWithSeparator)
{
    const QString sep = OptionModel::separator();
    EXPECT_TRUE(c("TempFolder").text.endsWith(sep));
    m.setText(c("TempFolder"), QStringLiteral("tmpdir"));
    m.TempFolder_LostFocus();
    EXPECT_EQ(c("TempFolder").text, QStringLiteral("tmpdir") + sep);
    m.TempFolder_LostFocus();
    EXPECT_EQ(c("TempFolder").text, QStringLiteral("tmpdir") + sep);
    m.setText(c("TempFolder"), QString());
    m.TempFolder_LostFocus();
    EXPECT_EQ(c("TempFolder").text, sep);
}

TEST_F(Interlocks, Mpeg4OutputGreysTheWaveAndAdifHeaders)
{
    for (const auto &[name, mpeg4] : {std::pair{"film.m4a", true}, {"FILM.M4A", true}, {"film.aac", false},
                                      {"m4a", false}}) {
        m.setText(c("OutputFile"), QLatin1String(name));
        EXPECT_EQ(c("addriff").enabled, !mpeg4) << name;
        EXPECT_EQ(c("aacmore", 0).enabled, !mpeg4) << name;
    }
}

TEST_F(Interlocks, DiscListingOffersTheChosenTitlesTracks)
{
    using wsjob::DiscTitleInfo;
    using wsjob::DiscTrack;
    QTemporaryDir disc;
    m.setText(c("InputFile"), disc.path());
    ASSERT_TRUE(m.discInput());
    m.setText(c("substream"), QStringLiteral("0x81"));
    const QList<DiscTitleInfo> titles = {
        {1, 300, {0}, {DiscTrack{"0x80", "ac3", 2, "fr", false}}},
        {2, 5400, {0, 60}, {DiscTrack{"0x80", "ac3", 6, "en", false}, DiscTrack{"0x81", "ac3", 2, "en", true}}}};

    // The longest title, its tracks, and the chosen ID shown with its facts.
    m.setDiscListing(titles);
    EXPECT_EQ(m.discTitle(), QStringLiteral("2  1:30:00  (2 chapters)"));
    EXPECT_EQ(m.discTitleItems(), (QStringList{"1  0:05:00  (1 chapter)", "2  1:30:00  (2 chapters)"}));
    EXPECT_EQ(c("substream").items, (QStringList{"0x80  AC3 5.1 en", "0x81  AC3 2.0 en (commentary)"}));
    EXPECT_EQ(c("substream").text, QStringLiteral("0x81  AC3 2.0 en (commentary)"));

    // A title without that ID goes back to the automatic choice.
    m.setDiscTitle(m.discTitleItems().first());
    EXPECT_EQ(c("substream").items, QStringList{"0x80  AC3 2.0 fr"});
    EXPECT_EQ(c("substream").text, QStringLiteral("SubStream ID"));

    // A title chosen by number (--title, the batch) is kept when listed anew.
    m.setDiscTitle(QStringLiteral("1"));
    m.setDiscListing(titles);
    EXPECT_EQ(m.discTitle(), QStringLiteral("1  0:05:00  (1 chapter)"));

    // Another input offers every ID again until it is listed.
    m.setText(c("InputFile"), QStringLiteral("/m/film.vob"));
    EXPECT_EQ(c("substream").items.size(), 32);
    EXPECT_TRUE(m.discTitleItems().isEmpty());
}
