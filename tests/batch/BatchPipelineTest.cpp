// Whole-list runs from the batch window through the real option record and
// conversion job, with the fake companion tool standing in for the tools.
#include "BatchTestSupport.h"
#include "FakeTool.h"
#include "JobPipeline.h"
#include "OptionBatchHost.h"
#include "OptionModel.h"
#include "ProcessRunner.h"

#include <QComboBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace wsbatch;
using namespace wstest;
using wsjob::JobResult;

namespace {

struct JobWindow : wsjob::JobHost {
    const QWidget *batch = nullptr;
    int asked = 0;
    bool batchVisible() const override { return batch && batch->isVisible(); }
    bool confirmOverwrite(const QString &) override
    {
        ++asked;
        return false;
    }
};

class BatchPipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        wstest::clearFakeEnvironment();
        qputenv("WS_FAKE_RECORD", (dir.path() + "/runs.jsonl").toUtf8());
        batchItems() = BatchItemArrays();
        temp = dir.path() + "/temp/";
        QDir().mkpath(temp);
        const QString fake = fakeToolPath();
        for (const char *tool : {"Tromvax", "Kardune", "aacenc"})
            m.setText(m.control(tool), fake);
        m.setText(m.control("TempFolder"), temp);
        w = std::make_unique<BatchWindow>(host);
        jobWindow.batch = w.get();
        w->show();
    }
    void TearDown() override
    {
        w.reset();
        batchItems() = BatchItemArrays();
        wstest::clearFakeEnvironment();
    }
    static QString aacOf(const QString &path) { return path.left(path.size() - 3) + "aac"; }

    QTemporaryDir dir;
    QString temp;
    ws::OptionModel m;
    JobWindow jobWindow;
    QList<JobResult> results;
    std::function<void(int)> beforeJob;
    OptionBatchHost host{m, [this] {
                             if (beforeJob)
                                 beforeJob(int(results.size()) + 1);
                             results << wsjob::JobPipeline(m, jobWindow).run();
                         }};
    std::unique_ptr<BatchWindow> w;
};

} // namespace

TEST_F(BatchPipeline, WholeListMakesOneAacFilePerItemWithTheChosenSubstream)
{
    const QString vob = makeFile(dir.path(), "dvd/VTS_01_1.VOB", 4096);
    const QString ac3 = makeFile(dir.path(), "in   put/film.ac3", 2048);
    const QString wav = makeFile(dir.path(), "in   put/take.wav", 1024);
    dropFiles(*w, {vob, ac3, wav});
    ASSERT_EQ(w->List1()->count(), 3);
    // The AC3 item's output exists already: no question while the batch window shows.
    makeFile(dir.path(), "in   put/film.aac", 1);

    pressOnList(*w, Qt::RightButton, rowCentre(*w, 0));
    QComboBox *c = w->Combo_VobAc3SubStream();
    const int pick = c->findText("0xA2 (PCM)");
    c->setCurrentIndex(pick);
    emit c->activated(pick);

    clickButton(w->XFlatButton2(5));

    ASSERT_EQ(results.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(results[i].completed()) << i << " " << results[i].message.toStdString();
    for (const QString &in : {vob, ac3, wav})
        EXPECT_GT(QFileInfo(aacOf(in)).size(), 1) << in.toStdString();
    EXPECT_EQ(jobWindow.asked, 0);
    EXPECT_EQ(m.value("LOGFILE", 1), 1);
    EXPECT_EQ(m.text("InputFile"), wav);

    bool extractedChosen = false;
    for (const FakeRun &r : readFakeRuns(dir.path() + "/runs.jsonl"))
        if (r.kind == "extract" && r.args.contains(vob))
            extractedChosen = r.args.mid(r.args.indexOf("-substream"), 2) == QStringList{"-substream", "0xA2"};
    EXPECT_TRUE(extractedChosen);
    EXPECT_EQ(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

TEST_F(BatchPipeline, StopDuringTheSecondItemEndsThatJobCleanlyAndTheRunGoesOn)
{
    const QString items[] = {makeFile(dir.path(), "a.ac3", 512), makeFile(dir.path(), "b.ac3", 512),
                             makeFile(dir.path(), "c.wav", 512)};
    dropFiles(*w, {items[0], items[1], items[2]});
    beforeJob = [](int n) {
        if (n == 2) {
            qputenv("WS_FAKE_SLEEP_MS", "60000");
            qputenv("WS_FAKE_SLEEP_KIND", "decode");
        } else {
            qunsetenv("WS_FAKE_SLEEP_MS");
        }
    };
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (results.size() == 1 && ProcessRunner::isToolRunning() &&
            m.control("Status").caption.startsWith("Decoding part")) {
            watch.stop();
            sendMouse(w->XFlatButton2(2), QEvent::MouseButtonPress, Qt::LeftButton);
        }
    });
    watch.start();
    clickButton(w->XFlatButton2(5));

    ASSERT_EQ(results.size(), 3);
    EXPECT_TRUE(results[0].completed());
    EXPECT_EQ(results[1].outcome, JobResult::Outcome::Stopped) << results[1].message.toStdString();
    EXPECT_TRUE(results[2].completed()) << results[2].message.toStdString();
    EXPECT_TRUE(QFile::exists(aacOf(items[0])));
    EXPECT_FALSE(QFile::exists(aacOf(items[1])));
    EXPECT_TRUE(QFile::exists(aacOf(items[2])));
    EXPECT_EQ(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    EXPECT_FALSE(wsjob::JobPipeline::isRunning());
}
