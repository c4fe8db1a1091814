// The gain pass in two halves: whatever byte the file is cut at, the halves
// together measure what one pass over the whole file measures.
#include "AvLogRoute.h"
#include "SplitPeak.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using namespace tromvax;

namespace {

const int kQuietFfmpeg = (av_log_set_level(AV_LOG_QUIET), 0);

class SplitPeak : public ::testing::Test {
protected:
    // 40 s of tones whose level swells, with one loud burst at `burstAt`
    // seconds, so that the peak lies in one half only.
    std::string source(const char *name, const QStringList &codec, double burstAt)
    {
        const QString path = dir.filePath(QLatin1String(name));
        const QString expr = QStringLiteral("0.2*(1+sin(t/3))*sin(2*PI*440*t)+0.6*exp(-40*abs(t-%1))*sin(2*PI*3000*t)")
                                 .arg(burstAt);
        EXPECT_TRUE(wstest::ffmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                               QStringLiteral("aevalsrc=%1|%1:s=48000:d=40").arg(expr)} +
                                   codec + QStringList{path}));
        return path.toStdString();
    }

    static PeakScan whole(const std::string &path, const Options &o, const ChainPlan &plan)
    {
        Demuxer dmx(path);
        dmx.selectAudio(o.substream);
        Decoder dec(dmx.audio(), o.dynamicRange);
        const auto scan = scanRange(dmx, dec, plan, 0, -1, [](const std::string &) {});
        EXPECT_TRUE(scan.has_value());
        return scan.value_or(PeakScan{});
    }

    static std::optional<PeakScan> range(const std::string &path, const Options &o, const ChainPlan &plan,
                                         int64_t from, int64_t to)
    {
        Demuxer dmx(path);
        dmx.selectAudio(o.substream);
        Decoder dec(dmx.audio(), o.dynamicRange);
        return scanRange(dmx, dec, plan, from, to, [](const std::string &) {});
    }

    static int64_t size(const std::string &path)
    {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
    }

    void expectSameAsWhole(const std::string &path, const Options &o, const ChainPlan &plan)
    {
        expectRangesAddUp(path, o, plan);
        const PeakScan all = whole(path, o, plan);
        Demuxer dmx(path);
        dmx.selectAudio(o.substream);
        Decoder dec(dmx.audio(), o.dynamicRange);
        const auto halves = scanInHalves(dmx, dec, o, plan, [](const std::string &) {});
        ASSERT_TRUE(halves.has_value());
        EXPECT_EQ(halves->samples, all.samples);
        EXPECT_EQ(halves->goodFrames, all.goodFrames);
        EXPECT_NEAR(halves->peak, all.peak, 1e-4 * all.peak);
    }

    void expectRangesAddUp(const std::string &path, const Options &o, const ChainPlan &plan)
    {
        const PeakScan all = whole(path, o, plan);
        ASSERT_GT(all.samples, 0);
        EXPECT_EQ(all.damaged, 0);
        // Cut at the middle, at a frame boundary's neighbourhood and at odd
        // bytes: every frame is measured exactly once.
        const int64_t n = size(path);
        for (const int64_t cut : {n / 2, n / 3 + 1, (2 * n) / 3 - 7, int64_t(70000)}) {
            const auto a = range(path, o, plan, 0, cut);
            const auto b = range(path, o, plan, cut, -1);
            ASSERT_TRUE(a && b) << "cut at " << cut;
            EXPECT_EQ(a->samples + b->samples, all.samples) << "cut at " << cut;
            EXPECT_EQ(a->goodFrames + b->goodFrames, all.goodFrames) << "cut at " << cut;
            EXPECT_EQ(a->damaged + b->damaged, 0) << "cut at " << cut;
            // The decoder's output after a cold start differs in the last
            // bits (1e-5 here); the gain is reported in steps of 0.1 dB.
            EXPECT_NEAR(std::max(a->peak, b->peak), all.peak, 1e-4 * all.peak) << "cut at " << cut;
        }
    }

    QTemporaryDir dir;
};

TEST_F(SplitPeak, Ac3HalvesMeasureWhatOnePassMeasures)
{
    Options o;
    const std::string path = source("burst.ac3", {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"),
                                                  QStringLiteral("192k")},
                                    31.0);
    expectSameAsWhole(path, o, ChainPlan{});
    // The burst lies in the second half: only that half finds it.
    const int64_t n = size(path);
    const PeakScan all = whole(path, o, ChainPlan{});
    EXPECT_GT(all.peak, 0.6);
    EXPECT_LT(range(path, o, ChainPlan{}, 0, n / 2)->peak, all.peak - 0.1);
    EXPECT_NEAR(range(path, o, ChainPlan{}, n / 2, -1)->peak, all.peak, 1e-4 * all.peak);

    // With the surround low-pass and a down-mix of 5.1 (the measuring chain
    // of the job's first pass), the filters settle in the preroll.
    const std::string six = dir.filePath(QStringLiteral("six.ac3")).toStdString();
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-i"), QString::fromStdString(path), QStringLiteral("-af"),
                                QStringLiteral("pan=5.1|FL=c0|FR=c1|FC=0.5*c0|LFE=0.2*c1|BL=c1|BR=c0"),
                                QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"),
                                QStringLiteral("448k"), QString::fromStdString(six)}));
    ChainPlan mix;
    mix.lowpassHz = 7000;
    expectSameAsWhole(six, o, mix);
}

TEST_F(SplitPeak, MpegAudioRangesRebuildTheBitReservoirFirst)
{
    // MP2 (no encoder-delay tag): cut anywhere, the ranges add up.
    Options o;
    expectRangesAddUp(source("burst.mp2", {QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-b:a"),
                                           QStringLiteral("192k")},
                             25.0),
                      o, ChainPlan{});
}

TEST_F(SplitPeak, OnlyRawStreamsOfSomeSizeAreCut)
{
    const std::string ac3 = source("burst.ac3", {QStringLiteral("-c:a"), QStringLiteral("ac3")}, 5.0);
    const std::string wav = source("burst.wav", {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")}, 5.0);
    const std::string mp3 = source("burst.mp3", {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}, 5.0);
    EXPECT_TRUE(halvesSuit(Demuxer(ac3), 1000));
    EXPECT_FALSE(halvesSuit(Demuxer(ac3), size(ac3) + 1));
    // A WAV decodes at the speed of a copy; nothing to gain. An MP3's tag
    // trims its start and end only for a reading from the start.
    EXPECT_FALSE(halvesSuit(Demuxer(wav), 1000));
    EXPECT_FALSE(halvesSuit(Demuxer(mp3), 1000));
}

} // namespace
