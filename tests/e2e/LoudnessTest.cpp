// The gain pass aiming at a loudness: two sources 12 dB apart, with different
// peak-to-loudness ratios, both come out at -16 LUFS, or at the -1 dBTP
// ceiling when their peaks forbid that loudness, as the log says.
#include "E2eSupport.h"

#include "OptionModel.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

struct Loudness {
    double integrated = 0; // LUFS
    double truePeak = 0;   // dBTP
};

Loudness measure(const QString &path)
{
    QString err;
    run(QStringLiteral("ffmpeg"),
        {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-i"), path, QStringLiteral("-af"),
         QStringLiteral("ebur128=peak=true"), QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
        &err);
    const qsizetype summary = err.lastIndexOf(QStringLiteral("Summary:"));
    const QString tail = err.mid(summary);
    Loudness l;
    l.integrated = QRegularExpression(QStringLiteral("I:\\s+(-?[0-9.]+) LUFS")).match(tail).captured(1).toDouble();
    l.truePeak = QRegularExpression(QStringLiteral("Peak:\\s+(-?[0-9.]+) dBFS")).match(tail).captured(1).toDouble();
    return l;
}

// Short smooth tone bursts over a faint bed: loud peaks, little loudness.
QString bursts()
{
    const QString e = QStringLiteral("(0.001+0.13*lt(mod(t\\,1)\\,0.02)*pow(sin(PI*mod(t\\,1)/0.02)\\,2))*"
                                     "sin(2*PI*1000*t)");
    return QStringLiteral("aevalsrc=%1|%1:s=48000:d=20").arg(e);
}

} // namespace

TEST(LoudnessTarget, TwoSourcesTwelveDecibelsApartEndAtTheTargetOrTheCeiling)
{
    Sandbox box;
    ASSERT_TRUE(box.valid());
    box.store([](ws::OptionModel &o) {
        o.pickItem(o.control(QStringLiteral("LoudnessTarget")), QStringLiteral("-16 LUFS"));
        o.setText(o.control(QStringLiteral("splitval"), 0), QStringLiteral("8"));
    });
    // Steady noise (low peak-to-loudness ratio) and sparse tone bursts (high
    // ratio), 12 dB apart.
    const struct {
        const char *name;
        QString graph;
    } sources[] = {
        {"noise.ac3", QStringLiteral("anoisesrc=d=20:c=pink:a=0.4:r=48000,aformat=channel_layouts=stereo")},
        {"bursts.ac3", bursts()},
    };
    const QString log = box.path(QStringLiteral("../data/Orvelle/Wavesmithy/Tromvax.log"));
    int ceilings = 0;
    std::vector<double> levels;
    for (const auto &s : sources) {
        SCOPED_TRACE(s.name);
        const QString src = box.path(QLatin1String(s.name));
        ASSERT_TRUE(makeFixture({s.graph}, {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"),
                                            QStringLiteral("384k")},
                                src));
        const Loudness before = measure(src);
        levels.push_back(before.integrated);
        const QString out = box.path(QLatin1String(s.name) + QStringLiteral(".aac"));
        const RunResult r = box.convert(src, out);
        ASSERT_EQ(r.code, 0) << r.all().toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("-ota( -g lufs:-16 )"))) << r.out.toStdString();
        const Loudness after = measure(out);
        std::printf("%s: before %.1f LUFS, %.1f dBTP; after %.1f LUFS, %.1f dBTP\n", s.name, before.integrated,
                    before.truePeak, after.integrated, after.truePeak);
        // The transcoder's own word, carried into the user's log.
        const QString said = QString::fromUtf8(audiocheck::readFile(log));
        const QString last = said.mid(said.lastIndexOf(QStringLiteral("Loudness: integrated")));
        ASSERT_FALSE(last.isEmpty());
        if (last.contains(QStringLiteral("lowers the gain"))) {
            ++ceilings;
            EXPECT_NEAR(after.truePeak, -1.0, 0.3);
            EXPECT_LT(after.integrated, -16.5);
        } else {
            EXPECT_NEAR(after.integrated, -16.0, 0.5);
            EXPECT_LE(after.truePeak, -0.7);
        }
    }
    EXPECT_NEAR(levels[0] - levels[1], 12.0, 1.5) << "the sources are 12 dB apart";
    EXPECT_EQ(ceilings, 1) << "the bursts, not the noise, meet the true-peak ceiling";
}
