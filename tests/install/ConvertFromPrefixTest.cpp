// An installed copy converts on its own: wavesmithy in <prefix>/bin finds
// tromvax, kardune and aacenc beside itself with nothing on PATH, and writes
// its log into the per-user data folder.
#include "InstallSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wsinstall;

namespace {

TEST(InstalledCopy, ConvertsAnAc3WithTheToolsBesideIt)
{
    QString why;
    const QString prefix = installedPrefix(&why);
    ASSERT_FALSE(prefix.isEmpty()) << why.toStdString();
    const QString bin = prefix + QStringLiteral("/bin");
    const QString missing = whyNotConvertible(bin);
    if (!missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString input = work.filePath(QStringLiteral("tone 5.1.ac3"));
    constexpr double seconds = 4.0;
    ASSERT_TRUE(makeAc3(input, seconds));

    const Conversion c = convertWith(bin + QStringLiteral("/wavesmithy"), input, work.path());
    ASSERT_EQ(c.result.code, 0) << (c.result.out + c.result.err).toStdString();

    Probe p;
    ASSERT_TRUE(probeAudio(c.output, &p, &why)) << why.toStdString();
    EXPECT_EQ(p.codec, QStringLiteral("aac"));
    EXPECT_GT(p.channels, 0);
    // The encoder's priming and padding add at most a few frames.
    EXPECT_NEAR(p.seconds, seconds, 0.25);

    // The tools' log is in the per-user data folder under its default name.
    EXPECT_TRUE(QFileInfo(c.dataHome + QStringLiteral("/Orvelle/Wavesmithy/Tromvax.log")).isFile());
}

} // namespace
