#include "BlankCaptionField.h"
#include "LinkLabel.h"
#include "SystemColors.h"
#include "MainWindow.h"
#include "QtPrinters.h"
#include "QuietDesktop.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace ws;

namespace {

const QColor kYellowQ(255, 255, 0);
const QColor kGreenQ(0, 128, 0);
const QColor kGreyQ(128, 128, 128);

// Every test starts from an empty settings store in the private home that
// the test main set up, so no test sees another's saved options.
struct MainWindowTest : ::testing::Test {
    wstest::QuietDesktop desktop; // no real dialog, box or viewer opens
    std::unique_ptr<MainWindow> window;
    int exits = 0;

    void SetUp() override { clearStore(); }
    void TearDown() override
    {
        window.reset();
        clearStore();
    }
    static void clearStore()
    {
        auto store = openUserSettings();
        store->clear();
        store->sync();
    }

    MainWindow &open(bool show = true)
    {
        window = std::make_unique<MainWindow>();
        window->setExitHandler([this] { ++exits; });
        if (show) {
            window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
        return *window;
    }
    Control &c(const char *name, int index = -1) { return window->model().control(QLatin1String(name), index); }
    template <class W> W *w(const char *name, int index = -1)
    {
        auto *widget = qobject_cast<W *>(window->widget(QLatin1String(name), index));
        EXPECT_NE(widget, nullptr) << name << "(" << index << ")";
        return widget;
    }
    // How often the record reported a change of one control.
    static int changesOf(const QSignalSpy &spy, const Control &ctl)
    {
        int n = 0;
        for (const auto &args : spy)
            if (args.at(0).value<Control *>() == &ctl)
                ++n;
        return n;
    }
    static QColor base(const QWidget *widget) { return widget->palette().color(QPalette::Active, QPalette::Base); }
    static QColor caption(const QWidget *widget)
    {
        return widget->palette().color(QPalette::Active, QPalette::WindowText);
    }
    static void clickButton(QAbstractButton *b)
    {
        // On the caption's first letters, inside the click area of any style.
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->height() + 4, b->height() / 2));
    }
};

} // namespace

// --- Edits reach the record and run their handler once ---------------------------

TEST_F(MainWindowTest, TickBoxClickRunsItsInterlockOnce)
{
    open();
    QSignalSpy spy(&window->model(), &OptionModel::controlChanged);
    auto *autoGain = w<QCheckBox>("Azid", 7);
    auto *gain = w<QLineEdit>("AZIDVAL", 4);
    EXPECT_FALSE(gain->isEnabled());

    clickButton(autoGain);
    EXPECT_EQ(c("Azid", 7).value, 0);
    EXPECT_FALSE(autoGain->isChecked());
    EXPECT_EQ(changesOf(spy, c("Azid", 7)), 1);
    EXPECT_TRUE(gain->isEnabled());
    EXPECT_EQ(base(gain), kYellowQ);

    clickButton(autoGain);
    EXPECT_EQ(c("Azid", 7).value, 1);
    EXPECT_TRUE(autoGain->isChecked());
    EXPECT_FALSE(gain->isEnabled());
    EXPECT_EQ(base(gain), systemColor(kInactiveBorder, QApplication::palette(gain)));
    EXPECT_EQ(changesOf(spy, c("Azid", 7)), 2);
}

TEST_F(MainWindowTest, BoxTheRecordKeepsTickedStaysTickedOnScreen)
{
    open();
    auto *logOn = w<QCheckBox>("LOGFILE", 0);
    clickButton(logOn);
    EXPECT_EQ(c("LOGFILE", 0).value, 1);
    EXPECT_TRUE(logOn->isChecked());

    // plugin(1) mirrors plugin(0): a click on it alone is undone.
    auto *function = w<QCheckBox>("plugin", 1);
    clickButton(function);
    EXPECT_FALSE(function->isChecked());
    clickButton(w<QCheckBox>("plugin", 0));
    EXPECT_TRUE(function->isChecked());
}

TEST_F(MainWindowTest, OptionButtonsSwitchTheEncoderMode)
{
    open();
    auto *preset = w<QRadioButton>("aac", 0);
    auto *quality = w<QRadioButton>("aac", 1);
    clickButton(quality);
    EXPECT_EQ(c("aac", 1).value, 1);
    EXPECT_EQ(c("aac", 0).value, 0);
    EXPECT_FALSE(preset->isChecked());
    EXPECT_FALSE(w<QComboBox>("aaccmb", 0)->isEnabled());
    EXPECT_TRUE(w<QComboBox>("aaccmb", 1)->isEnabled());
    EXPECT_TRUE(w<QLabel>("info")->isHidden());

    clickButton(preset);
    EXPECT_TRUE(preset->isChecked());
    EXPECT_FALSE(quality->isChecked());
    EXPECT_FALSE(w<QLabel>("info")->isHidden());
}

TEST_F(MainWindowTest, PickingAComboItemRunsItsClickHandler)
{
    open();
    auto *mode = w<QComboBox>("azidcmb", 8);
    QSignalSpy spy(&window->model(), &OptionModel::controlChanged);
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down); // surround -> stereo
    QTest::keyClick(mode, Qt::Key_Down); // stereo -> 5.1
    EXPECT_EQ(c("azidcmb", 8).text, QStringLiteral("5.1"));
    EXPECT_EQ(mode->currentText(), QStringLiteral("5.1"));
    EXPECT_EQ(w<QLineEdit>("splitval", 0)->text(), QStringLiteral("32"));
    EXPECT_TRUE(w<QLabel>("info")->text().startsWith(QStringLiteral("Approximate Bit rate = 440Kbps\n")));
    EXPECT_EQ(changesOf(spy, c("azidcmb", 8)), 2);

    QTest::keyClick(mode, Qt::Key_Up);
    EXPECT_EQ(w<QLineEdit>("splitval", 0)->text(), QStringLiteral("256"));
    EXPECT_TRUE(w<QLabel>("info")->text().startsWith(QStringLiteral("Approximate Bit rate = 170Kbps\n")));
}

TEST_F(MainWindowTest, TypedComboTextRunsNoClickHandler)
{
    open();
    auto *mode = w<QComboBox>("azidcmb", 8);
    const QString info = c("info").caption;
    mode->setFocus();
    mode->lineEdit()->selectAll();
    QTest::keyClicks(mode, QStringLiteral("5.1"));
    EXPECT_EQ(c("azidcmb", 8).text, QStringLiteral("5.1"));
    QTest::keyClick(mode, Qt::Key_Return);
    EXPECT_EQ(c("splitval", 0).text, QStringLiteral("256"));
    EXPECT_EQ(c("info").caption, info);

    // Return after a text that matches an item only without regard to case
    // must not swap the shown text for the item.
    mode->lineEdit()->selectAll();
    QTest::keyClicks(mode, QStringLiteral("STEREO"));
    QTest::keyClick(mode, Qt::Key_Return);
    EXPECT_EQ(c("azidcmb", 8).text, QStringLiteral("STEREO"));
    EXPECT_EQ(mode->currentText(), QStringLiteral("STEREO"));
}

TEST_F(MainWindowTest, TypingReachesTheRecordAndItsRules)
{
    open();
    auto *input = w<QLineEdit>("InputFile");
    QSignalSpy spy(&window->model(), &OptionModel::controlChanged);
    input->setFocus();
    input->selectAll();
    QTest::keyClicks(input, QStringLiteral("clip.VOB"));
    EXPECT_EQ(c("InputFile").text, QStringLiteral("clip.VOB"));
    EXPECT_EQ(changesOf(spy, c("InputFile")), 8); // one per keystroke, none echoed back
    EXPECT_FALSE(w<QComboBox>("substream")->isHidden());
    EXPECT_FALSE(w<QCheckBox>("OTA", 3)->isHidden());

    QTest::keyClick(input, Qt::Key_Backspace);
    QTest::keyClick(input, Qt::Key_Backspace);
    QTest::keyClick(input, Qt::Key_Backspace);
    QTest::keyClicks(input, QStringLiteral("ac3"));
    EXPECT_TRUE(w<QComboBox>("substream")->isHidden());
    EXPECT_TRUE(w<QCheckBox>("OTA", 3)->isHidden());
}

TEST_F(MainWindowTest, TempFolderGetsItsSeparatorWhenFocusMovesOn)
{
    open();
    auto *temp = w<QLineEdit>("TempFolder");
    temp->selectAll();
    QTest::keyClicks(temp, QStringLiteral("/var/tmp"));

    QFocusEvent toOtherApp(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(temp, &toOtherApp);
    EXPECT_EQ(c("TempFolder").text, QStringLiteral("/var/tmp"));

    QFocusEvent toNextBox(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(temp, &toNextBox);
    const QString expected = QStringLiteral("/var/tmp") + OptionModel::separator();
    EXPECT_EQ(c("TempFolder").text, expected);
    EXPECT_EQ(temp->text(), expected);
}

// --- Changes of the record show at once --------------------------------------------

TEST_F(MainWindowTest, RecordChangesShowInTheWidgets)
{
    open();
    OptionModel &m = window->model();
    auto *pane = w<QLabel>("text1");
    m.setVisible(c("text1"), false);
    EXPECT_TRUE(pane->isHidden());
    w<QPushButton>("Command3")->click();
    EXPECT_FALSE(pane->isHidden());
    EXPECT_EQ(c("text1").visible, true);

    m.setText(c("OutputFile"), QStringLiteral("elsewhere.aac"));
    EXPECT_EQ(w<QLineEdit>("OutputFile")->text(), QStringLiteral("elsewhere.aac"));
    m.setCaption(c("Status"), QStringLiteral("Task Complete !"));
    EXPECT_EQ(w<QLabel>("Status")->text(), QStringLiteral("Task Complete !"));
    m.setCaption(c("text1"), QStringLiteral("tromvax \"in.ac3\""));
    EXPECT_EQ(pane->text(), QStringLiteral("tromvax \"in.ac3\""));
    m.setEnabled(c("Command2"), false);
    EXPECT_FALSE(w<QPushButton>("Command2")->isEnabled());

    // The record may leave both option buttons of a group unselected.
    m.setValue(c("aac", 0), 0);
    EXPECT_FALSE(w<QRadioButton>("aac", 0)->isChecked());
    EXPECT_FALSE(w<QRadioButton>("aac", 1)->isChecked());
}

TEST_F(MainWindowTest, CaptionColoursFollowGreyColouring)
{
    // Shown at a lightness that reads on the window, in the stored hue.
    const auto shadeOf = [](const QColor &shown, const QColor &stored) {
        return shown.hslHue() == stored.hslHue() && std::abs(shown.hslSaturation() - stored.hslSaturation()) <= 2;
    };
    open();
    auto *rate = w<QCheckBox>("SSRC", 0);
    auto *priorityCaption = w<QLabel>("Label4");
    auto *delay = w<QCheckBox>("OTA", 0);
    EXPECT_TRUE(shadeOf(caption(rate), kGreyQ));
    EXPECT_TRUE(shadeOf(caption(priorityCaption), kGreyQ));
    EXPECT_TRUE(shadeOf(caption(delay), kGreenQ));

    clickButton(w<QCheckBox>("general", 0)); // off: every caption green
    EXPECT_TRUE(shadeOf(caption(rate), kGreenQ));
    EXPECT_TRUE(shadeOf(caption(priorityCaption), kGreenQ));
    clickButton(w<QCheckBox>("general", 0));
    EXPECT_TRUE(shadeOf(caption(rate), kGreyQ));
    EXPECT_TRUE(shadeOf(caption(delay), kGreenQ));

    window->model().setForeColor(c("Azid", 6), rgb(200, 10, 20));
    EXPECT_EQ(caption(w<QCheckBox>("Azid", 6)), QColor(200, 10, 20)) << "reads as it is";
}

TEST_F(MainWindowTest, FrameTitlesAreDarkBlueAndTheirContentsAreNot)
{
    open();
    auto countPixels = [](const QImage &image, const QRect &area, const QColor &colour) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixelColor(x, y) == colour)
                    ++n;
        return n;
    };
    QWidget *frame = window->widget(QStringLiteral("Frame2"));
    ASSERT_NE(frame, nullptr);
    const QImage image = frame->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    const int titleBottom = int(frame->fontMetrics().height() * dpr);
    const QColor blue(0, 0, 192);
    EXPECT_GT(countPixels(image, QRect(0, 0, image.width(), titleBottom), blue), 5);
    // The captions inside keep their own colours.
    EXPECT_EQ(countPixels(image, QRect(0, titleBottom + 4, image.width(), image.height() - titleBottom - 4), blue), 0);
}

TEST(ColourMap, FixedAndSystemColours)
{
    QPalette pal;
    pal.setColor(QPalette::Active, QPalette::Text, QColor(1, 2, 3));
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(4, 5, 6));
    pal.setColor(QPalette::Active, QPalette::Button, QColor(7, 8, 9));
    pal.setColor(QPalette::Active, QPalette::ButtonText, QColor(10, 11, 12));
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(13, 14, 15));
    EXPECT_EQ(systemColor(rgb(0, 0, 192), pal), QColor(0, 0, 192));
    EXPECT_EQ(systemColor(0x00112233u, pal), QColor(0x33, 0x22, 0x11)); // stored as BBGGRR
    EXPECT_EQ(systemColor(kWindowText, pal), QColor(1, 2, 3));
    EXPECT_EQ(systemColor(kGreyText, pal), QColor(4, 5, 6));
    EXPECT_EQ(systemColor(kSystemColour + 15, pal), QColor(7, 8, 9));
    EXPECT_EQ(systemColor(kButtonText, pal), QColor(10, 11, 12));
    EXPECT_EQ(systemColor(kInactiveBorder, pal), QColor(13, 14, 15));
}

// --- Requests for the job and file-selection code -----------------------------------

TEST_F(MainWindowTest, ClicksOnFieldsAndButtonsRaiseRequests)
{
    open();
    QSignalSpy input(window.get(), &MainWindow::inputFileClicked);
    QSignalSpy output(window.get(), &MainWindow::outputFileDoubleClicked);
    QSignalSpy tromvax(window.get(), &MainWindow::tromvaxClicked);
    QSignalSpy kardune(window.get(), &MainWindow::karduneClicked);
    QSignalSpy aacenc(window.get(), &MainWindow::aacencClicked);
    QSignalSpy log(window.get(), &MainWindow::logFileDoubleClicked);
    QSignalSpy run(window.get(), &MainWindow::runRequested);
    QSignalSpy play(window.get(), &MainWindow::playRequested);
    QSignalSpy batch(window.get(), &MainWindow::batchModeRequested);

    QTest::mouseClick(w<QLineEdit>("InputFile"), Qt::LeftButton);
    QTest::mouseClick(w<QLineEdit>("Tromvax"), Qt::LeftButton);
    QTest::mouseClick(w<QLineEdit>("Kardune"), Qt::LeftButton);
    QTest::mouseClick(w<QLineEdit>("aacenc"), Qt::LeftButton);
    QTest::mouseClick(w<QLineEdit>("aacenc"), Qt::RightButton);
    QTest::mouseClick(w<QLineEdit>("OutputFile"), Qt::LeftButton); // a single click picks nothing
    EXPECT_EQ(output.count(), 0);
    QTest::mouseDClick(w<QLineEdit>("OutputFile"), Qt::LeftButton);
    QTest::mouseDClick(w<QLineEdit>("LOGFILEVAL", 0), Qt::LeftButton);
    w<QPushButton>("Command2")->click();
    w<QPushButton>("Command5")->click();
    w<QPushButton>("Command1")->click();

    EXPECT_EQ(input.count(), 1);
    EXPECT_EQ(tromvax.count(), 1);
    EXPECT_EQ(kardune.count(), 1);
    EXPECT_EQ(aacenc.count(), 1);
    EXPECT_EQ(output.count(), 1);
    EXPECT_EQ(log.count(), 1);
    EXPECT_EQ(run.count(), 1);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(batch.count(), 1);
    EXPECT_EQ(exits, 0);
}

TEST_F(MainWindowTest, ProgressBarShowsOnlyWhileAJobReports)
{
    open();
    auto *bar = window->findChild<QProgressBar *>(QStringLiteral("progress"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());
    window->setProgress(3, 12, QStringLiteral("Encoding part 3"));
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->value(), 3);
    EXPECT_EQ(bar->maximum(), 12);
    EXPECT_TRUE(bar->text().contains(QStringLiteral("Encoding part 3")));
    window->setProgress(0, 0, QStringLiteral("Finding maximal track gain..."));
    EXPECT_EQ(bar->maximum(), 0); // busy: the number of parts is not known yet
    window->clearProgress();
    EXPECT_TRUE(bar->isHidden());
}

// --- Value boxes over the blanks of their captions ------------------------------------

TEST_F(MainWindowTest, ValueBoxesLieOverTheBlanksOfTheirCaption)
{
    open();
    const struct {
        const char *sw;
        int swIndex;
        const char *val;
        int valIndex;
    } pairs[] = {{"split", 0, "splitval", 0}, {"split", 1, "splitval", 1}, {"SSRC", 0, "ssrcv", 0},
                 {"SSRC", 1, "SSRCVAL", 1},   {"OTA", 0, "OTAval", 0},     {"OTA", 1, "FRCVAL", 0}};
    for (int scale : {1, 2}) {
        for (const auto &p : pairs) {
            auto *box = w<QCheckBox>(p.sw, p.swIndex);
            QWidget *value = window->widget(QLatin1String(p.val), p.valIndex);
            ASSERT_NE(value, nullptr);
            if (scale == 2) {
                QFont f = box->font();
                f.setPointSizeF(f.pointSizeF() * 2);
                box->setFont(f);
                QApplication::processEvents();
            }
            SCOPED_TRACE(box->objectName().toStdString() + " at scale " + std::to_string(scale));
            ASSERT_EQ(value->parentWidget(), box->parentWidget());

            // Words before and after the blanks, measured on the caption itself.
            const QString text = box->text();
            const qsizetype runStart = text.indexOf(QString(10, QLatin1Char(' ')));
            ASSERT_GE(runStart, 0);
            qsizetype runEnd = runStart;
            while (runEnd < text.size() && text.at(runEnd) == QLatin1Char(' '))
                ++runEnd;
            QStyleOptionButton opt;
            opt.initFrom(box);
            opt.text = text;
            const int textLeft = box->x() + box->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, box).left();
            const QFontMetrics fm = box->fontMetrics();
            const int wordsBefore = textLeft + fm.horizontalAdvance(text.left(runStart));
            const int wordsAfter = textLeft + fm.horizontalAdvance(text.left(runEnd));

            const QRect g = value->geometry();
            EXPECT_GT(g.width(), fm.horizontalAdvance(QString(8, QLatin1Char(' '))));
            EXPECT_GE(g.left(), wordsBefore);
            EXPECT_LE(g.right(), wordsAfter);
            EXPECT_GE(g.top(), box->y());
            EXPECT_LE(g.bottom(), box->geometry().bottom());
        }
    }
}

// --- Settings at start, on close and on Exit ------------------------------------------

TEST_F(MainWindowTest, ClosingSavesAndExitDoesNot)
{
    open();
    clickButton(w<QCheckBox>("Azid", 0));
    QSignalSpy announced(window.get(), &MainWindow::aboutToExit);
    w<QPushButton>("Command4")->click();
    EXPECT_EQ(announced.count(), 1);
    EXPECT_EQ(exits, 1);
    window->close(); // whatever happens after Exit, nothing is saved
    EXPECT_FALSE(openUserSettings()->contains(QStringLiteral("Wavesmithy/version_split")));

    open();
    EXPECT_TRUE(w<QCheckBox>("Azid", 0)->isChecked());
    clickButton(w<QCheckBox>("Azid", 0));
    auto *level = w<QLineEdit>("AZIDVAL", 0);
    level->selectAll();
    QTest::keyClicks(level, QStringLiteral("-6db"));
    window->close();
    EXPECT_EQ(exits, 1); // only the earlier Exit
    EXPECT_EQ(openUserSettings()->value(QStringLiteral("Wavesmithy/version_split")).toString(),
              QStringLiteral("0.51"));

    open();
    EXPECT_FALSE(w<QCheckBox>("Azid", 0)->isChecked());
    EXPECT_EQ(w<QLineEdit>("AZIDVAL", 0)->text(), QStringLiteral("-6db"));
}

TEST_F(MainWindowTest, StartUpShowsStoredOptionsSettledByTheirHandlers)
{
    {
        // Options as an earlier run left them.
        OptionModel earlier;
        earlier.click(earlier.control(QStringLiteral("Azid"), 7));     // fixed gain
        earlier.click(earlier.control(QStringLiteral("aac"), 1));      // quality mode
        earlier.click(earlier.control(QStringLiteral("general"), 0));  // no grey colouring
        earlier.setText(earlier.control(QStringLiteral("AZIDVAL"), 4), QStringLiteral("+2db"));
        earlier.setText(earlier.control(QStringLiteral("InputFile")), QStringLiteral("movie.vob"));
        earlier.setText(earlier.control(QStringLiteral("substream")), QStringLiteral("0x81  (AC3)"));
        earlier.setText(earlier.control(QStringLiteral("OutputFile")), QStringLiteral("chosen.aac"));
        earlier.setVisible(earlier.control(QStringLiteral("text1")), false);
        auto store = openUserSettings();
        earlier.saveSettings(*store);
    }
    open(false); // the restored state is in place before the window shows
    EXPECT_FALSE(w<QCheckBox>("Azid", 7)->isChecked());
    auto *gain = w<QLineEdit>("AZIDVAL", 4);
    EXPECT_TRUE(gain->isEnabled());
    EXPECT_EQ(base(gain), kYellowQ);
    EXPECT_EQ(gain->text(), QStringLiteral("+2db"));
    EXPECT_TRUE(w<QRadioButton>("aac", 1)->isChecked());
    EXPECT_FALSE(w<QRadioButton>("aac", 0)->isChecked());
    EXPECT_TRUE(w<QComboBox>("aaccmb", 1)->isEnabled());
    EXPECT_TRUE(w<QLabel>("info")->isHidden());
    EXPECT_EQ(caption(w<QCheckBox>("SSRC", 0)).hslHue(), kGreenQ.hslHue()); // no grey colouring
    EXPECT_TRUE(w<QLabel>("text1")->isHidden());
    // The input is restored after the output and the substream: its change
    // handler resets both.
    EXPECT_FALSE(w<QComboBox>("substream")->isHidden());
    EXPECT_EQ(w<QComboBox>("substream")->currentText(), QStringLiteral("SubStream ID"));
    EXPECT_EQ(w<QLineEdit>("OutputFile")->text(), QStringLiteral("movie.aac"));

    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_FALSE(w<QComboBox>("substream")->isHidden());
    EXPECT_TRUE(w<QComboBox>("substream")->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Wavesmithy v0.51"));
}

TEST_F(MainWindowTest, EveryControlHasOneNamedWidget)
{
    open();
    for (const auto &ctl : window->model().controls()) {
        QWidget *widget = window->widget(ctl->name, ctl->index);
        ASSERT_NE(widget, nullptr) << ctl->key().toStdString();
        EXPECT_EQ(widget->objectName(), ctl->key());
        // (The link labels' own parts carry their control's inner names.)
        const auto named = window->findChildren<QWidget *>(ctl->key());
        EXPECT_EQ(std::count_if(named.begin(), named.end(),
                                [](QWidget *x) { return !qobject_cast<LinkLabel *>(x->parentWidget()); }),
                  1)
            << ctl->key().toStdString();
        EXPECT_EQ(widget->window(), window.get()) << ctl->key().toStdString();
        EXPECT_EQ(widget->isVisibleTo(window.get()), ctl->visible) << ctl->key().toStdString();
    }
}

// --- The program ------------------------------------------------------------------------

TEST(WavesmithyProgram, SavesAScreenshotOfTheMainWindow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString shot = dir.filePath(QStringLiteral("window.png"));
    QString out, err;
    const int rc = wstest::runProgram(wstest::binDir() + QStringLiteral("/wavesmithy"),
                                      {QStringLiteral("--screenshot"), shot}, &out, &err, 60000);
    EXPECT_EQ(rc, 0) << err.toStdString();
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 400);
    EXPECT_GT(image.height(), 300);

    QString help;
    EXPECT_EQ(wstest::runProgram(wstest::binDir() + QStringLiteral("/wavesmithy"), {QStringLiteral("--help")}, &help),
              0);
    EXPECT_TRUE(help.contains(QStringLiteral("--screenshot")));
}

TEST_F(MainWindowTest, DiscInputListsItsTitlesAndTracksWhileTheWindowStaysLive)
{
    // A stand-in transcoder that lists a disc of two titles.
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("tromvax"));
    QFile script(tool);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nsleep 0.2\nprintf 'title 1 300 1 1\\nchapter 1 1 0\\naudio 1 0x80 ac3 2 fr -\\n"
                 "title 2 5400 1 2\\nchapter 2 1 0\\naudio 2 0x80 ac3 6 en -\\naudio 2 0x89 dts 6 de -\\n'\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(dir.path()).mkpath(QStringLiteral("FILM/VIDEO_TS"));

    MainWindow &w = open();
    auto *title = w.findChild<QComboBox *>(QStringLiteral("Title"));
    ASSERT_NE(title, nullptr);
    EXPECT_FALSE(title->isVisible());
    OptionModel &m = w.model();
    m.setText(QStringLiteral("Tromvax"), tool);
    m.setText(QStringLiteral("InputFile"), dir.filePath(QStringLiteral("FILM")));
    EXPECT_TRUE(title->isVisible());
    EXPECT_TRUE(w.listingPending());
    for (int i = 0; i < 100 && w.listingPending(); ++i)
        QTest::qWait(50);
    ASSERT_FALSE(w.listingPending());

    ASSERT_EQ(title->count(), 2);
    EXPECT_EQ(title->currentText(), QStringLiteral("2  1:30:00  (1 chapter)")) << "the longest";
    auto *substream = static_cast<QComboBox *>(w.widget(QStringLiteral("substream")));
    ASSERT_EQ(substream->count(), 2);
    EXPECT_EQ(substream->itemText(1), QStringLiteral("0x89  DTS 5.1 de"));

    // Picking the other title offers its tracks; a file input hides the title.
    title->setCurrentIndex(0);
    emit title->activated(0);
    EXPECT_EQ(m.discTitle(), QStringLiteral("1  0:05:00  (1 chapter)"));
    EXPECT_EQ(substream->count(), 1);
    m.setText(QStringLiteral("InputFile"), dir.filePath(QStringLiteral("song.ac3")));
    EXPECT_FALSE(title->isVisible());
}
