// The fake tool must leave exactly the files and log lines the job relies on,
// or the job's tests would prove nothing.
#include "FakeTool.h"
#include "LogScan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wstest;

namespace {

class FakeTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        wstest::clearFakeEnvironment();
        qputenv("WS_FAKE_RECORD", record().toUtf8());
    }
    void TearDown() override
    {
        wstest::clearFakeEnvironment();
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString record() const { return path(QStringLiteral("runs.jsonl")); }
    void make(const QString &name, const QByteArray &content)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray contents(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int run(const QStringList &args) { return runProgram(fakeToolPath(), args); }

    QTemporaryDir dir;
};

QStringList splitArgs(const QString &input, const QString &prefix, int entries)
{
    QStringList a{"-core(", "-input", input, "-prefix", prefix, "-logfile", "k.log", "-type", "ac3",
                  "-r", "-ending", ")", "-split(", "0"};
    for (int i = 0; i < entries; ++i)
        a << "256";
    a << ")" << "-profile(" << "Wavesmithy" << "v0.51" << ")";
    return a;
}

} // namespace

TEST_F(FakeTool, SplitNumbersPartsFromOneWithoutGaps)
{
    make("src.ac3", "x");
    const QString prefix = dir.path() + "/";
    ASSERT_EQ(run(splitArgs(path("src.ac3"), prefix, 12)), 0);
    for (int i = 1; i <= 12; ++i) {
        const QString name = QStringLiteral("%1.ac3").arg(i, 2, 10, QLatin1Char('0'));
        EXPECT_GT(QFileInfo(path(name)).size(), 0) << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("13.ac3")));
    EXPECT_TRUE(QFile::exists(path("10.ac3")));

    // The part count can be forced, and the record names the run and its words.
    qputenv("WS_FAKE_PARTS", "2");
    ASSERT_EQ(run(splitArgs(path("src.ac3"), dir.path() + "/b", 29)), 0);
    EXPECT_TRUE(QFile::exists(path("b02.ac3")));
    EXPECT_FALSE(QFile::exists(path("b03.ac3")));
    const auto runs = readFakeRuns(record());
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].kind, "split");
    EXPECT_EQ(runs[0].args, splitArgs(path("src.ac3"), prefix, 12));
}

TEST_F(FakeTool, ExtractionLogReadsBackThroughTheLogScan)
{
    make("movie.vob", "vob");
    qputenv("WS_FAKE_DELAY", "-40ms");
    qputenv("WS_FAKE_SUBSTREAM", "0xC1");
    qputenv("WS_FAKE_GAIN", "+1.5dB");
    const QString log = path("Aactempfile1");
    ASSERT_EQ(run({"-core(", "-input", path("movie.vob"), "-payload", "-logfile", log, "-output",
                   path("wavesmithy"), "-6chnothing", ")", "-ota(", "-g", "max", ")"}),
              0);
    EXPECT_GT(QFileInfo(path("wavesmithy")).size(), 0);

    wsjob::ToolLogValues v;
    wsjob::scanToolLog(log, v);
    EXPECT_EQ(v.delay, -40);
    EXPECT_EQ(v.substream, "0xC1");
    EXPECT_TRUE(v.gainLineFound);
    EXPECT_EQ(wsjob::gainSwitch(v.gainLine), " -g +1.5dB");

    // Gain pass of another source, with a total-gain line; no output file.
    make("a.ac3", "ac3");
    qputenv("WS_FAKE_GAIN_KIND", "total");
    ASSERT_EQ(run({"-core(", "-input", path("a.ac3"), "-output", path("w.wav"), "-logfile", log,
                   "-2chnothing", ")", "-ota(", "-g", "max", ")"}),
              0);
    EXPECT_FALSE(QFile::exists(path("w.wav")));
    wsjob::ToolLogValues g;
    wsjob::scanToolLog(log, g);
    EXPECT_TRUE(g.gainLine.contains("Total Gain: +1.5dB"));
    EXPECT_EQ(readFakeRuns(record()).value(1).kind, "gain");
}

TEST_F(FakeTool, DecodeEncodeJoinChainAndAddRiff)
{
    make("01.ac3", "p1");
    make("02.ac3", "p2");
    QFile list(path("Kardune.lst"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    for (const char *p : {"01", "02"}) {
        const QString wav = path("w.wav");
        ASSERT_EQ(run({"-core(", "-input", path(QString(p) + ".ac3"), "-output", wav, "-logfilea",
                       path("t.log"), "-2ch", ")"}),
                  0);
        EXPECT_TRUE(contents("w.wav").startsWith("RIFF"));
        ASSERT_EQ(run({"-if", wav, "-vbrhi", "-qvbr", "35", "-of", path(QString(p) + ".aac")}), 0);
        list.write((path(QString(p) + ".aac") + "\r\n").toUtf8());
    }
    list.close();

    ASSERT_EQ(run({"-core(", "-input", path("Kardune.lst"), "-join", "-type", "aac", "-prefix",
                   path("out.aac"), "-logfilea", path("t.log"), ")"}),
              0);
    EXPECT_EQ(contents("out.aac"), contents("01.aac") + contents("02.aac"));
    // Each AAC part carries the name of the part its audio came from.
    EXPECT_TRUE(contents("02.aac").contains("02.ac3"));
    EXPECT_FALSE(contents("02.aac").contains("01.ac3"));

    ASSERT_EQ(run({"-core(", "-input", path("Kardune.lst"), "-addriff", "-type", "aac", "-output",
                   path("riff.aac"), ")"}),
              0);
    EXPECT_EQ(contents("riff.aac"), "RIFF" + contents("out.aac"));
    // Two appended decode lines, one per part.
    EXPECT_EQ(contents("t.log").count("Reading"), 2);
}

TEST_F(FakeTool, InjectedFailuresAndMissingInputsLeaveNoOutput)
{
    make("01.ac3", "p1");
    make("02.ac3", "p2");
    auto decode = [&](const char *part) {
        return run({"-core(", "-input", path(QString(part) + ".ac3"), "-output",
                    path(QString(part) + ".wav"), ")"});
    };
    qputenv("WS_FAKE_FAIL", "encode,decode@2");
    EXPECT_EQ(decode("01"), 0);
    EXPECT_EQ(decode("02"), 1);
    EXPECT_FALSE(QFile::exists(path("02.wav")));
    EXPECT_EQ(run({"-if", path("01.wav"), "-of", path("01.aac")}), 1);
    EXPECT_FALSE(QFile::exists(path("01.aac")));

    qputenv("WS_FAKE_FAIL", "");
    qputenv("WS_FAKE_EMPTY", "encode");
    EXPECT_EQ(run({"-if", path("01.wav"), "-of", path("01.aac")}), 0);
    EXPECT_TRUE(QFile::exists(path("01.aac")));
    EXPECT_EQ(QFileInfo(path("01.aac")).size(), 0);

    // A missing input fails like a real tool: no stale output is produced.
    EXPECT_EQ(run({"-if", path("none.wav"), "-of", path("x.aac")}), 1);
    EXPECT_FALSE(QFile::exists(path("x.aac")));

    qputenv("WS_FAKE_CRASH", "other");
    EXPECT_EQ(run({"-probe"}), -2);
    qputenv("WS_FAKE_CRASH", "");
    qputenv("WS_FAKE_EXIT", "7");
    EXPECT_EQ(run({"-probe"}), 7);
}
