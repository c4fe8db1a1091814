// The conversion job run for real against the fake companion tool: exact
// command lines and argument vectors, status texts, the job's workspace and
// the handling of failures.
#include "FakeTool.h"
#include "JobCommands.h"
#include "JobPipeline.h"
#include "OptionModel.h"
#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

using namespace wsjob;
using namespace wstest;
using ws::OptionModel;

namespace {

struct Host : JobHost {
    bool batch = false;
    bool answer = true;
    int asked = 0;
    int lastDone = -1, lastTotal = -1;
    bool reachedEnd = false;
    std::function<void()> onProgress;
    bool batchVisible() const override { return batch; }
    bool confirmOverwrite(const QString &) override
    {
        ++asked;
        return answer;
    }
    void progress(int done, int total) override
    {
        if (total > 0) {
            EXPECT_LE(done, total);
            EXPECT_GE(done, lastDone); // never moves back during a job
            reachedEnd |= done == total;
        }
        lastDone = done;
        lastTotal = total;
        if (onProgress)
            onProgress();
    }
};

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        wstest::clearFakeEnvironment();
        qputenv("WS_FAKE_RECORD", (dir.path() + "/runs.jsonl").toUtf8());
        T = dir.path() + "/tmp dir/";
        QDir().mkpath(T);
        fake = fakeToolPath();
        set("TempFolder", T);
        set("Tromvax", fake);
        set("Kardune", fake);
        set("aacenc", fake);
        set("splitval", "10", 1); // 600 s in 256 s segments: three parts
        QObject::connect(&m, &OptionModel::controlChanged, [this](ws::Control *c) {
            if (c->name == QLatin1String("Status"))
                statuses << c->caption;
            else if (c->name == QLatin1String("text1") && !c->caption.isEmpty())
                commands << c->caption;
        });
    }
    void TearDown() override
    {
        wstest::clearFakeEnvironment();
    }
    void set(const char *name, const QString &text, int index = -1)
    {
        m.setText(m.control(QLatin1String(name), index), text);
    }
    QString source(const QString &name, const QByteArray &content = "source audio")
    {
        const QString p = dir.path() + "/in put/" + name;
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return p;
    }
    JobResult run()
    {
        JobPipeline job(m, host);
        return job.run();
    }
    QList<FakeRun> runs() const { return readFakeRuns(dir.path() + "/runs.jsonl"); }
    QStringList kinds() const
    {
        QStringList k;
        for (const auto &r : runs())
            k << r.kind;
        return k;
    }
    // Everything in the temporary folder, folders and hidden files included.
    QStringList leftovers() const
    {
        return QDir(T).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
    // The last job's workspace, as its split was told to fill it (-prefix).
    QString workspace() const
    {
        QString w;
        for (const auto &r : runs())
            if (r.kind == QLatin1String("split"))
                w = r.args.value(r.args.indexOf("-prefix") + 1);
        return w;
    }
    // A fresh "wavesmithy-XXXXXX" folder right inside the temporary folder,
    // gone once the job has ended.
    void expectWorkspaceGone(const QString &w) const
    {
        EXPECT_TRUE(w.startsWith(T + "wavesmithy-") && w.endsWith('/')) << w.toStdString();
        EXPECT_EQ(w.size(), T.size() + 18) << w.toStdString();
        EXPECT_FALSE(QFileInfo::exists(w)) << w.toStdString();
    }
    QString logFile() const { return wsplatform::userDataFolder() + "/Tromvax.log"; }
    QString log() const { return q(logFile()); }
    static QString q(const QString &s) { return '"' + s + '"'; }

    QTemporaryDir dir;
    QString T, fake;
    OptionModel m;
    Host host;
    QStringList statuses, commands;
};

} // namespace

TEST_F(Pipeline, Ac3SourceWithDefaultsRunsEveryStepWithExactCommandLines)
{
    const QString in = source("movie.ac3");
    set("InputFile", in);
    const QString out = m.text("OutputFile");
    // The user's own files in the temporary folder, named like the job's files.
    const QStringList userFiles{"01.aac", "01.ac3", "01.ac3.span", "Aactempfile1", "Kardune.lst", "wavesmithy.wav"};
    for (const QString &name : userFiles) {
        QFile f(T + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("user file");
    }
    // The workspace while the parts are handled: its user's alone.
    std::filesystem::perms during = std::filesystem::perms::unknown;
    host.onProgress = [&] {
        if (host.lastTotal > 0 && during == std::filesystem::perms::unknown)
            during = std::filesystem::status(workspace().toStdString()).permissions();
    };
    const JobResult r = run();
    ASSERT_TRUE(r.completed()) << r.message.toStdString();
    const QString W = workspace();
    expectWorkspaceGone(W);
    EXPECT_EQ(during & std::filesystem::perms::mask, std::filesystem::perms::owner_all);

    // The command-line pane shows the lines it has always shown, in the workspace.
    const QString azid = " -L -3db -c normal -s surround";
    const QString wav = q(W + "wavesmithy.wav");
    QStringList expected{
        q(fake) + " -core( -input " + q(in) + " -output " + wav + " -logfile " + q(W + "Aactempfile1") +
            " -2chnothing ) -ota( -g max ) -azid( " + azid + " )",
        q(fake) + " -core( -input " + q(in) + " -prefix " + q(W) + " -logfilea " + log() +
            " -type ac3 -r -ending ) -split( 0 256 256 256 ) -profile( Wavesmithy v0.51 )"};
    for (int i = 1; i <= 3; ++i) {
        const QString nn = QStringLiteral("0%1").arg(i);
        const QString ota = i == 1 ? " -ota( -sc 1024 -g +3.2dB )" : " -ota(  -g +3.2dB )";
        expected << q(fake) + " -core( -input " + q(W + nn + ".ac3") + " -output " + wav + " -logfilea " + log() +
                        " -2ch ) -azid( -L -3db -c normal -s surround ) -profile( The Wavesmithy v0.51 )" + ota;
        expected << q(fake) + " -if " + wav + " -normal -of " + q(W + nn + ".aac");
    }
    expected << q(fake) + " -core( -input " + q(W + "Kardune.lst") + " -join -type aac -prefix " + q(out) +
                    "  -logfilea " + log() + " ) -profile( Wavesmithy v0.51 )";
    EXPECT_EQ(commands, expected);

    // The tools got these words, each path one word.
    const QString L = logFile();
    const QStringList downmix{"-azid(", "-L", "-3db", "-c", "normal", "-s", "surround", ")"};
    QList<QStringList> argv{
        QStringList{"-core(", "-input", in, "-output", W + "wavesmithy.wav", "-logfile", W + "Aactempfile1",
                    "-2chnothing", ")", "-ota(", "-g", "max", ")"} + downmix,
        {"-core(", "-input", in, "-prefix", W, "-logfilea", L, "-type", "ac3", "-r", "-ending", ")", "-split(", "0",
         "256", "256", "256", ")", "-profile(", "Wavesmithy", "v0.51", ")"}};
    for (int i = 1; i <= 3; ++i) {
        const QString nn = QStringLiteral("0%1").arg(i);
        argv << QStringList{"-core(", "-input", W + nn + ".ac3", "-output", W + "wavesmithy.wav", "-logfilea", L,
                            "-2ch", ")"} + downmix +
                    QStringList{"-profile(", "The", "Wavesmithy", "v0.51", ")", "-ota("} +
                    (i == 1 ? QStringList{"-sc", "1024"} : QStringList()) + QStringList{"-g", "+3.2dB", ")"};
        argv << QStringList{"-if", W + "wavesmithy.wav", "-normal", "-of", W + nn + ".aac"};
    }
    argv << QStringList{"-core(", "-input", W + "Kardune.lst", "-join", "-type", "aac", "-prefix", out, "-logfilea", L,
                        ")", "-profile(", "Wavesmithy", "v0.51", ")"};

    EXPECT_EQ(statuses, (QStringList{"Finding maximal track gain...", "Splitting source file with Kardune..",
                                     "Decoding part 1...", "Encoding part 1...", "Decoding part 2...",
                                     "Encoding part 2...", "Decoding part 3...", "Encoding part 3...",
                                     "Joining all parts together..", "Deleting splitted AAC files..",
                                     "Task Complete !"}));
    const auto rs = runs();
    ASSERT_EQ(rs.size(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(rs[i].args, argv[i]) << "run " << i;
    EXPECT_TRUE(QFileInfo(out).size() > 0);
    // The temporary folder holds what it held before, the user's files untouched.
    EXPECT_EQ(leftovers(), userFiles);
    for (const QString &name : userFiles) {
        QFile f(T + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("user file")) << name.toStdString();
    }
    EXPECT_TRUE(QFile::exists(in));
    EXPECT_EQ(m.control("text1").caption, QString());
    EXPECT_TRUE(host.reachedEnd);
    EXPECT_EQ(host.lastTotal, -1); // progress idle again
}

TEST_F(Pipeline, VobSourceExtractsTheChosenSubstreamAndUsesTheFoundDelay)
{
    const QString in = source("Movie.VOB");
    set("InputFile", in);
    set("substream", "0xA0  (PCM)");
    m.setValue(m.control("OTA", 3), 1);
    qputenv("WS_FAKE_DELAY", "40ms");
    ASSERT_TRUE(run().completed());

    ASSERT_GE(commands.size(), 5);
    const QString W = workspace();
    expectWorkspaceGone(W);
    // No substream line in the log: the parts keep the AC3 type.
    EXPECT_EQ(commands[0], q(fake) + " -core( -input " + q(in) + " -payload -logfile " + q(W + "Aactempfile1") +
                               " -substream 0xA0 -output " + q(W + "wavesmithy") +
                               " -2chnothing ) -ota( -g max )");
    EXPECT_EQ(statuses.first(), QStringLiteral("Extracting substream 0xA0..."));
    EXPECT_TRUE(commands[1].contains(" -input " + q(W + "wavesmithy.ac3") + " ") && commands[1].contains(" -type ac3 "));
    EXPECT_TRUE(commands[2].endsWith(" -ota( -d  40 -sc 1024 -g +3.2dB )")) << commands[2].toStdString();
    // The delay the pane shows with its sign blank reaches the decoder as one word.
    const auto rs = runs();
    ASSERT_GE(rs.size(), 3);
    EXPECT_EQ(rs[2].args.mid(rs[2].args.indexOf("-ota(")),
              (QStringList{"-ota(", "-d", "40", "-sc", "1024", "-g", "+3.2dB", ")"}));
    EXPECT_FALSE(commands[2].contains("-azid(")); // the decoder switches are for AC3 inputs only
    EXPECT_TRUE(commands[4].endsWith(" -ota(  -g +3.2dB )")) << commands[4].toStdString();
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(Pipeline, VobWithoutChosenSubstreamOrGainLeavesTheCoreGroupOpen)
{
    const QString in = source("clip.vob");
    set("InputFile", in);
    m.click(m.control("Azid", 7));
    qputenv("WS_FAKE_SUBSTREAM", "0xC1");
    ASSERT_TRUE(run().completed());
    EXPECT_EQ(statuses.first(), QStringLiteral("Extracting substream.. (automatic selection)"));
    const QString W = workspace();
    EXPECT_EQ(commands[0], q(fake) + " -core( -input " + q(in) + " -payload -logfile " + q(W + "Aactempfile1") +
                               " -output " + q(W + "wavesmithy"));
    // The substream found in the log makes MPEG-audio parts.
    EXPECT_TRUE(commands[1].contains(" -type mpa ")) << commands[1].toStdString();
    EXPECT_TRUE(commands[2].endsWith(" -ota( -sc 1024 -g 0db )")) << commands[2].toStdString();
}

TEST_F(Pipeline, OtherSourcesWithoutAutomaticGainSkipThePreparationPass)
{
    const QString in = source("song.mp2");
    set("InputFile", in);
    m.click(m.control("Azid", 7));
    m.pickItem(m.control("azidcmb", 9), QStringLiteral("heavy"));
    ASSERT_TRUE(run().completed());
    EXPECT_EQ(kinds().first(), QStringLiteral("split"));
    EXPECT_TRUE(commands[0].contains(" -type mp2 "));
    EXPECT_TRUE(commands[1].endsWith(" -2ch ) -boost( /b=3db ) -profile( The Wavesmithy v0.51 ) -ota( -sc 1024 -g 0db )"))
        << commands[1].toStdString();
}

TEST_F(Pipeline, SixChannelQualityAdifAndWaveHeaderShapeTheEncodeAndJoin)
{
    const QString in = source("surround.ac3");
    set("InputFile", in);
    m.pickItem(m.control("azidcmb", 8), QStringLiteral("5.1"));
    m.click(m.control("aac", 1));
    m.pickItem(m.control("aaccmb", 1), QStringLiteral("0.499"));
    m.click(m.control("aacmore", 0));
    m.click(m.control("addriff"));
    ASSERT_TRUE(run().completed());
    EXPECT_TRUE(commands[0].endsWith(" -6chnothing ) -ota( -g max ) -azid(  -L -3db -c normal )"))
        << commands[0].toStdString();
    EXPECT_TRUE(commands[1].contains(" -split( 0 32 32 ")) << commands[1].toStdString();
    EXPECT_TRUE(commands[2].contains(" -6chwav ) -azid( -L -3db -c normal ) -profile"));
    const QString W = workspace();
    EXPECT_EQ(commands[3], q(fake) + " -if " + q(W + "wavesmithy.wav") + " -vbrhi -qvbr  49.9 -adif -lfe -of " +
                               q(W + "01.aac"));
    const auto rs = runs();
    ASSERT_GE(rs.size(), 4);
    EXPECT_EQ(rs[3].args, (QStringList{"-if", W + "wavesmithy.wav", "-vbrhi", "-qvbr", "49.9", "-adif", "-lfe", "-of",
                                       W + "01.aac"}));
    EXPECT_TRUE(commands.last().contains(" -addriff -type aac -output " + q(dir.path() + "/in put/surround.wav")));
}

TEST_F(Pipeline, TwelvePartsAreNumberedAndListedInOrder)
{
    set("InputFile", source("long.ac3"));
    qputenv("WS_FAKE_PARTS", "12");
    ASSERT_TRUE(run().completed());
    QStringList decoded;
    for (const auto &r : runs())
        if (r.kind == QLatin1String("decode"))
            decoded << QFileInfo(r.args.at(2)).fileName();
    EXPECT_EQ(decoded, (QStringList{"01.ac3", "02.ac3", "03.ac3", "04.ac3", "05.ac3", "06.ac3", "07.ac3", "08.ac3",
                                    "09.ac3", "10.ac3", "11.ac3", "12.ac3"}));
    EXPECT_TRUE(statuses.contains(QStringLiteral("Decoding part 12...")));
}

TEST_F(Pipeline, OverwriteQuestion)
{
    set("InputFile", source("a.ac3"));
    QFile out(m.text("OutputFile"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("previous");
    out.close();

    host.answer = false;
    const JobResult no = run();
    EXPECT_EQ(no.outcome, JobResult::Outcome::Cancelled);
    EXPECT_EQ(host.asked, 1);
    EXPECT_TRUE(runs().isEmpty());
    EXPECT_TRUE(statuses.isEmpty());

    host.batch = true; // a visible batch window never asks
    EXPECT_TRUE(run().completed());
    EXPECT_EQ(host.asked, 1);
    EXPECT_NE(QFileInfo(out.fileName()).size(), 8);
}

TEST_F(Pipeline, FailedStepEndsTheJobCleanlyAndKeepsTheOldOutput)
{
    set("InputFile", source("a.ac3"));
    const QString outPath = m.text("OutputFile");
    QFile out(outPath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("previous");
    out.close();

    // The status names the step and the tool's last line on standard error, if any.
    const struct {
        const char *variable;
        const char *stderrText;
        QString message;
    } cases[] = {
        {"WS_FAKE_FAIL", nullptr, "Failed: decoding part 2: " + fake + " reported an error (exit code 1)."},
        {"WS_FAKE_FAIL", "reading part 2\nno audio in part 2\n\n",
         "Failed: decoding part 2: no audio in part 2 (exit code 1)"},
        {"WS_FAKE_CRASH", nullptr, "Failed: decoding part 2: " + fake + " crashed."},
        {"WS_FAKE_CRASH", "out of memory\n", "Failed: decoding part 2: out of memory (" + fake + " crashed)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        wstest::clearFakeEnvironment();
        QFile::remove(dir.path() + "/runs.jsonl");
        qputenv("WS_FAKE_RECORD", (dir.path() + "/runs.jsonl").toUtf8());
        qputenv(c.variable, "decode@2");
        if (c.stderrText)
            qputenv("WS_FAKE_STDERR", c.stderrText);
        statuses.clear();
        const JobResult r = run();
        EXPECT_EQ(r.outcome, JobResult::Outcome::Failed);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(m.control("Status").caption, r.message);
        EXPECT_FALSE(statuses.contains("Task Complete !"));
        // Part 2 was never encoded from part 1's audio, and nothing was joined.
        EXPECT_EQ(kinds(), (QStringList{"gain", "split", "decode", "encode", "decode"}));
        expectWorkspaceGone(workspace());
        EXPECT_EQ(leftovers(), QStringList());
        QFile check(outPath);
        ASSERT_TRUE(check.open(QIODevice::ReadOnly));
        EXPECT_EQ(check.readAll(), QByteArray("previous"));
    }
}

TEST_F(Pipeline, EmptyOutputsAndMissingToolsAreFailures)
{
    set("InputFile", source("a.wav"));
    qputenv("WS_FAKE_EMPTY", "encode@1");
    JobResult r = run();
    EXPECT_EQ(r.outcome, JobResult::Outcome::Failed);
    EXPECT_EQ(r.message, "Failed: encoding part 1 left no output in " + workspace() + "01.aac.");
    expectWorkspaceGone(workspace());
    qunsetenv("WS_FAKE_EMPTY");

    // Each kind of unusable tool path is named for what it is.
    const QString notExecutable = source("kardune-copy");
    const struct {
        QString path;
        JobResult::Outcome outcome;
        QString message;
    } tools[] = {
        {dir.path() + "/no such splitter", JobResult::Outcome::Failed,
         "Failed: splitting the source: the tool " + dir.path() +
             "/no such splitter could not be started (program not found: " + dir.path() + "/no such splitter)."},
        {notExecutable, JobResult::Outcome::Failed,
         "Failed: splitting the source: the tool " + notExecutable + " could not be started (not executable: " +
             notExecutable + ")."},
        {" ", JobResult::Outcome::Refused, "Refused: no path set for kardune in Locations."},
    };
    for (const auto &t : tools) {
        set("Kardune", t.path);
        r = run();
        EXPECT_EQ(r.outcome, t.outcome);
        EXPECT_EQ(r.message, t.message);
        EXPECT_EQ(leftovers(), QStringList());
    }
}

TEST_F(Pipeline, LogPastTenMegabytesIsMovedAsideBeforeTheJobWritesIt)
{
    set("InputFile", source("a.wav"));
    const QString older = logFile() + ".1";
    const auto sized = [](const QString &path, qint64 size) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.resize(size);
    };
    ASSERT_TRUE(sized(older, 5));
    ASSERT_TRUE(sized(logFile(), 10'000'000)); // at the limit: stays
    ASSERT_TRUE(run().completed());
    EXPECT_GT(QFileInfo(logFile()).size(), 10'000'000) << "appended to";
    EXPECT_EQ(QFileInfo(older).size(), 5);

    const qint64 big = QFileInfo(logFile()).size();
    ASSERT_TRUE(run().completed());
    EXPECT_EQ(QFileInfo(older).size(), big) << "replaced the older one";
    EXPECT_GT(QFileInfo(logFile()).size(), 0);
    EXPECT_LT(QFileInfo(logFile()).size(), 1'000'000) << "a new log";
    QFile::remove(older);
    QFile::remove(logFile());
}

TEST_F(Pipeline, OptionsThatCannotWorkAreRefusedBeforeAnyToolRuns)
{
    set("InputFile", source("a.ac3"));
    set("splitval", "0", 0);
    JobResult r = run();
    EXPECT_EQ(r.outcome, JobResult::Outcome::Refused);
    EXPECT_TRUE(r.message.contains("segment size"));

    set("splitval", "32", 0);
    set("splitval", "6000", 1); // 360000 s: more than 9999 parts
    EXPECT_EQ(run().outcome, JobResult::Outcome::Refused);

    set("splitval", "120", 1);
    // The output is the input, under its own name or another one.
    const QString in = m.text("InputFile");
    const QString link = dir.path() + "/link.ac3";
    ASSERT_TRUE(QFile::link(in, link));
    for (const QString &output : {in, link}) {
        set("OutputFile", output);
        r = run();
        EXPECT_EQ(r.outcome, JobResult::Outcome::Refused) << output.toStdString();
        EXPECT_EQ(r.message, "Refused: the output file " + output + " is the input file; choose another output name.");
    }

    set("OutputFile", dir.path() + "/out.aac");
    set("TempFolder", dir.path() + "/no such folder/");
    r = run();
    EXPECT_EQ(r.outcome, JobResult::Outcome::Failed);
    EXPECT_EQ(r.message, "Failed: the temporary folder " + dir.path() + "/no such folder/ does not exist.");
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/no such folder"));
    EXPECT_TRUE(runs().isEmpty());
    EXPECT_TRUE(QFile::exists(in));
}

TEST_F(Pipeline, PathsWithQuoteMarksConvert)
{
    const QString in = source("say \"hi\".ac3");
    set("InputFile", in);
    set("OutputFile", dir.path() + "/in put/\"hi\" out.aac");
    ASSERT_TRUE(run().completed());
    EXPECT_GT(QFileInfo(dir.path() + "/in put/\"hi\" out.aac").size(), 0);
    const auto rs = runs();
    ASSERT_FALSE(rs.isEmpty());
    EXPECT_EQ(rs[0].args.mid(0, 3), (QStringList{"-core(", "-input", in}));
    EXPECT_EQ(rs.last().args.value(rs.last().args.indexOf("-prefix") + 1), dir.path() + "/in put/\"hi\" out.aac");
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(Pipeline, SplitListHasNoSixteenBitLimit)
{
    set("splitval", "1000", 1); // 60000 s, beyond a 16-bit count
    QString error;
    EXPECT_EQ(readJobSettings(m).segments(&error), QStringList(235, "256"));
    EXPECT_EQ(error, QString());
    set("splitval", "0", 1);
    EXPECT_EQ(readJobSettings(m).segments(&error), QStringList());
    EXPECT_EQ(error, QString());
    EXPECT_EQ(partNumber(9), QStringLiteral("09"));
    EXPECT_EQ(partNumber(10), QStringLiteral("10"));
    // Lengths of 400 digits read as infinite: no finite list of parts.
    const QString huge(400, QLatin1Char('9'));
    for (const auto &[segment, minutes] : {std::pair{huge, huge}, std::pair{QString("256"), huge}}) {
        set("splitval", segment, 0);
        set("splitval", minutes, 1);
        error.clear();
        EXPECT_EQ(readJobSettings(m).segments(&error), QStringList());
        EXPECT_FALSE(error.isEmpty()) << segment.size() << " " << minutes.size();
    }
    set("priority", "Low");
    EXPECT_EQ(readJobSettings(m).priorityClass, 0x20u);
    set("priority", "Idle");
    EXPECT_EQ(readJobSettings(m).priorityClass, 0x40u);
}

TEST_F(Pipeline, ResampleRateOutsideTheToolsRangeCountsAsNone)
{
    m.setValue(m.control("SSRC", 0), 1);
    const struct {
        const char *typed;
        int rate;
    } cases[] = {{"48000", 48000}, {"22050.7", 22050}, {"384000", 384000}, {"2501000111011", 0},
                 {"99999999999999999999", 0}, {"-44100", 0}, {"0", 0}};
    for (const auto &c : cases) {
        set("ssrcv", c.typed, 0);
        EXPECT_EQ(readJobSettings(m).resampleRate, c.rate) << c.typed;
    }
}

TEST_F(Pipeline, IdlePriorityReachesTheTools)
{
    set("InputFile", source("a.ac3"));
    set("priority", "Idle");
    ASSERT_TRUE(run().completed());
    for (const auto &r : runs())
        EXPECT_EQ(r.nice, 19) << r.kind.toStdString();
}

TEST_F(Pipeline, StopEndsTheRunningToolAndTheJobCleanly)
{
    set("InputFile", source("a.ac3"));
    qputenv("WS_FAKE_SLEEP_MS", "20000");
    qputenv("WS_FAKE_SLEEP_KIND", "decode");
    // Once the first decode runs, stop it as the batch window's Stop does.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (ProcessRunner::isToolRunning() && statuses.contains("Decoding part 1..."))
            ProcessRunner::stopCurrent();
    });
    poll.start(20);
    const JobResult r = run();
    EXPECT_EQ(r.outcome, JobResult::Outcome::Stopped);
    EXPECT_TRUE(r.message.startsWith("Stopped")) << r.message.toStdString();
    expectWorkspaceGone(workspace());
    EXPECT_EQ(leftovers(), QStringList());
    EXPECT_FALSE(QFile::exists(m.text("OutputFile")));
}

TEST_F(Pipeline, NoSecondJobWhileOneRuns)
{
    set("InputFile", source("a.ac3"));
    JobResult inner;
    bool tried = false;
    host.onProgress = [&] {
        if (!tried) {
            tried = true;
            JobPipeline second(m, host);
            inner = second.run();
        }
    };
    EXPECT_TRUE(run().completed());
    EXPECT_EQ(inner.outcome, JobResult::Outcome::Busy);
    EXPECT_FALSE(JobPipeline::isRunning());
}

TEST_F(Pipeline, Mpeg4OutputWithAWaveOrAdifHeaderIsRefused)
{
    set("InputFile", source("movie.ac3"));
    set("OutputFile", dir.path() + "/movie.m4a");
    for (const char *box : {"addriff", "aacmore"}) {
        ws::Control &tick = m.control(QLatin1String(box), QLatin1String(box) == QLatin1String("aacmore") ? 0 : -1);
        tick.value = 1; // ticked earlier, now greyed
        const JobResult r = run();
        EXPECT_EQ(r.outcome, JobResult::Outcome::Refused) << box;
        EXPECT_TRUE(r.message.contains("do not apply to an MPEG-4 audio (.m4a) output")) << r.message.toStdString();
        tick.value = 0;
    }
    EXPECT_TRUE(runs().isEmpty());
}
