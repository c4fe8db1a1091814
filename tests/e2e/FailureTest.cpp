// Sources and surroundings that must make the job fail: every case ends with
// a clear error line and a non-zero exit, leaves nothing in the temporary
// folder, and leaves an existing output file as it was.
#include "E2eSupport.h"

#include "OptionModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

const QByteArray kOldOutput("an earlier conversion, to be kept");

using audiocheck::readFile;
using audiocheck::writeFile;

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray b(size, '\0');
    for (char &c : b)
        c = char(gen.bounded(256));
    return b;
}

QString stereoAc3(const Sandbox &box, double seconds = 6)
{
    const QString path = box.path(QStringLiteral("good.ac3"));
    return makeFixture({chirps(2, seconds)}, {QStringLiteral("-c:a"), QStringLiteral("ac3")}, path) ? path : QString();
}

// Converts `input` over an existing output and checks what a failed job must leave.
void expectCleanFailure(Sandbox &box, const QString &input, const QString &tempFolder = {})
{
    const QString out = box.path(QStringLiteral("kept.aac"));
    ASSERT_TRUE(writeFile(out, kOldOutput));
    const RunResult r = box.convert(input, out);
    EXPECT_GT(r.code, 0) << "a failed job exits non-zero, without crashing:\n" << r.all().toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("Task Complete !"))) << r.out.toStdString();
    // The tool's own message, then the job's line naming the failed step.
    EXPECT_TRUE(r.err.contains(QRegularExpression(QStringLiteral("(^|\\n)wavesmithy: Failed: [^\\n]+[.)]\\n"))))
        << "error line: " << r.err.toStdString();
    EXPECT_EQ(readFile(out), kOldOutput) << "the existing output file was changed";
    EXPECT_EQ(box.leftovers(tempFolder), QStringList()) << "temporary files left behind";
}

class BadSource : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(box.valid());
        box.store();
    }
    Sandbox box;
};

TEST_F(BadSource, EmptyFilesOfEveryKind)
{
    for (const char *name : {"empty.ac3", "empty.wav", "empty.mp2", "empty.vob"}) {
        SCOPED_TRACE(name);
        const QString src = box.path(QLatin1String(name));
        ASSERT_TRUE(writeFile(src, {}));
        expectCleanFailure(box, src);
    }
}

// A source cut inside a frame converts its whole frames (DiscConvertTest);
// one cut inside its first frame has none.
TEST_F(BadSource, Ac3CutInsideItsFirstFrame)
{
    const QString good = stereoAc3(box);
    ASSERT_FALSE(good.isEmpty());
    const QByteArray bytes = readFile(good);
    // 192 kbit/s at 48 kHz: 768-byte frames; cut 300 bytes into the first.
    const QString src = box.path(QStringLiteral("cut.ac3"));
    ASSERT_TRUE(writeFile(src, bytes.left(300)));
    expectCleanFailure(box, src);
}

TEST_F(BadSource, RandomBytesBehindAKnownExtension)
{
    for (const char *name : {"noise.ac3", "noise.wav", "noise.mp3"}) {
        SCOPED_TRACE(name);
        const QString src = box.path(QLatin1String(name));
        ASSERT_TRUE(writeFile(src, randomBytes(300000, 7)));
        expectCleanFailure(box, src);
    }
}

TEST_F(BadSource, VobWithoutAudio)
{
    const QString src = box.path(QStringLiteral("silent.vob"));
    ASSERT_TRUE(makeFixture({QStringLiteral("testsrc=s=160x120:r=25:d=3")},
                            {QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-f"),
                             QStringLiteral("vob")},
                            src));
    expectCleanFailure(box, src);
}

TEST_F(BadSource, WavWithBrokenHeader)
{
    const QString good = box.path(QStringLiteral("good.wav"));
    ASSERT_TRUE(makeFixture({chirps(2, 3)}, {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"),
                                              QStringLiteral("-fflags"), QStringLiteral("+bitexact")},
                            good));
    const QByteArray bytes = readFile(good);
    ASSERT_EQ(bytes.mid(12, 4), QByteArray("fmt "));
    {
        // Zero channels in the format chunk.
        QByteArray b = bytes;
        b[22] = 0;
        b[23] = 0;
        const QString src = box.path(QStringLiteral("nochannels.wav"));
        ASSERT_TRUE(writeFile(src, b));
        SCOPED_TRACE("zero channels");
        expectCleanFailure(box, src);
    }
    {
        // The format chunk's name and size overwritten.
        QByteArray b = bytes;
        for (int i = 12; i < 20; ++i)
            b[i] = char(0xEE);
        const QString src = box.path(QStringLiteral("nofmt.wav"));
        ASSERT_TRUE(writeFile(src, b));
        SCOPED_TRACE("no format chunk");
        expectCleanFailure(box, src);
    }
}

class BadTemporaryFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(box.valid());
        src = stereoAc3(box, 20);
        ASSERT_FALSE(src.isEmpty());
    }
    void TearDown() override
    {
        if (!mounted.isEmpty())
            run(QStringLiteral("umount"), {mounted});
    }
    // Mounts a tmpfs with `options` on a new folder; skips the test when that is not possible.
    QString mountTmpfs(const QString &options)
    {
        if (!isRoot())
            return {};
        const QString dir = box.path(QStringLiteral("mnt"));
        QDir().mkpath(dir);
        QString err;
        if (run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), options,
                                          QStringLiteral("tmpfs"), dir},
                &err) != 0) {
            why = QStringLiteral("mount of a tmpfs failed: ") + err.trimmed();
            return {};
        }
        mounted = dir;
        return dir + QLatin1Char('/');
    }
    Sandbox box;
    QString src;
    QString mounted;
    QString why = QStringLiteral("mounting a tmpfs needs root");
};

TEST_F(BadTemporaryFolder, Missing)
{
    const QString missing = box.path(QStringLiteral("no such folder")) + QLatin1Char('/');
    box.setTemp(missing);
    box.store();
    expectCleanFailure(box, src, box.temp());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(BadTemporaryFolder, NotWritable)
{
    QString temp;
    if (isRoot()) {
        // Permissions do not stop root: a read-only file system does.
        temp = mountTmpfs(QStringLiteral("ro,size=1m"));
        if (temp.isEmpty())
            GTEST_SKIP() << why.toStdString();
    } else {
        temp = box.path(QStringLiteral("locked")) + QLatin1Char('/');
        ASSERT_TRUE(QDir().mkpath(temp));
        ASSERT_TRUE(QFile::setPermissions(temp, QFile::ReadOwner | QFile::ExeOwner));
    }
    box.setTemp(temp);
    box.store();
    expectCleanFailure(box, src, temp);
    if (!isRoot())
        QFile::setPermissions(temp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(BadTemporaryFolder, DiskFillsDuringTheJob)
{
    if (!isRoot())
        GTEST_SKIP() << "a full disk is simulated with a small tmpfs, which only root can mount";
    // 2 MB: the split parts fit (AC3, about 0.5 MB), the decoded WAV of the
    // single 20-second part (3.8 MB) does not.
    const QString temp = mountTmpfs(QStringLiteral("size=2m"));
    if (temp.isEmpty())
        GTEST_SKIP() << why.toStdString();
    box.setTemp(temp);
    box.store();
    expectCleanFailure(box, src, temp);
}

} // namespace
