// Both tools on a disk that fills while they write: a small tmpfs, mounted
// when the tests run as root (skipped otherwise).
#include "AacEnc.h"
#include "AudioCheck.h"
#include "Kardune.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace audiocheck;

namespace {

class SmallDisk {
public:
    explicit SmallDisk(const QString &where) : dir_(where)
    {
        QDir().mkpath(where);
        mounted_ = ::geteuid() == 0 &&
                   wstest::runProgram(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                                QStringLiteral("-o"), QStringLiteral("size=96k"),
                                                                QStringLiteral("tmpfs"), where}) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            wstest::runProgram(QStringLiteral("umount"), {dir_});
    }
    bool mounted() const { return mounted_; }

private:
    QString dir_;
    bool mounted_ = false;
};

} // namespace

TEST(ToolsOnAFullDisk, FailWithoutLeavingFiles)
{
    QTemporaryDir dir;
    const QString disk = dir.path() + QStringLiteral("/disk");
    SmallDisk small(disk);
    if (!small.mounted())
        GTEST_SKIP() << "needs root to mount a small tmpfs";

    const QString wav = dir.path() + QStringLiteral("/in.wav");
    const QString ac3 = dir.path() + QStringLiteral("/in.ac3");
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("anoisesrc=r=44100:d=8,aformat=channel_layouts=stereo"), wav}));
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-i"), wav, QStringLiteral("-c:a"), QStringLiteral("ac3"), ac3}));
    const std::string out = (disk + QStringLiteral("/")).toStdString();

    std::string err;
    EXPECT_EQ(runTool(kardune::run, {"-core(", "-input", ac3.toStdString(), "-prefix", out, "-type", "ac3", "-r",
                                      "-ending", ")", "-split(", "0", "2", ")"},
                      nullptr, &err),
              1);
    EXPECT_NE(err.find("No space left"), std::string::npos) << err;
    EXPECT_EQ(filesIn(disk), QStringList());

    for (const char *name : {"in.wav", "in.pcm"}) // a WAV split writes through the WAV muxer
        QFile::copy(wav, dir.path() + QLatin1Char('/') + QLatin1String(name));
    EXPECT_EQ(runTool(kardune::run, {"-core(", "-input", (dir.path() + QStringLiteral("/in.pcm")).toStdString(), "-prefix",
                                      out, "-type", "pcm", "-r", "-ending", ")", "-split(", "0", "2", ")"},
                      nullptr, &err),
              1);
    EXPECT_EQ(filesIn(disk), QStringList());

    EXPECT_EQ(runTool(aacenc::run, {"-if", wav.toStdString(), "-ultra", "-of", out + "a.aac"}, nullptr, &err), 1);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
    EXPECT_EQ(runTool(aacenc::run, {"-if", wav.toStdString(), "-ultra", "-adif", "-of", out + "a.aac"}, nullptr, &err), 1);
    EXPECT_EQ(filesIn(disk), QStringList());

    const QString part = dir.path() + QStringLiteral("/01.aac");
    ASSERT_EQ(runTool(aacenc::run, {"-if", wav.toStdString(), "-ultra", "-of", part.toStdString()}), 0);
    writeFile(dir.path() + QStringLiteral("/list.lst"), part.toUtf8());
    for (const char *mode : {"-join", "-addriff"}) {
        EXPECT_EQ(runTool(kardune::run, {"-core(", "-input", (dir.path() + QStringLiteral("/list.lst")).toStdString(), mode,
                                          "-type", "aac", "-prefix", out + "joined", ")"},
                          nullptr, &err),
                  1)
            << mode;
        EXPECT_EQ(filesIn(disk), QStringList()) << mode;
    }
}
