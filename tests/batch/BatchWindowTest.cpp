// The batch window on screen (offscreen platform): drops synthesized as drag
// events with file URLs, the header, the substream choice with a right-click,
// Clear List, the layout in pixels, Close and minimising.
#include "BatchLayout.h"
#include "BatchTestSupport.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace wsbatch;
using namespace wstest;

namespace {

class BatchWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        batchItems() = BatchItemArrays();
        w = std::make_unique<BatchWindow>(host);
    }
    void TearDown() override
    {
        w.reset();
        batchItems() = BatchItemArrays();
    }
    QString file(const QString &relative, qint64 size = 16) { return makeFile(dir.path(), relative, size); }
    QStringList rows() const { return rowTexts(w->List1()); }

    QTemporaryDir dir;
    FakeHost host;
    std::unique_ptr<BatchWindow> w;
};

} // namespace

TEST_F(BatchWindowTest, NewWindowHasItsHeaderCaptionComboAndNoCloseButton)
{
    EXPECT_EQ(w->windowTitle(), "Drag & Drop Your Vob(s)/Ac3(s)/Wav(s)");
    EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w->NameColumnWidth(), 0);

    const char *captions[] = {"File Name", "Substream", "VOB/AC3 Size (bytes)", "WAV Size (bytes)",
                              "AAC Size (bytes)"};
    for (int i = 0; i < 5; ++i) {
        QLabel *l = w->Label1(i);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->text(), captions[i]);
        EXPECT_EQ(l->isVisibleTo(w.get()), i < 2) << i;
        EXPECT_EQ(l->palette().color(QPalette::Window), QColor(100, 142, 188));
        // White reads at 3.4:1 only on the header colour; black at 6.1:1.
        EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(Qt::black));
    }

    QComboBox *c = w->Combo_VobAc3SubStream();
    ASSERT_EQ(c->count(), 32);
    EXPECT_EQ(c->itemText(0), "0x80 (AC3)");
    EXPECT_EQ(c->itemText(15), "0x8F (DTS)");
    EXPECT_EQ(c->itemText(16), "0xA0 (PCM)");
    EXPECT_EQ(c->itemText(31), "0xC7 (MPA)");
    EXPECT_FALSE(c->isVisibleTo(w.get()));

    EXPECT_TRUE(QFontInfo(w->List1()->font()).fixedPitch());
    EXPECT_TRUE(w->List1()->acceptDrops());

    const char *buttons[] = {"", "Clear List", "Stop", "Close", "Encode Selected File", "Encode The Whole List",
                             "Tromvax's List -> Single MP3"};
    for (int i = 1; i <= 6; ++i) {
        ASSERT_NE(w->XFlatButton2(i), nullptr);
        EXPECT_EQ(w->XFlatButton2(i)->Caption(), buttons[i]);
        EXPECT_EQ(w->XFlatButton2(i)->parentWidget(), i <= 3 ? w->Picture1() : w->Picture2());
        EXPECT_EQ(w->XFlatButton2(i)->isVisibleTo(w.get()), i != 6);
    }
}

TEST_F(BatchWindowTest, DropTakesSupportedFilesInOrderAndCountsThemInTheCaption)
{
    const QStringList paths = {file("A.VOB"), file("b.ac3"), file("c.WAV"), file("d.mp3"), file("e.txt")};
    const DropOutcome o = dropFiles(*w, paths);
    EXPECT_TRUE(o.enterAccepted);
    EXPECT_TRUE(o.moveAccepted);
    EXPECT_EQ(o.moveAction, Qt::CopyAction);
    EXPECT_TRUE(o.dropAccepted);
    EXPECT_EQ(o.dropAction, Qt::CopyAction);

    const int width = int(paths[0].size()) + 3;
    // A VOB the transcoder could not list leaves the choice to the job.
    EXPECT_EQ(rows(), (QStringList{paths[0] + "   " + "   auto  ", paths[1] + "   " + "    N/A  ",
                                   paths[2] + "   " + "    N/A  ", paths[3] + "   " + "    N/A  "}));
    EXPECT_EQ(w->windowTitle(), "Number of Items: 4");
    EXPECT_EQ(w->NameColumnWidth(), width);

    // The header follows the name column: 105 twips (7 pixels) a character.
    EXPECT_EQ(w->Label1(0)->width(), width * 7);
    EXPECT_EQ(w->Label1(1)->x(), width * 7 + 1);
    // The substream header is 945 twips wide, or as wide as its caption needs.
    const int substreamHeader = std::max(945, w->Label1(1)->sizeHint().width() * 15);
    EXPECT_EQ(w->Label1(1)->width() * 15, substreamHeader);
    EXPECT_EQ(w->width(), twipsToPixels(width * 105 + 150 + substreamHeader - 90));
    // Laid out although the window is hidden.
    EXPECT_EQ(w->List1()->width(), w->width());
    EXPECT_EQ(w->XFlatButton2(5)->width(), w->width());
    EXPECT_TRUE(w->Picture1()->isEnabled());
    EXPECT_TRUE(w->Picture2()->isEnabled());
}

TEST_F(BatchWindowTest, MpegTakenByItsLastThreeCharactersOnly)
{
    dropFiles(*w, {file("x.mpeg"), file("x.mpg"), file("y.MPA")});
    ASSERT_EQ(w->List1()->count(), 2);
    EXPECT_TRUE(rows()[0].startsWith(dir.path() + "/x.mpg   "));
    EXPECT_TRUE(rows()[0].endsWith("    N/A  "));
    EXPECT_EQ(w->windowTitle(), "Number of Items: 2");
}

TEST_F(BatchWindowTest, DuplicateNamesInOtherFoldersAreSkippedOverSeveralDrops)
{
    dropFiles(*w, {file("a/song.mp3")});
    dropFiles(*w, {file("b/SONG.MP3"), file("b/tune.ac3")});
    dropFiles(*w, {file("a/song.mp3")});
    ASSERT_EQ(w->List1()->count(), 2);
    EXPECT_TRUE(rows()[0].startsWith(dir.path() + "/a/song.mp3"));
    EXPECT_TRUE(rows()[1].startsWith(dir.path() + "/b/tune.ac3"));
    EXPECT_EQ(batchItems().size(), 2);
    EXPECT_EQ(w->windowTitle(), "Number of Items: 2");
}

TEST_F(BatchWindowTest, EarlierRowIsPaddedToALongerNameAndKeepsItsPlaceAndSelection)
{
    const QString shortPath = file("a.ac3");
    const QString longPath = file("longer/folder/name.vob");
    dropFiles(*w, {shortPath});
    w->List1()->setCurrentRow(0);
    dropFiles(*w, {longPath});
    ASSERT_EQ(w->List1()->count(), 2);
    const int width = int(longPath.size()) + 3;
    EXPECT_EQ(rows()[0], shortPath + QString(width - shortPath.size(), ' ') + "    N/A  ");
    EXPECT_EQ(rows()[1], longPath + "   " + "   auto  ");
    EXPECT_EQ(rows()[0].indexOf("N/A"), rows()[1].indexOf("auto") + 1) << "columns line up";
    EXPECT_EQ(w->List1()->currentRow(), 0);
    EXPECT_EQ(w->NameColumnWidth(), width);
}

TEST_F(BatchWindowTest, PlainTextAndRemoteAddressesAreRefusedAndChangeNothing)
{
    dropFiles(*w, {file("keep.ac3")});
    const QStringList before = rows();
    const QString title = w->windowTitle();
    const int width = w->width();

    auto *text = new QMimeData;
    text->setText(dir.path() + "/keep2.ac3");
    const DropOutcome t = dragAndDrop(*w, text);
    EXPECT_FALSE(t.enterAccepted);
    EXPECT_FALSE(t.moveAccepted);
    EXPECT_FALSE(t.dropAccepted);

    auto *remote = new QMimeData;
    remote->setUrls({QUrl("https://example.com/film.vob")});
    const DropOutcome r = dragAndDrop(*w, remote);
    EXPECT_FALSE(r.enterAccepted);
    EXPECT_FALSE(r.dropAccepted);

    EXPECT_EQ(rows(), before);
    EXPECT_EQ(w->windowTitle(), title);
    EXPECT_EQ(w->width(), width);
    EXPECT_EQ(w->List1_OLEDragOver(nullptr), Qt::IgnoreAction);
}

TEST_F(BatchWindowTest, FilesThatVanishedArePassedOver)
{
    const QString gone = file("gone.vob");
    QFile::remove(gone);
    const DropOutcome o = dropFiles(*w, {gone, file("here.wav")});
    EXPECT_TRUE(o.dropAccepted);
    ASSERT_EQ(w->List1()->count(), 1);
    EXPECT_TRUE(rows()[0].startsWith(dir.path() + "/here.wav"));
}

TEST_F(BatchWindowTest, RightClickOnAVobRowPicksItsSubstream)
{
    w->show();
    const QString vob = file("VTS_01_1.VOB", 4096);
    wsjob::DiscTitleInfo streams;
    streams.tracks = {{"0x80", "ac3", 6, "en", false}, {"0xC3", "mpeg", 2, {}, false}};
    host.listings.insert(vob, QList<wsjob::DiscTitleInfo>{streams});
    dropFiles(*w, {file("first.ac3"), vob, file("third.wav")});
    ASSERT_EQ(w->List1()->count(), 3);
    QComboBox *c = w->Combo_VobAc3SubStream();

    // Other kinds have no substream choice.
    w->List1()->setCurrentRow(-1);
    pressOnList(*w, Qt::RightButton, rowCentre(*w, 0));
    pressOnList(*w, Qt::RightButton, rowCentre(*w, 2));
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(w->List1()->currentRow(), -1);

    // Below the last row: nothing.
    pressOnList(*w, Qt::RightButton, QPoint(5, w->List1()->viewport()->height() - 2));
    EXPECT_FALSE(c->isVisible());

    const QPoint at = rowCentre(*w, 1);
    pressOnList(*w, Qt::RightButton, at);
    ASSERT_TRUE(c->isVisible());
    EXPECT_EQ(w->SelectedRow(), 1);
    EXPECT_EQ(w->List1()->currentRow(), 1);
    EXPECT_EQ(c->currentText().left(4), "0x80");
    // Only the tracks the VOB holds, with their facts.
    ASSERT_EQ(c->count(), 2);
    EXPECT_EQ(c->itemText(0), "0x80  AC3 5.1 en");
    // Right edge 210 twips (14 pixels) right of the pointer, top 6 above it.
    const QPoint pointer = w->List1()->viewport()->mapTo(w.get(), at);
    EXPECT_EQ(c->geometry().left() + c->width(), pointer.x() + 14);
    EXPECT_EQ(c->width(), std::max(82, c->sizeHint().width())) << "as designed, or as its items need";
    EXPECT_EQ(c->y(), pointer.y() - 6);

    // Picking the MPEG audio.
    const int pick = c->findText("0xC3  MPA 2.0");
    ASSERT_GE(pick, 0);
    c->setCurrentIndex(pick);
    emit c->activated(pick);
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(batchItems().BatchSubstream[1], "   0xC3  ");
    const BatchItemArrays &a = batchItems();
    EXPECT_EQ(rows()[1], a.BatchName[1] + "   0xC3  " + a.BatchSourceSize[1] + a.BatchWavSize[1] + a.BatchAacSize[1]);
    EXPECT_TRUE(rows()[0].startsWith(dir.path() + "/first.ac3"));
    EXPECT_EQ(w->List1()->currentRow(), 1);

    // The next right-click shows the stored choice.
    pressOnList(*w, Qt::RightButton, at);
    EXPECT_EQ(c->currentText().left(4), "0xC3");
    // Any other press closes the choice without change.
    pressOnList(*w, Qt::LeftButton, rowCentre(*w, 0));
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(batchItems().BatchSubstream[1], "   0xC3  ");
}

TEST_F(BatchWindowTest, PickAfterTheListWasClearedChangesNothing)
{
    w->show();
    dropFiles(*w, {file("one.vob")});
    pressOnList(*w, Qt::RightButton, rowCentre(*w, 0));
    ASSERT_TRUE(w->Combo_VobAc3SubStream()->isVisible());
    clickButton(w->XFlatButton2(1));
    w->Combo_VobAc3SubStream()->setCurrentIndex(3);
    w->Combo_VobAc3SubStream_Click();
    EXPECT_EQ(w->List1()->count(), 0);
    EXPECT_TRUE(batchItems().BatchSubstream[0].isEmpty());
    EXPECT_FALSE(w->Combo_VobAc3SubStream()->isVisible());
}

TEST_F(BatchWindowTest, ClearListEmptiesTheListAndNarrowsTheWindowToTwelveCharacters)
{
    dropFiles(*w, {file("some/rather/long/folder/name/first.ac3"), file("b.vob")});
    clickButton(w->XFlatButton2(1));

    EXPECT_EQ(w->List1()->count(), 0);
    EXPECT_EQ(w->windowTitle(), "Drag & Drop Your VOB(s)/AC3(s)/MPx(s)/WAV(s)");
    EXPECT_EQ(w->NameColumnWidth(), 12);
    EXPECT_EQ(w->Label1(0)->width(), 84);
    EXPECT_EQ(w->Label1(1)->x(), 85);
    EXPECT_EQ(w->width() * kTwipsPerPixel + kFrameTwips, 1260 + 150 + w->Label1(1)->width() * kTwipsPerPixel);
    ASSERT_EQ(batchItems().size(), 2) << "cleared entries, not a shorter array";
    EXPECT_TRUE(batchItems().BatchName[0].isEmpty());
    EXPECT_TRUE(batchItems().BatchName[1].isEmpty());
    EXPECT_FALSE(w->XFlatButton2(1)->isPressed()) << "its release raises no Click";
    EXPECT_EQ(host.ticks, 0);

    // The old, wider name column is gone: the next item sets it afresh.
    const QString c = file("c.ac3");
    dropFiles(*w, {c});
    EXPECT_EQ(w->NameColumnWidth(), qMax(12, int(c.size()) + 3));
    EXPECT_EQ(rows()[0], c + "   " + "    N/A  ");
}

TEST_F(BatchWindowTest, ResizeLaysOutListPanelsAndButtonsFromTheTwipRules)
{
    // A window 6990 twips wide: 6900 twips (460 pixels) of client area.
    w->show();
    w->resize(460, w->height());
    EXPECT_EQ(w->List1()->width(), 460);
    EXPECT_EQ(w->Picture1()->width(), 460);
    EXPECT_EQ(w->Picture2()->width(), 460);
    const QRect expected[7] = {{}, {0, 0, 153, 25}, {154, 0, 153, 25}, {309, 0, 147, 25}, {0, 0, 456, 25},
                               {0, 26, 460, 25}, {462, 26, 228, 25}};
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(w->XFlatButton2(i)->geometry(), expected[i]) << i;
    EXPECT_EQ(w->XFlatButton2(3)->geometry().right() + 1, 456);

    // Very narrow: nothing gets a negative size.
    w->resize(2, w->height());
    for (int i = 1; i <= 6; ++i)
        EXPECT_GE(w->XFlatButton2(i)->width(), 0) << i;
}

TEST_F(BatchWindowTest, CloseEventIsIgnoredUnlessCloseAskedForIt)
{
    w->show();
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(BatchWindowTest, CloseEmptiesEverythingHidesTheWindowAndEnablesTheMainWindow)
{
    w->show();
    dropFiles(*w, {file("a.vob"), file("bb.ac3")});
    QSignalSpy closed(w.get(), &BatchWindow::closed);
    host.mainEnabled = false;
    sendMouse(w->XFlatButton2(3), QEvent::MouseButtonPress, Qt::LeftButton);

    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(host.mainEnabled);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(w->List1()->count(), 0);
    EXPECT_EQ(w->NameColumnWidth(), 0);
    EXPECT_EQ(w->windowTitle(), "Drag & Drop Your Vob(s)/Ac3(s)/Wav(s)");
    ASSERT_EQ(batchItems().size(), 2);
    EXPECT_TRUE(batchItems().BatchName[0].isEmpty());
    EXPECT_TRUE(batchItems().BatchName[1].isEmpty());
    EXPECT_FALSE(w->XFlatButton2(3)->isPressed());
    sendMouse(w->XFlatButton2(3), QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(host.ticks, 0) << "the release raised no Click";

    // Shown again, it is a new window; the same files can be dropped again.
    w->show();
    dropFiles(*w, {file("a.vob")});
    EXPECT_EQ(w->List1()->count(), 1);
    EXPECT_EQ(w->windowTitle(), "Number of Items: 1");
}

TEST_F(BatchWindowTest, MinimisingHidesTheMainWindowAndRestoringShowsIt)
{
    w->show();
    EXPECT_TRUE(host.mainVisible);
    w->setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(host.mainVisible);
    w->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(host.mainVisible);
}

TEST_F(BatchWindowTest, HiddenWindowNeverShowsTheMainWindow)
{
    host.mainVisible = false;
    dropFiles(*w, {file("long/enough/to/resize/the/window.ac3")});
    EXPECT_FALSE(host.mainVisible);
}

TEST_F(BatchWindowTest, EnablePanelsSwitchesClearCloseAndTheEncodePanelButNotStop)
{
    w->EnablePanels(false);
    EXPECT_FALSE(w->XFlatButton2(1)->Enabled());
    EXPECT_FALSE(w->XFlatButton2(3)->Enabled());
    EXPECT_TRUE(w->XFlatButton2(2)->Enabled());
    EXPECT_FALSE(w->Picture2()->isEnabled());
    EXPECT_FALSE(w->XFlatButton2(4)->isEnabled());

    sendMouse(w->XFlatButton2(5), QEvent::MouseButtonPress, Qt::LeftButton);
    w->EnablePanels(true);
    EXPECT_TRUE(w->XFlatButton2(1)->Enabled());
    EXPECT_TRUE(w->XFlatButton2(3)->Enabled());
    EXPECT_TRUE(w->Picture2()->isEnabled());
    for (int i = 1; i <= 6; ++i)
        EXPECT_FALSE(w->XFlatButton2(i)->isPressed()) << i;
}
