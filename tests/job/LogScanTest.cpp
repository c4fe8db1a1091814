// The tool log scan and the gain switch rule.
#include "LogScan.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wsjob;

namespace {

const QString kDelay = QString::fromLatin1(kDelayPrefix);
const QString kSub = QString::fromLatin1(kSubstreamPrefix);
const QString kOverall = QString::fromLatin1(kOverallGainPrefix);
const QString kTotal = QString::fromLatin1(kTotalGainPrefix);

class LogScan : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString log() const { return dir.filePath(QStringLiteral("Aactempfile1")); }
    // Writes the log, scans it from the job's defaults and checks it is gone.
    ToolLogValues scan(const QStringList &lines, const char *eol = "\n")
    {
        QFile f(log());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (const QString &l : lines)
            f.write(l.toUtf8() + eol);
        f.close();
        ToolLogValues v;
        scanToolLog(log(), v);
        EXPECT_FALSE(QFile::exists(log()));
        return v;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(LogScan, DelayIsReadLenientlyAndRoundedHalfToEven)
{
    EXPECT_EQ(scan({kDelay + "-40ms"}).delay, -40);
    EXPECT_EQ(scan({kDelay + "12.5ms"}).delay, 12);
    EXPECT_EQ(scan({kDelay + "13.5ms"}).delay, 14);
    EXPECT_EQ(scan({kDelay + "  +  7 ms"}).delay, 7);
    EXPECT_EQ(scan({kDelay + "n/a"}).delay, 0);
    // A later delay line overrides an earlier one; one out of 16-bit range doesn't.
    EXPECT_EQ(scan({kDelay + "25ms", kDelay + "-30ms"}).delay, -30);
    EXPECT_EQ(scan({kDelay + "25ms", kDelay + "40000ms"}).delay, 25);
    EXPECT_EQ(scan({kDelay + "32767.5ms"}).delay, 0);
    EXPECT_EQ(scan({kDelay + "-32768.5ms"}).delay, -32768);
}

TEST_F(LogScan, OnlyExactPrefixesAreRecognised)
{
    // Time stamp not all zeros, a blank short, wrong case: none of them count.
    const ToolLogValues v = scan({"[00:00:01:000] |  A/V Delay found : -40ms",
                                  "[00:00:00:000] | A/V Delay found : -40ms",
                                  "[00:00:00:000] |  a/v delay found : -40ms",
                                  "[00:00:00:120] |  Substream ID: 0xA0",
                                  "[00:00:00:000] |  Overall track gain: +1.0dB",
                                  "[00:00:00:500] |  Done."});
    EXPECT_EQ(v.delay, 0);
    EXPECT_EQ(v.substream, "0x80");
    EXPECT_FALSE(v.gainLineFound);
    EXPECT_EQ(v.gainLine, "[00:00:00:500] |  Done.");
}

TEST_F(LogScan, SubstreamTakesFourCharactersFromItsFixedPlace)
{
    EXPECT_EQ(scan({kSub + "0xC1"}).substream, "0xC1");
    EXPECT_EQ(scan({kSub + "0xA0 (PCM)"}).substream, "0xA0");
    EXPECT_EQ(scan({kSub + "0xC"}).substream, "0xC");
    EXPECT_EQ(scan({kSub + "0x81", kSub + "0x82"}).substream, "0x82");
    // Lines written with CR LF give the same values, without the CR.
    const ToolLogValues v = scan({kSub + "0xC1", kOverall + "+3.2dB"}, "\r\n");
    EXPECT_EQ(v.substream, "0xC1");
    EXPECT_EQ(v.gainLine, kOverall + "+3.2dB");
    EXPECT_EQ(gainSwitch(v.gainLine), " -g +3.2dB");
}

TEST_F(LogScan, ScanStopsAtTheFirstGainLine)
{
    ToolLogValues v = scan({"[00:00:00:010] |  Reading a.vob", kDelay + "40ms", kSub + "0x81",
                            kOverall + "+3.2dB", kSub + "0xC0", kDelay + "-99ms",
                            kTotal + "-1.0dB", "[00:00:00:900] |  Done."});
    EXPECT_EQ(v.delay, 40);
    EXPECT_EQ(v.substream, "0x81");
    EXPECT_TRUE(v.gainLineFound);
    EXPECT_EQ(v.gainLine, kOverall + "+3.2dB");

    v = scan({kTotal + "-1.5dB (clipping)", kOverall + "+2.0dB"});
    EXPECT_EQ(v.gainLine, kTotal + "-1.5dB (clipping)");
    EXPECT_EQ(gainSwitch(v.gainLine), " -g -1.5dB");
}

TEST_F(LogScan, EmptyOrMissingLogKeepsTheDefaults)
{
    ToolLogValues v = scan({});
    EXPECT_EQ(v.delay, 0);
    EXPECT_EQ(v.substream, "0x80");
    EXPECT_TRUE(v.gainLine.isEmpty());
    EXPECT_FALSE(v.gainLineFound);

    // Missing log: values as they were, and no file appears.
    v.delay = 12;
    v.substream = "0xC0";
    scanToolLog(log(), v);
    EXPECT_EQ(v.delay, 12);
    EXPECT_EQ(v.substream, "0xC0");
    EXPECT_FALSE(QFile::exists(log()));
}

TEST(GainSwitch, TakesTheValueBehindGainUpToDb)
{
    const struct {
        QString line;
        const char *gopt;
    } cases[] = {
        {kOverall + "+3.2dB", " -g +3.2dB"},
        {kTotal + "-1.5dB (clipping)", " -g -1.5dB"},
        {kOverall + "+3.2dB, peak -0.1dB", " -g +3.2dB"},
        {kOverall + "n/a", ""},
        {kOverall + "+3.2DB", ""}, // "dB" is matched with its case
        {kOverall, ""},
        {"", ""},
        // The last line of a log without a gain line is no gain switch, even
        // when it mentions decibels.
        {"[00:00:01:234] |  Output peak -3dB", ""},
        {"[00:00:00:000] |  Done.", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(gainSwitch(c.line), QString::fromLatin1(c.gopt)) << c.line.toStdString();
}
