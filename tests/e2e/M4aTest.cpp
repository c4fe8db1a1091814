// Conversions to MPEG-4 audio (.m4a) through the built program: exactly as
// long as the source decoded (and resampled) in one pass, the same audio as
// the ADTS output gives, tags that ffprobe reads back, and a file that
// GStreamer reads, with the duration ffprobe gives.
#include "E2eSupport.h"

#include "OptionModel.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace e2e;

namespace {

constexpr double kPart = 4.0;

struct Job {
    const char *name;
    QString file;
    QString graph;
    QStringList tail;
    int channels;
    bool sixChannelMode;
    int rate; // of the output; 44100 resamples
    int parts;
};

void PrintTo(const Job &j, std::ostream *os) { *os << j.name; }

std::vector<Job> jobs()
{
    const QStringList ac3{QStringLiteral("-c:a"), QStringLiteral("ac3")};
    return {
        {"Stereo", QStringLiteral("stereo film.ac3"), chirps(2, 18.3), ac3 + QStringList{QStringLiteral("-b:a"), QStringLiteral("192k")}, 2,
         false, 44100, 5},
        {"SixChannels", QStringLiteral("six.ac3"), chirps(6, 12.3) + QStringLiteral(":c=5.1(side)"),
         ac3 + QStringList{QStringLiteral("-b:a"), QStringLiteral("448k")}, 6, true, 48000, 4},
        // A WAV source of one part has no span note: its part is decoded whole.
        {"OneWavPart", QStringLiteral("tone.wav"), chirps(2, 3.01), {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")},
         2, false, 48000, 1},
    };
}

// gst-discoverer-1.0's duration in seconds; a negative value when it cannot read the file.
double gstreamerSeconds(const QString &file, QString *text)
{
    if (wstest::runProgram(QStringLiteral("gst-discoverer-1.0"), {file}, text) != 0)
        return -1;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Duration: (\\d+):(\\d+):(\\d+\\.\\d+)")).match(*text);
    return m.hasMatch() ? m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble() : -1;
}

class M4aConversion : public ::testing::TestWithParam<Job> {};

TEST_P(M4aConversion, IsExactlyAsLongAsTheSourceAndPlays)
{
    const Job &j = GetParam();
    Sandbox box;
    ASSERT_TRUE(box.valid());
    const QString src = box.path(j.file);
    const QString out = box.path(QStringLiteral("out.m4a"));
    ASSERT_TRUE(makeFixture({j.graph}, j.tail, src));
    box.store([&](ws::OptionModel &o) {
        if (j.sixChannelMode)
            o.pickItem(o.control(QStringLiteral("azidcmb"), 8), QStringLiteral("5.1"));
        if (j.rate != 48000) {
            o.setValue(o.control(QStringLiteral("SSRC"), 0), 1);
            o.setText(o.control(QStringLiteral("ssrcv"), 0), QString::number(j.rate));
        }
        o.setText(o.control(QStringLiteral("splitval"), 0), QString::number(kPart));
    });
    const RunResult r = box.convert(src, out);
    ASSERT_EQ(r.code, 0) << r.all().toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Encoding part %1...").arg(j.parts)));
    EXPECT_FALSE(r.out.contains(QStringLiteral("Encoding part %1...").arg(j.parts + 1)));
    EXPECT_EQ(box.leftovers(), QStringList());

    // Tags, and the length the edit list and the iTunSMPB comment signal.
    EXPECT_EQ(probe(out, QStringLiteral("format_tags=title")), QFileInfo(src).completeBaseName());
    EXPECT_EQ(probe(out, QStringLiteral("format_tags=encoder")), QStringLiteral("Wavesmithy 0.51"));
    EXPECT_EQ(probe(out, QStringLiteral("stream=channels")).toInt(), j.channels);
    // One pass with the job's resampler (SoX; FFmpeg's default one ends a
    // sample later, with what its flush makes of the last partial sample).
    const Pcm ref = decode(src, j.channels, j.rate,
                           j.rate != 48000 ? QStringLiteral("aresample=%1:resampler=soxr").arg(j.rate) : QString());
    ASSERT_GT(ref.frames(), 0u);
    const long long length = probe(out, QStringLiteral("stream=duration_ts")).toLongLong();
    unsigned priming = 0, padding = 0;
    unsigned long long smpbLength = 0;
    EXPECT_EQ(std::sscanf(qPrintable(probe(out, QStringLiteral("format_tags=iTunSMPB"))), "%*x %x %x %llx", &priming,
                          &padding, &smpbLength),
              3);
    EXPECT_EQ(length - (long long)ref.frames(), 0);
    EXPECT_EQ(smpbLength, ref.frames());
    EXPECT_EQ(priming, 1024u);

    // ffmpeg drops the priming and decodes the last frame whole: cut where
    // the edit list ends, the audio matches the source as the ADTS output does.
    const Pcm whole = decode(out, j.channels, j.rate);
    EXPECT_EQ(whole.frames(), ref.frames() + padding);
    const Pcm got = decode(out, j.channels, j.rate, QStringLiteral("atrim=end_sample=%1").arg(length));
    ASSERT_EQ(got.frames(), ref.frames());
    const Match m = compare(ref, got, kPart);
    ASSERT_TRUE(m.ok) << m.why.toStdString();
    EXPECT_GE(m.snrDb, 20.0);
    for (int lag : m.lags)
        EXPECT_LE(std::abs(lag), 16) << "the priming is skipped, the parts line up";

    // GStreamer reads it, as long as ffprobe says.
    QString text;
    const double gst = gstreamerSeconds(out, &text);
    const double ffprobeSeconds = probe(out, QStringLiteral("stream=duration")).toDouble();
    EXPECT_NEAR(gst, ffprobeSeconds, 0.001) << text.toStdString();
    std::printf("[ figures  ] %-12s source in one pass %zu samples at %d Hz; .m4a edit list %lld (difference %+lld), "
                "iTunSMPB priming %u padding %u length %llu; ffmpeg decodes %zu; duration ffprobe %.6f s, "
                "GStreamer %.6f s; SNR %.1f dB\n",
                j.name, ref.frames(), j.rate, length, length - (long long)ref.frames(), priming, padding, smpbLength,
                whole.frames(), ffprobeSeconds, gst, m.snrDb);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, M4aConversion, ::testing::ValuesIn(jobs()),
                         [](const ::testing::TestParamInfo<Job> &i) { return std::string(i.param.name); });

} // namespace
