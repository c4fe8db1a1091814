// A job works from the options as they were when it started: edits made in
// the window while its tools run apply to the next job only.
#include "FakeTool.h"
#include "JobPipeline.h"
#include "OptionModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wsjob;

namespace {

struct QuietHost : JobHost {
    bool confirmOverwrite(const QString &) override { return true; }
};

} // namespace

TEST(Snapshot, OptionsEditedWhileAToolRunsDoNotChangeTheJob)
{
    QTemporaryDir dir;
    wstest::clearFakeEnvironment();
    ws::OptionModel m;
    const auto set = [&m](const char *name, const QString &text, int index = -1) {
        m.setText(m.control(QLatin1String(name), index), text);
    };
    const QString in = dir.filePath("movie.ac3");
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("audio") > 0);
    f.close();
    set("TempFolder", dir.path() + "/");
    for (const char *tool : {"Tromvax", "Kardune", "aacenc"})
        set(tool, wstest::fakeToolPath());
    set("InputFile", in);
    const QString out = m.text("OutputFile");

    QuietHost host;
    JobPipeline job(m, host);
    QList<ToolCommand> seen;
    job.setToolRunner([&](const ToolCommand &c, quint32 priority) {
        if (seen.isEmpty()) { // during the gain pass, the user edits the window
            m.setValue(m.control("addriff"), 1);
            set("OutputFile", dir.filePath("other.aac"));
            set("LOGFILEVAL", "Other.log", 0);
            m.setValue(m.control("Azid", 7), 0);
            m.pickItem(m.control("azidcmb", 8), QStringLiteral("5.1"));
        }
        seen << c;
        return ProcessRunner::runTool(c.program, c.arguments, QString(), priority);
    });
    ASSERT_TRUE(job.run().completed());

    const ToolCommand &join = seen.last();
    EXPECT_TRUE(join.arguments.contains("-join")) << join.shown.toStdString();
    EXPECT_TRUE(join.arguments.contains(out));
    EXPECT_TRUE(join.shown.contains("/Tromvax.log")) << join.shown.toStdString();
    for (const ToolCommand &c : seen) {
        EXPECT_FALSE(c.arguments.contains("-6chwav")) << c.shown.toStdString();
        EXPECT_FALSE(c.arguments.contains("-lfe")) << c.shown.toStdString();
    }
    // Every decode kept the measured gain, not the fixed one.
    EXPECT_TRUE(seen[2].shown.endsWith("-g +3.2dB )")) << seen[2].shown.toStdString();
    EXPECT_TRUE(QFile::exists(out));
    EXPECT_FALSE(QFile::exists(dir.filePath("other.aac")));
}
