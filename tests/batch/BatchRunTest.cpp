// Converting items from the batch window with a stand-in main window: what
// each job is given, whole-list runs, the guard against nested jobs, and
// Stop. Runs through the real job are in BatchPipelineTest.cpp.
#include "BatchTestSupport.h"
#include "ProcessRunner.h"

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
        w = std::make_unique<BatchWindow>(host);
        w->show();
    }
    void TearDown() override
    {
        w.reset();
        batchItems() = BatchItemArrays();
    }
    QString file(const QString &relative) { return makeFile(dir.path(), relative); }
    static QString aacOf(const QString &path) { return path.left(path.size() - 3) + "aac"; }

    QTemporaryDir dir;
    FakeHost host;
    std::unique_ptr<BatchWindow> w;
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
    EXPECT_EQ(host.jobs[0].substream, "") << "an unlisted VOB: the automatic choice";
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
    ASSERT_FALSE(ProcessRunner::isToolRunning());
    sendMouse(w->XFlatButton2(2), QEvent::MouseButtonPress, Qt::LeftButton);
    EXPECT_EQ(host.stops, 1);
    EXPECT_TRUE(w->XFlatButton2(1)->Enabled());
    EXPECT_TRUE(w->Picture2()->isEnabled());
    EXPECT_FALSE(w->XFlatButton2(2)->isPressed());
}

TEST_F(BatchRun, VobsShowTheAutomaticChoiceAndDiscsGiveOneItemPerTitle)
{
    using wsjob::DiscTitleInfo;
    using wsjob::DiscTrack;
    // VOBs holding only MPEG or only LPCM audio, as the transcoder lists them.
    const QString mpeg = file("mpeg.vob"), lpcm = file("lpcm.vob");
    host.listings.insert(mpeg, QList<DiscTitleInfo>{{0, 8, {}, {DiscTrack{"0xC1", "mpeg", 2, {}, false}}}});
    host.listings.insert(lpcm, QList<DiscTitleInfo>{{0, 8, {}, {DiscTrack{"0xA0", "lpcm", 2, {}, false}}}});
    // A disc: a short title, the film and an extra; an image nothing could list.
    const QString disc = dir.path() + "/FILM";
    QDir().mkpath(disc + "/VIDEO_TS");
    host.listings.insert(disc, QList<DiscTitleInfo>{{1, 40, {}, {}},
                                                    {2, 5400, {0, 600}, {DiscTrack{"0x81", "ac3", 6, "en", false}}},
                                                    {3, 900, {}, {}}});
    const QString unreadable = file("broken.iso");
    dropFiles(*w, {mpeg, lpcm, disc, unreadable});

    ASSERT_EQ(w->List1()->count(), 4);
    EXPECT_EQ(batchItems().BatchSubstream[0], "   0xC1  ");
    EXPECT_EQ(batchItems().BatchSubstream[1], "   0xA0  ");
    EXPECT_TRUE(rowTexts(w->List1())[2].startsWith(disc + "  [title 2, 1:30:00]   "));
    EXPECT_TRUE(rowTexts(w->List1())[3].startsWith(disc + "  [title 3, 0:15:00]   "));
    EXPECT_EQ(batchItems().BatchSubstream[2], "   0x81  ");
    EXPECT_EQ(batchItems().BatchSubstream[3], "   auto  ");
    EXPECT_FALSE(w->List1()->toolTip().isEmpty()) << "the image that gave no item says why";

    clickButton(w->XFlatButton2(5));
    ASSERT_EQ(host.jobs.size(), 4);
    EXPECT_EQ(host.jobs[0].substream, "0xC1");
    EXPECT_EQ(host.jobs[2].input, disc);
    EXPECT_EQ(host.jobs[2].title, 2);
    EXPECT_EQ(host.jobs[2].output, dir.path() + "/FILM_title2.aac");
    EXPECT_EQ(host.jobs[3].title, 3);
    EXPECT_EQ(host.jobs[3].substream, "") << "automatic: the job's choice, not the previous item's";
}
