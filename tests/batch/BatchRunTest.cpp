// Converting items from the batch window: what each job is given, whole-list
// runs, the guard against nested jobs, and Stop ending a real running tool
// (the fake companion tool) in the middle of a whole-list run.
#include "BatchTestSupport.h"
#include "FakeTool.h"
#include "SuperShell32.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace wsbatch;
using namespace wstest;

namespace {

class BatchRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        batchItems() = BatchItemArrays();
        w = std::make_unique<DragDrop>(host);
        w->show();
    }
    void TearDown() override
    {
        w.reset();
        batchItems() = BatchItemArrays();
        qunsetenv("WS_FAKE_RECORD");
        qunsetenv("WS_FAKE_SLEEP_MS");
    }
    QString file(const QString &relative) { return makeFile(dir.path(), relative); }
    static QString aacOf(const QString &path) { return path.left(path.size() - 3) + "aac"; }

    QTemporaryDir dir;
    FakeHost host;
    std::unique_ptr<DragDrop> w;
};

} // namespace

TEST_F(BatchRun, EncodeSelectedWithoutSelectionOnlyTicksAppendToLog)
{
    dropFiles(*w, {file("a.ac3")});
    w->List1()->setCurrentRow(-1);
    clickButton(w->XFlatButton2(4));
    EXPECT_EQ(host.ticks, 1);
    EXPECT_TRUE(host.jobs.isEmpty());
}

TEST_F(BatchRun, EncodeSelectedGivesTheVobItsSubstreamAndLeavesItForOthers)
{
    const QString ac3 = file("film.ac3");
    const QString vob = file("VIDEO_TS/VTS_01_1.VOB");
    dropFiles(*w, {ac3, vob});
    batchItems().BatchSubstream[1] = substreamColumn("0xA2");

    w->List1()->setCurrentRow(0);
    clickButton(w->XFlatButton2(4));
    ASSERT_EQ(host.jobs.size(), 1);
    EXPECT_EQ(host.jobs[0].input, ac3);
    EXPECT_EQ(host.jobs[0].output, aacOf(ac3));
    EXPECT_EQ(host.jobs[0].substream, "untouched");
    EXPECT_TRUE(host.jobs[0].appendLog) << "ticked before the job";

    w->List1()->setCurrentRow(1);
    clickButton(w->XFlatButton2(4));
    ASSERT_EQ(host.jobs.size(), 2);
    EXPECT_EQ(host.jobs[1].input, vob);
    EXPECT_EQ(host.jobs[1].output, dir.path() + "/VIDEO_TS/VTS_01_1.aac");
    EXPECT_EQ(host.jobs[1].substream, "0xA2");
    EXPECT_EQ(host.ticks, 2);
}

TEST_F(BatchRun, WholeListRunsEveryRowInOrderAndKeepsPathsWithThreeBlanksWhole)
{
    const QString rows[] = {file("one.vob"), file("two   blanks/and   more.ac3"), file("three.wav")};
    dropFiles(*w, {rows[0], rows[1], rows[2]});
    ASSERT_EQ(w->List1()->count(), 3);
    clickButton(w->XFlatButton2(5));

    ASSERT_EQ(host.jobs.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host.jobs[i].input, rows[i]) << i;
        EXPECT_EQ(host.jobs[i].output, aacOf(rows[i])) << i;
        EXPECT_TRUE(host.jobs[i].appendLog) << i;
    }
    EXPECT_EQ(host.jobs[0].substream, "0x80");
    EXPECT_EQ(host.ticks, 1);
    EXPECT_FALSE(w->jobActive());
}

TEST_F(BatchRun, EncodeButtonsStartNothingWhileAJobRuns)
{
    dropFiles(*w, {file("a.ac3"), file("b.ac3")});
    w->List1()->setCurrentRow(0);
    host.onJob = [this](int) {
        clickButton(w->XFlatButton2(5));
        clickButton(w->XFlatButton2(4));
        EXPECT_TRUE(w->jobActive());
    };
    clickButton(w->XFlatButton2(5));
    EXPECT_EQ(host.jobs.size(), 2) << "no nested job inside a running one";
    EXPECT_EQ(host.ticks, 1) << "the running job's options stay as they are";

    // A job started from the main window blocks the encode buttons as well.
    host.onJob = nullptr;
    host.externalJob = true;
    clickButton(w->XFlatButton2(4));
    clickButton(w->XFlatButton2(5));
    EXPECT_EQ(host.jobs.size(), 2);
    EXPECT_EQ(host.ticks, 1);
}

TEST_F(BatchRun, WholeListRunWorksFromTheRowCountItReadAtTheStart)
{
    dropFiles(*w, {file("a.ac3"), file("b.ac3")});
    const QString late = file("late.ac3");
    host.onJob = [&](int n) {
        if (n == 1)
            dropFiles(*w, {late});
    };
    clickButton(w->XFlatButton2(5));
    ASSERT_EQ(w->List1()->count(), 3);
    EXPECT_EQ(host.jobs.size(), 2) << "a row dropped during the run is not converted by it";
}

TEST_F(BatchRun, ClearListOrCloseDuringARunEndsItAfterTheCurrentJob)
{
    dropFiles(*w, {file("a.ac3"), file("b.ac3"), file("c.ac3")});
    host.onJob = [&](int n) {
        if (n == 1)
            sendMouse(w->XFlatButton2(1), QEvent::MouseButtonPress, Qt::LeftButton);
    };
    clickButton(w->XFlatButton2(5));
    EXPECT_EQ(host.jobs.size(), 1);

    host.jobs.clear();
    dropFiles(*w, {file("a.ac3"), file("b.ac3"), file("c.ac3")});
    host.onJob = [&](int n) {
        if (n == 2)
            sendMouse(w->XFlatButton2(3), QEvent::MouseButtonPress, Qt::LeftButton);
    };
    clickButton(w->XFlatButton2(5));
    EXPECT_EQ(host.jobs.size(), 2);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(host.mainEnabled);
}

TEST_F(BatchRun, StopWithNoToolRunningOnlyRedrawsAndEnablesThePanels)
{
    w->EnablePanels(false);
    ASSERT_FALSE(SuperShell32::isToolRunning());
    sendMouse(w->XFlatButton2(2), QEvent::MouseButtonPress, Qt::LeftButton);
    EXPECT_EQ(host.stops, 1);
    EXPECT_TRUE(w->XFlatButton2(1)->Enabled());
    EXPECT_TRUE(w->Picture2()->isEnabled());
    EXPECT_FALSE(w->XFlatButton2(2)->isPressed());
}

TEST_F(BatchRun, StopDuringTheSecondItemEndsItsToolAndTheRunGoesOn)
{
    const QString record = dir.path() + "/runs.jsonl";
    qputenv("WS_FAKE_RECORD", record.toUtf8());
    const QString tool = fakeToolPath();
    ASSERT_TRUE(QFileInfo(tool).isExecutable()) << tool.toStdString();

    QList<SuperShell32::ToolOutcome> outcomes;
    // Each job runs the fake tool once; the second one would sleep for a
    // minute unless it is stopped.
    host.onJob = [&](int n) {
        if (n == 2)
            qputenv("WS_FAKE_SLEEP_MS", "60000");
        else
            qunsetenv("WS_FAKE_SLEEP_MS");
        outcomes << SuperShell32::runTool('"' + tool + "\" item " + QString::number(n));
    };
    // Presses Stop once the second job's tool runs.
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (host.jobs.size() == 2 && SuperShell32::isToolRunning()) {
            watch.stop();
            sendMouse(w->XFlatButton2(2), QEvent::MouseButtonPress, Qt::LeftButton);
            sendMouse(w->XFlatButton2(2), QEvent::MouseButtonRelease, Qt::LeftButton);
        }
    });
    watch.start();

    dropFiles(*w, {file("one.ac3"), file("two.vob"), file("three.wav")});
    clickButton(w->XFlatButton2(5));

    ASSERT_EQ(host.jobs.size(), 3);
    ASSERT_EQ(outcomes.size(), 3);
    EXPECT_TRUE(outcomes[0].succeeded());
    EXPECT_TRUE(outcomes[1].stopped);
    EXPECT_FALSE(outcomes[1].succeeded());
    EXPECT_TRUE(outcomes[2].succeeded()) << "the run goes on with its next item";
    EXPECT_EQ(host.stops, 1);
    EXPECT_EQ(host.ticks, 1) << "Stop's release raised no Click";
    // The third tool really ran (the stopped one may have ended before it
    // could record itself).
    QStringList items;
    for (const FakeRun &r : readFakeRuns(record))
        items << r.args.join(' ');
    EXPECT_TRUE(items.contains("item 1"));
    EXPECT_TRUE(items.contains("item 3"));
    EXPECT_FALSE(SuperShell32::isToolRunning());
}
