// A conversion owns only its private workspace, its output and the log:
// files of the user's that look like the job's are never touched, jobs
// sharing a temporary folder keep apart, option values reach the tools as
// single words, and the source can never be overwritten.
#include "E2eSupport.h"

#include "OptionModel.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace e2e;
using audiocheck::readFile;
using audiocheck::writeFile;

namespace {

// Files of the user's that bear the names the job gives its own files.
const QStringList kLookAlikes = {"01.ac3", "02.ac3", "01.ac3.span", "01.aac", "02.aac", "wavesmithy.wav",
                                 "wavesmithy", "Kardune.lst", "Aactempfile1"};

class Ownership : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(box.valid());
        box.store([](ws::OptionModel &o) { o.setText(o.control(QStringLiteral("splitval"), 0), QStringLiteral("4")); });
    }
    QString ac3(const QString &name, double seconds = 10, int channels = 2)
    {
        const QString path = box.path(name);
        const QString graph = chirps(channels, seconds) + (channels == 6 ? QStringLiteral(":c=5.1(side)") : QString());
        return makeFixture({graph}, {QStringLiteral("-c:a"), QStringLiteral("ac3")}, path) ? path : QString();
    }
    void plantLookAlikes()
    {
        for (const QString &name : kLookAlikes)
            ASSERT_TRUE(writeFile(box.temp() + name, "the user's own " + name.toUtf8()));
    }
    void expectLookAlikesUntouched()
    {
        for (const QString &name : kLookAlikes)
            EXPECT_EQ(readFile(box.temp() + name), "the user's own " + name.toUtf8()) << name.toStdString();
        EXPECT_EQ(box.leftovers().size(), kLookAlikes.size()) << box.leftovers().join(' ').toStdString();
    }
    // Decoded length: ADTS durations read from the header are only estimates.
    double seconds(const QString &aac) { return double(decode(aac, 2, 48000).frames()) / 48000; }
    Sandbox box;
};

TEST_F(Ownership, LookAlikeFilesSurviveSuccessFailureAndRefusal)
{
    plantLookAlikes();
    const QString src = ac3(QStringLiteral("film.ac3"));
    // Succeeds, with the output inside the temporary folder among the look-alikes.
    const QString inTemp = box.temp() + QStringLiteral("03.aac");
    RunResult r = box.convert(src, inTemp);
    EXPECT_EQ(r.code, 0) << r.all().toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Task Complete !")));
    EXPECT_NEAR(seconds(inTemp), 10.0, 0.05);
    ASSERT_TRUE(QFile::remove(inTemp));
    expectLookAlikesUntouched();

    // Fails in the gain pass, with the tool's own last word in the status.
    const QString bad = box.path(QStringLiteral("noise.ac3"));
    ASSERT_TRUE(writeFile(bad, QByteArray(5000, 'x')));
    r = box.convert(bad, box.path(QStringLiteral("bad.aac")));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("wavesmithy: Failed: finding the maximal track gain: tromvax: ")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("(exit code "))) << r.err.toStdString();
    expectLookAlikesUntouched();

    // Refused before any tool runs.
    box.store([](ws::OptionModel &o) { o.setText(o.control(QStringLiteral("splitval"), 0), QStringLiteral("0")); });
    r = box.convert(src, box.path(QStringLiteral("refused.aac")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Refused: the segment size"))) << r.err.toStdString();
    expectLookAlikesUntouched();
}

TEST_F(Ownership, TwoJobsAtOnceInOneTemporaryFolderEachGetTheirOwnAudio)
{
    const QString a = ac3(QStringLiteral("a.ac3"), 9), b = ac3(QStringLiteral("b.ac3"), 15);
    const QString outA = box.path(QStringLiteral("a.aac")), outB = box.path(QStringLiteral("b.aac"));
    const std::vector<RunResult> r = box.convertTogether({{a, outA}, {b, outB}});
    for (const RunResult &one : r)
        EXPECT_EQ(one.code, 0) << one.all().toStdString();
    EXPECT_NEAR(seconds(outA), 9.0, 0.05);
    EXPECT_NEAR(seconds(outB), 15.0, 0.05);
    const Pcm ref = decode(b, 2, 48000);
    const Match m = compare(ref, decode(outB, 2, 48000), 4.0);
    EXPECT_TRUE(m.ok) << m.why.toStdString();
    EXPECT_EQ(box.leftovers(), QStringList());
}

TEST_F(Ownership, FiveOneChosenWithoutChannelsModeIsStereoInGainPassAndDecode)
{
    box.store([](ws::OptionModel &o) {
        o.pickItem(o.control(QStringLiteral("azidcmb"), 8), QStringLiteral("5.1"));
        o.setValue(o.control(QStringLiteral("Azid"), 8), 0);
        o.setText(o.control(QStringLiteral("splitval"), 0), QStringLiteral("4"));
    });
    const QString src = ac3(QStringLiteral("six.ac3"), 8, 6);
    const QString out = box.path(QStringLiteral("six.aac"));
    const RunResult r = box.convert(src, out);
    ASSERT_EQ(r.code, 0) << r.all().toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("-2chnothing )"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("-6ch"))) << r.out.toStdString();
    const Pcm pcm = decode(out, 2, 48000);
    size_t clipped = 0;
    for (size_t i = 0; i < pcm.frames(); ++i)
        for (int c = 0; c < 2; ++c)
            clipped += std::abs(pcm.at(i, c)) > 0.99f;
    EXPECT_LT(clipped, pcm.frames() / 1000) << "samples at full scale";
}

TEST_F(Ownership, TheSourceIsNeverTheOutput)
{
    const QString src = ac3(QStringLiteral("film.ac3"));
    const QByteArray before = readFile(src);
    const QString hard = box.path(QStringLiteral("hard.aac"));
    ASSERT_EQ(::link(QFile::encodeName(src).constData(), QFile::encodeName(hard).constData()), 0);
    for (const QString &out : {src, hard, box.path(QStringLiteral("./x/../film.ac3"))}) {
        const RunResult r = box.convert(src, out);
        EXPECT_EQ(r.code, 1) << out.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("is the input file"))) << r.err.toStdString();
        EXPECT_EQ(readFile(src), before);
    }
    EXPECT_EQ(box.leftovers(), QStringList());
}

TEST_F(Ownership, ALinkAsOutputIsWrittenThroughAndAFifoIsRefused)
{
    const QString src = ac3(QStringLiteral("film.ac3"), 6);
    const QString target = box.path(QStringLiteral("target.aac")), link = box.path(QStringLiteral("link.aac"));
    ASSERT_TRUE(writeFile(target, "old"));
    ASSERT_TRUE(QFile::link(target, link));
    RunResult r = box.convert(src, link);
    EXPECT_EQ(r.code, 0) << r.all().toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_NEAR(seconds(target), 6.0, 0.05);

    const QString fifo = box.path(QStringLiteral("fifo.aac"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    r = box.convert(src, fifo);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("is not a regular file"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_TRUE(QFileInfo(fifo).exists());
    EXPECT_EQ(box.leftovers(), QStringList());
}

TEST_F(Ownership, AnyPathConvertsAndValuesReachTheToolsAsOneWord)
{
    const QString odd = ac3(QStringLiteral("-it's \"q\" | \\ é.ac3"), 6);
    ASSERT_FALSE(odd.isEmpty());
    const QString out = box.path(QStringLiteral("-out \"q\".aac"));
    const RunResult ok = box.convert(odd, out);
    EXPECT_EQ(ok.code, 0) << ok.all().toStdString();
    EXPECT_NEAR(seconds(out), 6.0, 0.05);

    const QString stray = box.path(QStringLiteral("stray.wav"));
    const struct {
        const char *name;
        int index;
        QString value;
    } hostile[] = {
        {"AZIDVAL", 0, QStringLiteral("-3db ) -core( -output ") + stray},
        {"splitval", 0, QStringLiteral("5 ) -core( -input /etc/passwd")},
        {"aaccmb", 0, QStringLiteral("normal -of ") + stray},
    };
    for (const auto &h : hostile) {
        SCOPED_TRACE(h.name);
        box.store([&h](ws::OptionModel &o) { o.setText(o.control(QLatin1String(h.name), h.index), h.value); });
        const RunResult r = box.convert(odd, box.path(QStringLiteral("hostile.aac")));
        EXPECT_EQ(r.code, 1) << r.all().toStdString();
        EXPECT_FALSE(QFileInfo::exists(stray));
        EXPECT_FALSE(QFileInfo::exists(box.path(QStringLiteral("hostile.aac"))));
    }
    EXPECT_EQ(box.leftovers(), QStringList());
}

} // namespace
