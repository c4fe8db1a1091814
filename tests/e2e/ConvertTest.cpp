// Real conversions through the built program: each kind of source, with the
// stored defaults (short parts, so every conversion joins several parts),
// must give an AAC file that ffprobe reads, as long as the source, whose
// audio matches the source decoded independently with ffmpeg.
#include "E2eSupport.h"

#include "OptionModel.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace e2e;

namespace {

constexpr double kSeconds = 12.0;
constexpr double kPart = 4.0;
constexpr int kRate = 48000;

// Lt/Rt down-mix of the stored defaults ("surround", LFE into the fronts at
// -3 dB), centre and surround at -3 dB, written out for ffmpeg's resampler.
const QString kLtRt = QStringLiteral(
    "aresample=matrix_encoding=dolby:clev=0.707107:slev=0.707107:lfe_mix_level=1:ochl=stereo");

struct Source {
    const char *name;
    QString file;           // source file name
    QStringList inputs;     // lavfi graphs
    QStringList tail;       // codec and format arguments
    int channels;           // of the converted file
    QString refFilter;      // down-mix of the reference decode
    QString refStream;      // audio stream of the reference decode
    bool sixChannelMode;    // channel mode "5.1" stored
    double minSnrDb;        // see the table in the report of each case
};

void PrintTo(const Source &s, std::ostream *os) { *os << s.name; }

QStringList video() { return {QStringLiteral("testsrc=s=160x120:r=25:d=%1").arg(kSeconds)}; }

std::vector<Source> sources()
{
    const QString st = chirps(2, kSeconds);
    const QString six = chirps(6, kSeconds) + QStringLiteral(":c=5.1(side)");
    // A second, different programme for the other substream of a VOB.
    const QString other = QStringLiteral("aevalsrc=0.3*sin(2*PI*(5000*t-90*t*t))|0.3*sin(2*PI*(150*t+25*t*t)):s=48000:d=%1")
                              .arg(kSeconds);
    const QStringList ac3{QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("192k")};
    const QStringList vobTail{QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-f"),
                              QStringLiteral("vob")};
    auto vob = [&](const QStringList &audio) {
        return QStringList{QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-map"), QStringLiteral("1:a")} +
               audio + vobTail;
    };
    // Threshold: the default preset on these chirps measured 26.9 to 32.7 dB
    // away from the joins (stereo and six channels alike); 20 dB leaves room
    // for other FFmpeg builds. A part aligned wrongly, a swapped channel or
    // the wrong stream gives 0 dB or less, a wrong down-mix far below 20.
    return {
        {"StereoAc3", QStringLiteral("stereo.ac3"), {st}, ac3, 2, {}, {}, false, 20},
        {"SurroundAc3", QStringLiteral("surround.ac3"), {six}, ac3, 2, kLtRt, {}, false, 20},
        {"SurroundAc3SixChannels", QStringLiteral("six.ac3"), {six}, ac3 + QStringList{QStringLiteral("-b:a"), QStringLiteral("448k")}, 6, {}, {}, true, 20},
        {"Mp2", QStringLiteral("tone.mp2"), {st}, {QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-b:a"), QStringLiteral("256k")}, 2, {}, {}, false, 20},
        // The MP3 stream holds more frames than its nominal length (the LAME
        // tag frame and the encoder's delay and padding): 11.9 s keep it at
        // three parts like the others. Its first part begins with the tag.
        {"Mp3", QStringLiteral("tone.mp3"), {st}, {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("192k"), QStringLiteral("-t"), QStringLiteral("11.9")}, 2, {}, {}, false, 20},
        {"Wav16", QStringLiteral("tone.wav"), {st}, {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")}, 2, {}, {}, false, 20},
        {"VobAc3", QStringLiteral("ac3.vob"), video() + QStringList{st}, vob(ac3), 2, {}, QStringLiteral("0:a:0"), false, 20},
        {"VobMpegAudio", QStringLiteral("mpa.vob"), video() + QStringList{st}, vob({QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-b:a"), QStringLiteral("224k")}), 2, {}, QStringLiteral("0:a:0"), false, 20},
        {"VobLpcm", QStringLiteral("lpcm.vob"), video() + QStringList{st}, vob({QStringLiteral("-c:a"), QStringLiteral("pcm_dvd")}), 2, {}, QStringLiteral("0:a:0"), false, 20},
        // LPCM first, MPEG audio with other content second: the automatic
        // choice (the substream is not a stored option) takes the first.
        {"VobTwoSubstreams", QStringLiteral("two.vob"), video() + QStringList{st, other},
         QStringList{QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-map"), QStringLiteral("1:a"), QStringLiteral("-map"),
          QStringLiteral("2:a"), QStringLiteral("-c:a:0"), QStringLiteral("pcm_dvd"), QStringLiteral("-c:a:1"),
          QStringLiteral("mp2"), QStringLiteral("-b:a:1"), QStringLiteral("224k")} + vobTail,
         2, {}, QStringLiteral("0:a:0"), false, 20},
    };
}

class Conversion : public ::testing::TestWithParam<Source> {};

TEST_P(Conversion, MatchesTheSourceInLengthAndSound)
{
    const Source &s = GetParam();
    Sandbox box;
    ASSERT_TRUE(box.valid());
    const QString src = box.path(s.file);
    const QString out = box.path(QStringLiteral("out.aac"));
    ASSERT_TRUE(makeFixture(s.inputs, s.tail, src)) << "fixture " << s.name;
    box.store([&](ws::OptionModel &o) {
        // The 5.1 mode brings its own segment size (32 s); short parts go after it.
        if (s.sixChannelMode)
            o.pickItem(o.control(QStringLiteral("azidcmb"), 8), QStringLiteral("5.1"));
        o.setText(o.control(QStringLiteral("splitval"), 0), QString::number(kPart));
    });

    const RunResult r = box.convert(src, out);
    ASSERT_EQ(r.code, 0) << r.all().toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Task Complete !")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Output: ") + out));
    EXPECT_EQ(box.leftovers(), QStringList()) << "temporary files left behind";

    EXPECT_EQ(probe(out, QStringLiteral("stream=codec_name")), QStringLiteral("aac"));
    EXPECT_EQ(probe(out, QStringLiteral("stream=channels")).toInt(), s.channels);

    const Pcm ref = decode(src, s.channels, kRate, s.refFilter, s.refStream);
    const Pcm got = decode(out, s.channels, kRate);
    ASSERT_GT(ref.frames(), 0u);
    ASSERT_GT(got.frames(), 0u);
    const int parts = int(std::ceil(ref.seconds() / kPart - 1e-9));
    EXPECT_NEAR(got.seconds(), ref.seconds(), 0.050 + 0.025 * parts);
    // The job went through every short part, and no more.
    EXPECT_TRUE(r.out.contains(QStringLiteral("Encoding part %1...").arg(parts)));
    EXPECT_FALSE(r.out.contains(QStringLiteral("Decoding part %1...").arg(parts + 1)));

    const Match m = compare(ref, got, kPart);
    ASSERT_TRUE(m.ok) << m.why.toStdString();
    QString lags;
    for (int lag : m.lags)
        lags += QStringLiteral(" %1").arg(lag);
    std::printf("[ figures  ] %-24s SNR %5.1f dB  gain %+5.2f dB (expected %+5.1f)  length %.4f s for %.4f s  "
                "part lags%s\n",
                s.name, m.snrDb, m.gainDb, expectedMaxGainDb(ref), got.seconds(), ref.seconds(), qPrintable(lags));
    for (size_t k = 0; k < m.joinSnrDb.size(); ++k)
        std::printf("[ join     ] %-24s join %zu at %5.1f s: %+5d samples (gap > 0, overlap < 0), SNR %5.1f dB "
                    "within 25 ms of it, %5.1f dB elsewhere\n",
                    s.name, k + 1, kPart * double(k + 1), m.lags[k + 1] - m.lags[k], m.joinSnrDb[k], m.snrDb);
    EXPECT_GE(m.snrDb, s.minSnrDb) << r.out.left(4000).toStdString();
    // The stored default finds the maximal gain: the peak goes to full scale.
    EXPECT_NEAR(m.gainDb, expectedMaxGainDb(ref), 1.0);
    // Seamless joins: no join adds or loses audio, whatever the source (a
    // join that codes a part's priming or padding shows as 1024 samples or
    // more; the alignment itself is exact to a few samples).
    for (size_t i = 1; i < m.lags.size(); ++i)
        EXPECT_LE(std::abs(m.lags[i] - m.lags[i - 1]), 16) << "part " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, Conversion, ::testing::ValuesIn(sources()),
                         [](const ::testing::TestParamInfo<Source> &i) { return std::string(i.param.name); });

} // namespace
