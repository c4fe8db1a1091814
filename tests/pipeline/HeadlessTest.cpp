// The window-less conversion: stored options, the input-name rules, the
// printed steps and the exit codes.
#include "FakeTool.h"
#include "HeadlessJob.h"
#include "OptionModel.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

struct Headless : ::testing::Test {
    QTemporaryDir dir;
    QString out, err;

    void SetUp() override
    {
        ws::OptionModel m;
        for (const char *tool : {"Tromvax", "Kardune", "aacenc"})
            m.setText(m.control(QLatin1String(tool)), wstest::fakeToolPath());
        m.setText(m.control(QStringLiteral("TempFolder")), dir.path() + "/");
        auto store = ws::openUserSettings();
        m.saveSettings(*store);
    }
    void TearDown() override { ws::openUserSettings()->clear(); }
    QString file(const char *name)
    {
        QFile f(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("audio");
        return f.fileName();
    }
    int run(const wsjob::HeadlessRequest &r)
    {
        out.clear();
        err.clear();
        QTextStream o(&out), e(&err);
        return wsjob::runHeadless(r, o, e);
    }
};

} // namespace

TEST_F(Headless, ConvertsWithStoredOptionsAndTheChosenSubstream)
{
    const QString vob = file("Movie.VOB");
    EXPECT_EQ(run({vob, {}, false, QStringLiteral("0xA2")}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Extracting substream 0xA2...\n")));
    EXPECT_TRUE(out.contains(QStringLiteral(" -substream 0xA2 -output ")));
    EXPECT_TRUE(out.endsWith(QStringLiteral("Task Complete !\nOutput: ") + dir.filePath("Movie.aac") + "\n"));

    // Without --overwrite an existing output stops the job; nothing is replaced.
    EXPECT_EQ(run({vob, {}, false, {}}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("already exists"))) << err.toStdString();
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(run({vob, dir.filePath("other.aac"), false, {}}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("Extracting substream.. (automatic selection)")));
}

TEST_F(Headless, FailuresExitNonZeroWithTheReason)
{
    EXPECT_EQ(run({dir.filePath("missing.ac3"), {}, false, {}}), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("does not exist")));
    // The tool's own last word on standard error is the reason given.
    qputenv("WS_FAKE_FAIL", "encode");
    qputenv("WS_FAKE_STDERR", "aacenc: no room left on the disk\n");
    EXPECT_EQ(run({file("a.ac3"), {}, true, {}}), 1);
    wstest::clearFakeEnvironment();
    EXPECT_TRUE(err.contains(QStringLiteral("Failed: encoding part 1: aacenc: no room left on the disk (exit code 1)")))
        << err.toStdString();
}
