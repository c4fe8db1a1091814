// The windows on desktops other than the one they were drawn on: light and
// dark palettes (contrast of every text against its own background), fonts
// that resolve to another pitch than named, a larger desktop font (run once
// more under QT_SCALE_FACTOR=1.5 by ctest) and the names screen readers read.
#include "BatchWindow.h"
#include "DesktopFonts.h"
#include "FlatButton.h"
#include "LinkLabel.h"
#include "MainWindow.h"
#include "QtPrinters.h"
#include "QuietDesktop.h"
#include "SystemColors.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace ws;

namespace {

// Palettes by their main colours: the default light one, GTK's Adwaita-dark
// and KDE's Breeze Dark.
QPalette darkPalette(const char *window, const char *text, const char *base, const char *baseText,
                     const char *disabled)
{
    const QColor w(QString::fromLatin1(window)), t(QString::fromLatin1(text));
    QPalette p(t, w, w.lighter(130), w.darker(130), w.darker(115), QColor(QString::fromLatin1(baseText)),
               Qt::white, QColor(QString::fromLatin1(base)), w);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(QString::fromLatin1(disabled)));
    return p;
}

struct NamedPalette {
    const char *name;
    QPalette palette;
};

std::vector<NamedPalette> palettes()
{
    return {{"light", QApplication::style()->standardPalette()},
            {"Adwaita-dark", darkPalette("#353535", "#eeeeec", "#2d2d2d", "#ffffff", "#919190")},
            {"Breeze Dark", darkPalette("#31363b", "#eff0f1", "#232629", "#eff0f1", "#6e7175")}};
}

// What a text is drawn on: the first widget up the chain that paints its
// own background.
QColor backgroundOf(const QWidget *w)
{
    for (const QWidget *p = w; p; p = p->parentWidget())
        if (p->autoFillBackground() || p->isWindow() || qobject_cast<const QLineEdit *>(p) ||
            qobject_cast<const QPushButton *>(p) || qobject_cast<const QAbstractScrollArea *>(p))
            return p->palette().color(QPalette::Active, p->backgroundRole());
    return {};
}

struct ShownText {
    QString what;
    QColor text, back;
};

// Every visible, enabled text of a window with the colours it is drawn in.
QList<ShownText> shownTexts(QWidget *root)
{
    QList<ShownText> out;
    const auto name = [](const QWidget *w) { return w->objectName() + QLatin1Char(' ') + w->metaObject()->className(); };
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(root) || !w->isEnabledTo(root))
            continue;
        const QPalette &p = w->palette();
        const QColor fore = p.color(QPalette::Active, w->foregroundRole());
        if (auto *link = qobject_cast<LinkLabel *>(w)) {
            out.append({name(w), link->mainLabel()->palette().color(QPalette::WindowText), backgroundOf(link)});
            const QColor hover = link->colorOf(link->LinkColor());
            out.append({name(w) + " hovered", hover, backgroundOf(link)});
        } else if (auto *b = qobject_cast<FlatButton *>(w)) {
            out.append({name(w) + " up", b->colorOf(b->UpForeColor()), b->colorOf(b->UpBackColor())});
            out.append({name(w) + " hover", b->colorOf(b->HoverForeColor()), b->colorOf(b->HoverBackColor())});
            out.append({name(w) + " down", b->colorOf(b->DownForeColor()), b->colorOf(b->DownBackColor())});
        } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
            const QVariant title = box->property("titleColour");
            out.append({name(w), title.isValid() ? title.value<QColor>() : fore, backgroundOf(box)});
        } else if (qobject_cast<QLabel *>(w) && !qobject_cast<LinkLabel *>(w->parentWidget())) {
            if (!static_cast<QLabel *>(w)->text().isEmpty())
                out.append({name(w), fore, backgroundOf(w)});
        } else if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
                   qobject_cast<QListWidget *>(w)) {
            out.append({name(w), fore, backgroundOf(w)});
        }
    }
    return out;
}

struct Desktop : ::testing::Test {
    wstest::QuietDesktop quiet;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;

    QPalette palette = QApplication::palette();
    QFont font = QApplication::font();

    void SetUp() override { openUserSettings()->clear(); }
    void TearDown() override
    {
        window.reset();
        QApplication::setPalette(palette);
        QApplication::setFont(font);
        openUserSettings()->clear();
    }
    // The main window shown, and the batch window opened on two files (the
    // main window is disabled while it shows).
    wsbatch::BatchWindow *open(bool batch = true)
    {
        window = std::make_unique<MainWindow>();
        window->setExitHandler([] {});
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        if (!batch)
            return nullptr;
        QStringList files;
        for (const char *n : {"a.ac3", "film.vob"}) {
            QFile f(dir.filePath(QLatin1String(n)));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("audio");
            files << f.fileName();
        }
        window->openBatch(files);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window->batchWindow()));
        return window->batchWindow();
    }
};

} // namespace

TEST_F(Desktop, EveryTextReadsOnLightAndDarkPalettes)
{
    for (const NamedPalette &p : palettes()) {
        SCOPED_TRACE(p.name);
        QApplication::setPalette(p.palette);
        wsbatch::BatchWindow *batch = open();
        int checked = 0;
        for (QWidget *root : {static_cast<QWidget *>(window.get()), static_cast<QWidget *>(batch)}) {
            for (const ShownText &t : shownTexts(root)) {
                ASSERT_TRUE(t.back.isValid()) << t.what.toStdString();
                EXPECT_GE(contrastRatio(t.text, t.back), kReadableContrast)
                    << t.what.toStdString() << ": " << t.text.name().toStdString() << " on "
                    << t.back.name().toStdString();
                ++checked;
            }
        }
        EXPECT_GT(checked, 60);
        window.reset();
    }
}

TEST_F(Desktop, SwitchingToADarkPaletteFitsTheShownColoursAgain)
{
    open(false);
    auto *frame = window->findChild<QGroupBox *>(QStringLiteral("Frame2"));
    auto *grey = window->findChild<QCheckBox *>(QStringLiteral("Azid(1)"));
    ASSERT_TRUE(frame && grey);
    const QColor lightTitle = frame->property("titleColour").value<QColor>();
    EXPECT_EQ(lightTitle, QColor(0, 0, 192)) << "the light look keeps its blue";

    QApplication::setPalette(palettes()[1].palette);
    QApplication::processEvents(); // the change reaches the windows as an event
    const QColor dark = palettes()[1].palette.color(QPalette::Window);
    const QColor darkTitle = frame->property("titleColour").value<QColor>();
    EXPECT_GE(contrastRatio(darkTitle, dark), kReadableContrast);
    EXPECT_EQ(darkTitle.hslHue(), lightTitle.hslHue());
    EXPECT_GT(darkTitle.lightness(), lightTitle.lightness());
    EXPECT_GE(contrastRatio(grey->palette().color(QPalette::WindowText), dark), kReadableContrast);
    // The value boxes keep their yellow, with black text whatever the palette.
    auto *value = window->findChild<QLineEdit *>(QStringLiteral("InputFile"));
    EXPECT_EQ(value->palette().color(QPalette::Active, QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(value->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::black));
}

TEST(Contrast, FittedColoursKeepTheirHueAndReachTheRatio)
{
    const struct {
        QColor text, back;
    } cases[] = {
        {QColor(0, 128, 0), QColor("#353535")},   // green caption on a dark window
        {QColor(0, 0, 192), QColor("#31363b")},   // frame title
        {QColor(128, 128, 128), QColor("#efefef")}, // grey caption on the light window
        {QColor(255, 255, 255), QColor(0x64, 0x8e, 0xbc)}, // white can only get darker
        {QColor(224, 224, 224), QColor(0x39, 0x6d, 0xa5)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.name().toStdString() + " on " + c.back.name().toStdString());
        const QColor shown = readableOn(c.text, c.back);
        EXPECT_GE(contrastRatio(shown, c.back), kReadableContrast);
        EXPECT_EQ(shown.hslHue(), c.text.hslHue());
        // Just enough: one step less in lightness would not read.
        const int step = shown.lightness() > c.text.lightness() ? -3 : 3;
        const QColor less = QColor::fromHsl(std::max(0, shown.hslHue()), shown.hslSaturation(), shown.lightness() + step);
        EXPECT_LT(contrastRatio(less, c.back), kReadableContrast);
    }
    const QColor black(Qt::black);
    EXPECT_EQ(readableOn(black, Qt::white), black) << "what reads stays";
    EXPECT_NEAR(contrastRatio(black, Qt::white), 21.0, 1e-9);
    EXPECT_EQ(textColourOn(QColor(255, 255, 0)), black);
    EXPECT_EQ(textColourOn(QColor("#2d2d2d")), QColor(Qt::white));
}

TEST(Fonts, ANamedFamilyIsUsedOnlyWithThePitchTheTextNeeds)
{
    const QString proportional = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
    const QFont fixed = fixedPitchFont(QStringLiteral("monospace"));
    ASSERT_TRUE(QFontInfo(fixed).fixedPitch()) << QFontInfo(fixed).family().toStdString();
    ASSERT_FALSE(QFontInfo(QFont(proportional)).fixedPitch());

    // Named families that resolve to the other pitch are not taken.
    for (const QString &family : {proportional, QStringLiteral("No Such Face Anywhere"), QStringLiteral("Courier New")})
        EXPECT_TRUE(QFontInfo(fixedPitchFont(family)).fixedPitch()) << family.toStdString();
    const QFont named = proportionalFont(QFont(QFontInfo(fixed).family(), 11));
    EXPECT_FALSE(QFontInfo(named).fixedPitch());
    EXPECT_EQ(named.pointSize(), 11);
    EXPECT_EQ(proportionalFont(QFont(proportional, 11)).family(), proportional) << "a fitting face stays";

    // The texts lined up by character counts.
    EXPECT_TRUE(QFontInfo(wsbatch::batchListFont()).fixedPitch());
    wstest::QuietDesktop quiet;
    MainWindow window;
    for (const char *name : {"info", "text1"})
        EXPECT_TRUE(QFontInfo(window.widget(QLatin1String(name))->font()).fixedPitch()) << name;
}

TEST_F(Desktop, NoCaptionIsCutOffWithATwelvePointDesktopFont)
{
    QFont large = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    large.setPointSize(12);
    QApplication::setFont(large);
    wsbatch::BatchWindow *batch = open();
    QApplication::processEvents();
    int checked = 0;
    for (QWidget *root : {static_cast<QWidget *>(window.get()), static_cast<QWidget *>(batch)}) {
        for (QWidget *w : root->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(root) || qobject_cast<LinkLabel *>(w->parentWidget()))
                continue;
            const QFontMetrics &fm = w->fontMetrics();
            QString text;
            QRect room;
            if (auto *b = qobject_cast<QCheckBox *>(w); b || qobject_cast<QRadioButton *>(w)) {
                auto *button = static_cast<QAbstractButton *>(w);
                QStyleOptionButton opt;
                opt.initFrom(button);
                opt.text = text = button->text();
                room = w->style()->subElementRect(b ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents,
                                                  &opt, w);
            } else if (auto *push = qobject_cast<QPushButton *>(w)) {
                QStyleOptionButton opt;
                opt.initFrom(push);
                opt.text = text = push->text();
                room = w->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, w);
            } else if (auto *label = qobject_cast<QLabel *>(w); label && !label->wordWrap()) {
                text = label->text();
                room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                      -label->margin());
            } else if (auto *link = qobject_cast<LinkLabel *>(w)) {
                text = link->Caption();
                room = link->mainLabel()->geometry().intersected(link->rect());
            } else if (auto *flat = qobject_cast<FlatButton *>(w)) {
                text = flat->Caption();
                room = flat->rect();
            } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
                text = box->title();
                room = box->rect();
            }
            if (text.trimmed().isEmpty())
                continue;
            const QFontMetrics metrics = qobject_cast<FlatButton *>(w) ? QFontMetrics(static_cast<FlatButton *>(w)->Font())
                                         : qobject_cast<LinkLabel *>(w) ? static_cast<LinkLabel *>(w)->mainLabel()->fontMetrics()
                                                                        : fm;
            const QStringList lines = text.split(QLatin1Char('\n'));
            int widest = 0;
            for (const QString &line : lines)
                widest = std::max(widest, metrics.horizontalAdvance(line));
            const std::string what = (w->objectName() + " \"" + text + "\"").toStdString();
            EXPECT_LE(widest, room.width()) << what;
            EXPECT_LE(metrics.height() * int(lines.size()), room.height() + 1) << what;
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

TEST_F(Desktop, ScreenReadersReadCaptionsAndTheCaptionsOfValueRows)
{
    wsbatch::BatchWindow &batch = *open();
    const auto spoken = [](QWidget *w) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QString();
    };
    QStringList captions; // every caption a value box may be named by
    for (const auto &c : window->model().controls()) {
        QWidget *w = window->widget(c->name, c->index);
        if (!w->isVisibleTo(window.get()) || c->kind == Kind::Line)
            continue;
        SCOPED_TRACE(c->key().toStdString());
        if (c->kind == Kind::TextBox || c->kind == Kind::ComboBox) {
            EXPECT_FALSE(spoken(w).isEmpty());
        } else if (c->name != QLatin1String("text1")) {
            EXPECT_EQ(spoken(w), c->caption.simplified());
            captions << c->caption.simplified();
        }
    }
    const struct {
        const char *name;
        int index;
        const char *spoken;
    } rows[] = {{"InputFile", -1, "Input (VOB/AC3/MPx)"}, {"Kardune", -1, "Kardune.exe"},
                {"TempFolder", -1, "Temporary Folder"},    {"splitval", 0, "Segment Size = secs"},
                {"AZIDVAL", 2, "Center Downmix Level"},   {"priority", -1, "Priority Class"},
                {"LoudnessTarget", -1, "Gain Target"},     {"LOGFILEVAL", 0, "Output to Log File"},
                {"aaccmb", 0, "VBR Preset"},               {"text1", -1, "Command Line"}};
    for (const auto &r : rows)
        EXPECT_EQ(spoken(window->widget(QLatin1String(r.name), r.index)), QLatin1String(r.spoken)) << r.name;

    // The batch window: its header, list and flat buttons, which act on a press.
    EXPECT_EQ(spoken(batch.Label1(0)), QStringLiteral("File Name"));
    EXPECT_EQ(spoken(batch.List1()), QStringLiteral("File Name"));
    for (int i = 1; i <= 5; ++i) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(batch.XFlatButton2(i));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Button) << i;
        EXPECT_EQ(a->text(QAccessible::Name), batch.XFlatButton2(i)->Caption()) << i;
    }
    ASSERT_EQ(batch.List1()->count(), 2);
    QAccessibleInterface *clear = QAccessible::queryAccessibleInterface(batch.XFlatButton2(1));
    ASSERT_NE(clear->actionInterface(), nullptr);
    clear->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(batch.List1()->count(), 0);
}

TEST_F(Desktop, TheStoreSeparatorCannotBeTypedIntoASavedField)
{
    open(false);
    const struct {
        const char *name;
        int index;
        const char *typed, *kept;
    } fields[] = {
        {"InputFile", -1, "a|\\b", "a|b"},  // saved: the backslash after the bar is refused
        {"priority", -1, "x|\\y", "x|y"},   // a saved combo
        {"OTAval", 0, "1|\\2", "1|\\2"},    // not saved: anything goes
    };
    for (const auto &f : fields) {
        QWidget *w = window->widget(QLatin1String(f.name), f.index);
        auto *edit = qobject_cast<QLineEdit *>(w);
        if (auto *combo = qobject_cast<QComboBox *>(w))
            edit = combo->lineEdit();
        ASSERT_NE(edit, nullptr) << f.name;
        ASSERT_TRUE(edit->isEnabled()) << f.name;
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QLatin1String(f.typed));
        EXPECT_EQ(window->model().text(QLatin1String(f.name), f.index), QLatin1String(f.kept)) << f.name;
        // Pasted text holding it is refused whole.
        edit->selectAll();
        edit->insert(QStringLiteral("p|\\q"));
        EXPECT_EQ(edit->text().contains(QStringLiteral("|\\")), QLatin1String(f.kept).contains(QStringLiteral("|\\")))
            << f.name;
    }
}
