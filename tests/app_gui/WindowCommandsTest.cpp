// The window's commands end to end: file pickers answered through the dialog
// seam, the desktop's "open", the message boxes, and "Give me AAC!" running
// the job against the fake companion tool.
#include "BatchWindow.h"
#include "FakeTool.h"
#include "MainWindow.h"
#include "Platform.h"
#include "QtPrinters.h"
#include "QuietDesktop.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace ws;

namespace {

struct Commands : ::testing::Test {
    wstest::QuietDesktop desktop;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;

    void SetUp() override
    {
        auto store = openUserSettings();
        store->clear();
        store->sync();
        qputenv("WS_FAKE_RECORD", (dir.path() + "/runs.jsonl").toUtf8());
        window = std::make_unique<MainWindow>();
        window->setExitHandler([] {});
    }
    void TearDown() override
    {
        window.reset();
        qunsetenv("WS_FAKE_RECORD");
        auto store = openUserSettings();
        store->clear();
    }
    OptionModel &m() { return window->model(); }
    QString text(const char *name, int index = -1) { return m().text(QLatin1String(name), index); }
    QString file(const QString &name)
    {
        const QString p = dir.filePath(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("audio");
        return p;
    }
    void useFakeTools()
    {
        for (const char *tool : {"Tromvax", "Kardune", "aacenc"})
            m().setText(m().control(QLatin1String(tool)), wstest::fakeToolPath());
        m().setText(m().control(QStringLiteral("TempFolder")), dir.path() + "/");
    }
};

} // namespace

TEST_F(Commands, InputPickerTakesAnExistingChoiceOnly)
{
    const QString vob = file("Movie.VOB");
    desktop.dialogs.file = vob;
    window->commands().InputFile_Click();
    EXPECT_EQ(text("InputFile"), vob);
    EXPECT_EQ(text("OutputFile"), dir.filePath("Movie.aac")); // the input-name rules ran
    EXPECT_TRUE(m().control(QStringLiteral("substream")).visible);
    EXPECT_EQ(desktop.dialogs.lastRequest.filterIndex, 3); // chosen by the old input, "Input.ac3"
    EXPECT_EQ(desktop.dialogs.lastRequest.nameFilters.size(), 7);

    window->commands().InputFile_Click(); // now a .vob: first filter
    EXPECT_EQ(desktop.dialogs.lastRequest.filterIndex, 1);

    desktop.dialogs.file = dir.filePath("missing.ac3");
    window->commands().InputFile_Click();
    EXPECT_EQ(text("InputFile"), vob);
    desktop.dialogs.file.reset(); // cancelled
    window->commands().InputFile_Click();
    EXPECT_EQ(text("InputFile"), vob);

    // A disc folder is picked by its VIDEO_TS.IFO.
    QDir(dir.path()).mkpath("FILM/VIDEO_TS");
    desktop.dialogs.file = file("FILM/VIDEO_TS/VIDEO_TS.IFO");
    window->commands().InputFile_Click();
    EXPECT_EQ(text("InputFile"), dir.filePath("FILM/VIDEO_TS"));
    window->commands().InputFile_Click();
    EXPECT_EQ(desktop.dialogs.lastRequest.filterIndex, 7);
}

TEST_F(Commands, OutputPickerFixesTheOutputName)
{
    desktop.dialogs.file = dir.filePath("chosen.aac");
    window->commands().OutputFile_DblClick();
    EXPECT_EQ(desktop.dialogs.calls.last(), QStringLiteral("save"));
    EXPECT_EQ(text("OutputFile"), dir.filePath("chosen.aac"));
    m().setText(m().control(QStringLiteral("InputFile")), file("other.ac3"));
    EXPECT_EQ(text("OutputFile"), dir.filePath("chosen.aac"));

    // Both kinds are offered; the name's extension follows the kind picked.
    EXPECT_EQ(desktop.dialogs.lastRequest.nameFilters.size(), 2);
    for (const auto &[typed, filter, result] : {std::tuple{"a.aac", 2, "a.m4a"}, {"b", 2, "b.m4a"}, {"c.M4A", 1, "c.aac"},
                                                {"d.m4a", 2, "d.m4a"}}) {
        desktop.dialogs.file = dir.filePath(QLatin1String(typed));
        desktop.dialogs.filter = filter;
        window->commands().OutputFile_DblClick();
        EXPECT_EQ(text("OutputFile"), dir.filePath(QLatin1String(result))) << typed;
    }
    // The dialog opens on the kind of the current output.
    desktop.dialogs.file.reset();
    window->commands().OutputFile_DblClick();
    EXPECT_EQ(desktop.dialogs.lastRequest.filterIndex, 2);
}

TEST_F(Commands, ToolPickersAndDesktopCommands)
{
    const QString tool = file("tromvax");
    desktop.dialogs.file = tool;
    window->commands().ToolPicker_Click(QStringLiteral("Tromvax"));
    EXPECT_EQ(text("Tromvax"), tool);
    ASSERT_EQ(desktop.dialogs.lastRequest.nameFilters.size(), 1);
    EXPECT_TRUE(desktop.dialogs.lastRequest.nameFilters[0].startsWith(QStringLiteral("Tromvax Executable (")));

    window->commands().Command5_Click();
    window->commands().LOGFILEVAL_DblClick();
    ASSERT_EQ(desktop.opened.size(), 2);
    EXPECT_EQ(desktop.opened[0].fileName(), QStringLiteral("Output.aac"));
    EXPECT_EQ(desktop.opened[1].toLocalFile(), wsplatform::userDataFolder() + "/Tromvax.log");
}

TEST_F(Commands, GiveMeAacRunsTheJobWithTheRunButtonDisabled)
{
    useFakeTools();
    m().setText(m().control(QStringLiteral("InputFile")), file("movie.ac3"));
    window->show();
    auto *run = window->findChild<QPushButton *>(QStringLiteral("Command2"));
    ASSERT_NE(run, nullptr);
    bool disabledWhileRunning = false;
    QObject::connect(&m(), &OptionModel::controlChanged, [&](Control *c) {
        if (c->name == QLatin1String("Status") && c->caption.startsWith(QLatin1String("Decoding part")))
            disabledWhileRunning = !run->isEnabled();
    });
    const wsjob::JobResult r = window->Command2_Click();
    EXPECT_TRUE(r.completed()) << r.message.toStdString();
    EXPECT_TRUE(disabledWhileRunning);
    EXPECT_TRUE(run->isEnabled());
    EXPECT_EQ(m().control(QStringLiteral("Status")).caption, QStringLiteral("Task Complete !"));
    EXPECT_TRUE(QFile::exists(dir.filePath("movie.aac")));

    // The output exists now: the question comes, and No leaves everything.
    desktop.answer = false;
    EXPECT_EQ(window->Command2_Click().outcome, wsjob::JobResult::Outcome::Cancelled);
    EXPECT_EQ(desktop.boxes, QStringList{"The Wavesmithy|Output file already exists. are you sure you want to overwrite ?"});
    window->setBatchVisibleQuery([] { return true; });
    EXPECT_TRUE(window->Command2_Click().completed());
    EXPECT_EQ(desktop.boxes.size(), 1);
}

TEST_F(Commands, EnterBatchModeOpensTheBatchWindowUntilItsClose)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto *enter = window->findChild<QPushButton *>(QStringLiteral("Command1"));
    ASSERT_NE(enter, nullptr);
    QTest::mouseClick(enter, Qt::LeftButton);

    wsbatch::BatchWindow *batch = window->batchWindow();
    ASSERT_NE(batch, nullptr);
    EXPECT_TRUE(batch->isVisible());
    EXPECT_EQ(batch->windowTitle(), wsbatch::BatchWindow::kInitialCaption);
    EXPECT_FALSE(window->isEnabled());
    EXPECT_TRUE(desktop.boxes.isEmpty()) << "no notice any more";

    batch->XFlatButton2_MouseDown(3); // "Close"
    EXPECT_FALSE(batch->isVisible());
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(Commands, FilesDroppedOnTheWindowOpenTheBatchWindow)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QString a = file("a.ac3"), b = file("b.wav");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);

    wsbatch::BatchWindow *batch = window->batchWindow();
    ASSERT_NE(batch, nullptr);
    EXPECT_TRUE(batch->isVisible());
    EXPECT_FALSE(window->isEnabled()); // until the batch window's "Close"
    auto *list = batch->findChild<QListWidget *>(QStringLiteral("List1"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 2);

    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}
