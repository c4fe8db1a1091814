// The windows on other desktops than the one they were drawn on: light and
// dark palettes, fonts that resolve to another pitch than named, a larger
// desktop font (ctest runs these once more under QT_SCALE_FACTOR=1.5) and
// the names screen readers read.
#include "BatchWindow.h"
#include "DesktopFonts.h"
#include "FlatButton.h"
#include "LinkLabel.h"
#include "MainWindow.h"
#include "QuietDesktop.h"
#include "SystemColors.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace ws;

namespace {

// A dark palette from a theme's window, text and base colours.
QPalette darkPalette(const char *window, const char *text, const char *base)
{
    const QColor w(QLatin1String{window}), t(QLatin1String{text});
    return QPalette(t, w, w.lighter(130), w.darker(130), w.darker(115), t, Qt::white, QColor(QLatin1String{base}), w);
}

// What a text is drawn on: the first widget up the chain that paints its
// own background.
QColor backgroundOf(const QWidget *w)
{
    for (; w; w = w->parentWidget())
        if (w->autoFillBackground() || w->isWindow() || qobject_cast<const QLineEdit *>(w) ||
            qobject_cast<const QPushButton *>(w) || qobject_cast<const QAbstractScrollArea *>(w))
            return w->palette().color(QPalette::Active, w->backgroundRole());
    return {};
}

struct Desktop : ::testing::Test {
    wstest::QuietDesktop quiet;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    const QPalette palette = QApplication::palette();
    const QFont font = QApplication::font();

    void SetUp() override { openUserSettings()->clear(); }
    void TearDown() override
    {
        window.reset();
        QApplication::setPalette(palette);
        QApplication::setFont(font);
        openUserSettings()->clear();
    }
    // The main window, and the batch window opened on two files.
    wsbatch::BatchWindow &open()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QStringList files;
        for (const char *n : {"a.ac3", "film.vob"}) {
            QFile f(dir.filePath(QLatin1String(n)));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write("audio") > 0);
            files << f.fileName();
        }
        window->openBatch(files);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window->batchWindow()));
        return *window->batchWindow();
    }
    QList<QWidget *> shown(wsbatch::BatchWindow &batch) const
    {
        QList<QWidget *> all;
        for (QWidget *root : {static_cast<QWidget *>(window.get()), static_cast<QWidget *>(&batch)})
            for (QWidget *w : root->findChildren<QWidget *>())
                if (w->isVisibleTo(root) && w->isEnabledTo(root) && !qobject_cast<LinkLabel *>(w->parentWidget()))
                    all << w;
        return all;
    }
};

} // namespace

TEST_F(Desktop, EveryTextReadsOnLightAndDarkPalettesAlsoAfterASwitch)
{
    wsbatch::BatchWindow &batch = open();
    const std::pair<const char *, QPalette> palettes[] = {
        {"Adwaita-dark", darkPalette("#353535", "#eeeeec", "#2d2d2d")},
        {"Breeze Dark", darkPalette("#31363b", "#eff0f1", "#232629")},
        {"light", QApplication::style()->standardPalette()}};
    for (const auto &[name, p] : palettes) {
        QApplication::setPalette(p);
        QApplication::processEvents(); // a palette change arrives as an event
        int checked = 0;
        for (QWidget *w : shown(batch)) {
            QList<std::pair<QColor, QColor>> texts; // text on background
            if (auto *b = qobject_cast<FlatButton *>(w)) {
                texts = {{b->colorOf(b->UpForeColor()), b->colorOf(b->UpBackColor())},
                         {b->colorOf(b->HoverForeColor()), b->colorOf(b->HoverBackColor())},
                         {b->colorOf(b->DownForeColor()), b->colorOf(b->DownBackColor())}};
            } else if (auto *link = qobject_cast<LinkLabel *>(w)) {
                texts = {{link->mainLabel()->palette().color(QPalette::WindowText), backgroundOf(link)},
                         {link->colorOf(link->LinkColor()), backgroundOf(link)}};
            } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
                const QColor title = box->property("titleColour").value<QColor>();
                EXPECT_EQ(title.hslHue(), 240) << "frame titles stay blue";
                texts = {{title, backgroundOf(box)}};
            } else if ((qobject_cast<QLabel *>(w) && !static_cast<QLabel *>(w)->text().isEmpty()) ||
                       qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
                       qobject_cast<QListWidget *>(w)) {
                texts = {{w->palette().color(QPalette::Active, w->foregroundRole()), backgroundOf(w)}};
            }
            for (const auto &[text, back] : texts) {
                EXPECT_GE(contrastRatio(text, back), kReadableContrast)
                    << name << ' ' << w->objectName().toStdString() << ": " << text.name().toStdString() << " on "
                    << back.name().toStdString();
                ++checked;
            }
        }
        EXPECT_GT(checked, 70) << name;
    }
}

TEST(Fonts, ANamedFamilyIsUsedOnlyWithThePitchTheTextNeeds)
{
    const QString proportional = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
    ASSERT_FALSE(QFontInfo(QFont(proportional)).fixedPitch());
    for (const QString &named : {proportional, QStringLiteral("No Such Face Anywhere"), QStringLiteral("Courier New")})
        EXPECT_TRUE(QFontInfo(fixedPitchFont(named)).fixedPitch()) << named.toStdString();
    const QString fixed = QFontInfo(fixedPitchFont(proportional)).family();
    const QFont instead = proportionalFont(QFont(fixed, 11));
    EXPECT_FALSE(QFontInfo(instead).fixedPitch());
    EXPECT_EQ(instead.pointSize(), 11);

    EXPECT_TRUE(QFontInfo(wsbatch::batchListFont()).fixedPitch());
    wstest::QuietDesktop quiet;
    MainWindow window;
    EXPECT_TRUE(QFontInfo(window.widget(QStringLiteral("info"))->font()).fixedPitch());
}

TEST_F(Desktop, NoCaptionIsCutOffWithATwelvePointDesktopFont)
{
    QFont large = QApplication::font();
    large.setPointSize(12);
    QApplication::setFont(large);
    wsbatch::BatchWindow &batch = open();
    int checked = 0;
    for (QWidget *w : shown(batch)) {
        const auto *label = qobject_cast<QLabel *>(w);
        if (auto *b = qobject_cast<FlatButton *>(w)) {
            const QFontMetrics fm(b->Font());
            EXPECT_LE(fm.horizontalAdvance(b->Caption()), b->width()) << b->Caption().toStdString();
            EXPECT_LE(fm.height(), b->height()) << b->Caption().toStdString();
        } else if ((label && !label->wordWrap() && !label->text().isEmpty()) || qobject_cast<QAbstractButton *>(w) ||
                   qobject_cast<QGroupBox *>(w)) {
            // The room a caption needs (text, indicator, frame) against what it has.
            EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
            EXPECT_GE(w->height(), w->sizeHint().height()) << w->objectName().toStdString();
        } else {
            continue;
        }
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

TEST_F(Desktop, ScreenReadersReadCaptionsAndTheCaptionsOfValueRows)
{
    wsbatch::BatchWindow &batch = open();
    const auto spoken = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    for (const auto &c : window->model().controls()) {
        QWidget *w = window->widget(c->name, c->index);
        const bool valueBox = c->kind == Kind::TextBox || c->kind == Kind::ComboBox;
        if (w->isVisibleTo(window.get()) && !valueBox && c->kind != Kind::Line && c->name != QLatin1String("text1")) {
            EXPECT_EQ(spoken(w), c->caption.simplified()) << c->key().toStdString();
        }
    }
    const std::tuple<const char *, int, const char *> rows[] = {
        {"Kardune", -1, "Kardune.exe"}, {"splitval", 0, "Segment Size = secs"}, {"AZIDVAL", 2, "Center Downmix Level"},
        {"aaccmb", 0, "VBR Preset"},    {"text1", -1, "Command Line"}};
    for (const auto &[name, index, expected] : rows)
        EXPECT_EQ(spoken(window->widget(QLatin1String(name), index)), QLatin1String(expected)) << name;

    // The batch window's flat buttons are push buttons that act on a press.
    QAccessibleInterface *clear = QAccessible::queryAccessibleInterface(batch.XFlatButton2(1));
    EXPECT_EQ(clear->role(), QAccessible::Button);
    EXPECT_EQ(clear->text(QAccessible::Name), QStringLiteral("Clear List"));
    ASSERT_EQ(batch.List1()->count(), 2);
    clear->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(batch.List1()->count(), 0);
}

TEST_F(Desktop, TheStoreSeparatorCannotBeTypedIntoASavedField)
{
    open().CloseWindow();
    const std::tuple<const char *, int, const char *> fields[] = {
        {"InputFile", -1, "a|b"}, // saved: the backslash after the bar is refused
        {"priority", -1, "a|b"},  // a saved combo
        {"OTAval", 0, "a|\\b"},   // not saved: anything goes
    };
    for (const auto &[name, index, kept] : fields) {
        QWidget *w = window->widget(QLatin1String(name), index);
        QLineEdit *edit = qobject_cast<QComboBox *>(w) ? static_cast<QComboBox *>(w)->lineEdit()
                                                       : qobject_cast<QLineEdit *>(w);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("a|\\b"));
        EXPECT_EQ(window->model().text(QLatin1String(name), index), QLatin1String(kept)) << name;
    }
}
