// The flat button: its looks rendered into its surface, caption centring, the
// pointer rules driven with synthesized events, and the order of its events.
#include "ControlsTestSupport.h"

#include "EdgeDrawing.h"
#include "FormFlags.h"
#include "StoredForms.h"
#include "SystemColors.h"
#include "FlatButton.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace ws;
using namespace ctltest;

namespace {

// A palette whose edge and system colours all differ, so every check below
// can tell them apart.
QPalette distinctPalette()
{
    QPalette pal;
    pal.setColor(QPalette::Light, QColor(250, 250, 250));
    pal.setColor(QPalette::Midlight, QColor(200, 200, 210));
    pal.setColor(QPalette::Dark, QColor(100, 100, 110));
    pal.setColor(QPalette::Shadow, QColor(20, 20, 30));
    pal.setColor(QPalette::Button, QColor(180, 180, 170));
    pal.setColor(QPalette::ButtonText, QColor(5, 40, 5));
    pal.setColor(QPalette::Highlight, QColor(40, 60, 200));
    return pal;
}

// A button wired the way the batch window answers its events, recording the
// events in the order they come.
struct Fixture {
    FlatButton button;
    QStringList events;

    explicit Fixture(bool wired = true, QSize size = QSize(160, 40))
    {
        formflags::reset();
        button.setPalette(distinctPalette());
        button.setAttribute(Qt::WA_DontShowOnScreen);
        button.Font(crispFont());
        button.Caption(QStringLiteral("Encode"));
        button.resize(size);
        button.show();
        QObject::connect(&button, &FlatButton::Click, [this] { events << "Click"; });
        QObject::connect(&button, &FlatButton::MouseDown, [this] { events << "MouseDown"; });
        QObject::connect(&button, &FlatButton::Hovering, [this] { events << "Hovering"; });
        QObject::connect(&button, &FlatButton::ButtonUp, [this] { events << "ButtonUp"; });
        if (wired) {
            QObject::connect(&button, &FlatButton::MouseDown, &button, &FlatButton::DrawPressed);
            QObject::connect(&button, &FlatButton::Hovering, &button, &FlatButton::DrawHover);
            QObject::connect(&button, &FlatButton::ButtonUp, &button, &FlatButton::DrawUp);
            QObject::connect(&button, &FlatButton::Click, &button, &FlatButton::DrawUp);
        }
        events.clear();
    }
    ~Fixture() { formflags::reset(); }

    QColor px(int x, int y) const { return button.surface().pixelColor(x, y); }
    QColor role(QPalette::ColorRole r) const { return button.palette().color(r); }
    int w() const { return button.width(); }
    int h() const { return button.height(); }
};

void loadBatchForm(FlatButton &b, int index)
{
    b.ReadProperties(storedForm(QStringLiteral("XFlatButton2"), index));
    b.Font(crispFont());
}

} // namespace

TEST(EdgeDrawing, LinesTakeTheirColoursFromTheStyleBits)
{
    const QPalette pal = distinctPalette();
    const QColor back(255, 0, 255);
    auto draw = [&](quint32 edge) {
        QImage img(20, 10, QImage::Format_ARGB32);
        img.fill(back);
        QPainter p(&img);
        drawEdge(p, img.rect(), edge, EdgeAllSides | EdgeSoft, pal);
        return img;
    };
    struct Case {
        quint32 edge;
        QPalette::ColorRole ltOuter, ltInner, rbOuter, rbInner;
    };
    const Case cases[] = {
        {EdgeRaised, QPalette::Light, QPalette::Midlight, QPalette::Shadow, QPalette::Dark},
        {EdgeSunken, QPalette::Shadow, QPalette::Dark, QPalette::Light, QPalette::Midlight},
        {EdgeBump, QPalette::Light, QPalette::Dark, QPalette::Shadow, QPalette::Midlight},
        {EdgeEtched, QPalette::Shadow, QPalette::Midlight, QPalette::Light, QPalette::Dark},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.edge);
        const QImage img = draw(c.edge);
        EXPECT_EQ(img.pixelColor(10, 0), pal.color(c.ltOuter));
        EXPECT_EQ(img.pixelColor(0, 5), pal.color(c.ltOuter));
        EXPECT_EQ(img.pixelColor(10, 1), pal.color(c.ltInner));
        EXPECT_EQ(img.pixelColor(1, 5), pal.color(c.ltInner));
        EXPECT_EQ(img.pixelColor(10, 9), pal.color(c.rbOuter));
        EXPECT_EQ(img.pixelColor(19, 5), pal.color(c.rbOuter));
        EXPECT_EQ(img.pixelColor(10, 8), pal.color(c.rbInner));
        EXPECT_EQ(img.pixelColor(18, 5), pal.color(c.rbInner));
        // The right and bottom lines are drawn last, over the corners.
        EXPECT_EQ(img.pixelColor(19, 0), pal.color(c.rbOuter));
        EXPECT_EQ(img.pixelColor(10, 4), back) << "the middle stays untouched";
    }

    // Only the low four bits count; raised and sunken at once cancel out.
    EXPECT_EQ(draw(0x10 | EdgeRaised), draw(EdgeRaised));
    const QImage none = draw(EdgeRaisedOuter | EdgeSunkenOuter);
    EXPECT_EQ(countColor(none, back), 20 * 10);
    EXPECT_EQ(countColor(draw(0), back), 20 * 10);
}

TEST(SystemColors, SystemValuesFollowThePaletteAndOthersAreBgr)
{
    const QPalette pal = distinctPalette();
    EXPECT_EQ(systemColor(0x8000000D, pal), pal.color(QPalette::Highlight));
    EXPECT_EQ(systemColor(0x8000000F, pal), pal.color(QPalette::Button));
    EXPECT_EQ(systemColor(0x80000010, pal), pal.color(QPalette::Dark));
    EXPECT_EQ(systemColor(0x80000012, pal), pal.color(QPalette::ButtonText));
    EXPECT_EQ(systemColor(0x80000014, pal), pal.color(QPalette::Light));
    EXPECT_EQ(systemColor(0x800000FF, pal), QColor(Qt::black));
    EXPECT_EQ(systemColor(0x00A56D39, pal), QColor(0x39, 0x6D, 0xA5));
    EXPECT_EQ(systemColor(0x000000C0, pal), QColor(0xC0, 0, 0));
    EXPECT_EQ(colorRef(QColor(0x39, 0x6D, 0xA5)), 0x00A56D39u);
    EXPECT_EQ(colorRef(systemColor(0x00123456, pal)), 0x00123456u);
}

TEST(FlatButtonLooks, EachLookShowsItsBackgroundAndEdge)
{
    Fixture f;
    loadBatchForm(f.button, 1);
    const int midX = f.w() / 2, midY = f.h() / 2;

    f.button.DrawUp(); // bump edge
    EXPECT_EQ(f.px(3, midY), QColor(0x39, 0x6D, 0xA5));
    EXPECT_EQ(f.px(midX, 0), f.role(QPalette::Light));
    EXPECT_EQ(f.px(midX, 1), f.role(QPalette::Dark));
    EXPECT_EQ(f.px(midX, f.h() - 1), f.role(QPalette::Shadow));
    EXPECT_EQ(f.px(midX, f.h() - 2), f.role(QPalette::Midlight));
    EXPECT_GT(countColor(f.button.surface(), QColor(0xE0, 0xE0, 0xE0)), 0) << "up caption";

    f.button.DrawHover(); // raised edge
    EXPECT_EQ(f.px(3, midY), QColor(0x64, 0x8E, 0xBC));
    EXPECT_EQ(f.px(midX, 1), f.role(QPalette::Midlight));
    EXPECT_EQ(f.px(f.w() - 2, midY), f.role(QPalette::Dark));
    EXPECT_GT(countColor(f.button.surface(), QColor(255, 255, 255)), 0) << "hover caption";

    f.button.DrawPressed(); // no edge
    EXPECT_EQ(f.px(3, midY), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(f.px(midX, 0), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(f.px(f.w() - 1, f.h() - 1), QColor(0xE0, 0xE0, 0xE0));

    // The "Stop" button hovers in its own colour.
    Fixture stop;
    loadBatchForm(stop.button, 2);
    stop.button.DrawHover();
    EXPECT_EQ(stop.px(3, stop.h() / 2), QColor(0xC0, 0, 0));

    // A new button's up look has no edge and the highlight-coloured caption.
    Fixture plain;
    plain.button.DrawUp();
    EXPECT_EQ(plain.px(plain.w() / 2, 0), plain.role(QPalette::Button));
    EXPECT_GT(countColor(plain.button.surface(), plain.role(QPalette::Highlight)), 0);
}

TEST(FlatButtonLooks, PressedLookDrawsTheEmbossedCaptionUnderTheShiftedOne)
{
    Fixture f(true, QSize(400, 40));
    loadBatchForm(f.button, 4);
    f.button.DrawPressed();
    const QRect embossed = colorBounds(f.button.surface(), QColor(255, 255, 0));
    const QRect fore = colorBounds(f.button.surface(), QColor(0, 0, 0));
    ASSERT_FALSE(embossed.isEmpty());
    ASSERT_FALSE(fore.isEmpty());
    EXPECT_EQ(fore.topLeft(), embossed.topLeft() + QPoint(1, 1));
    EXPECT_EQ(fore.bottomRight(), embossed.bottomRight() + QPoint(1, 1));
}

TEST(FlatButtonLooks, DisabledLookDrawsTwoOffsetCaptionsAndRaisesNothing)
{
    Fixture f;
    loadBatchForm(f.button, 3);
    f.button.DrawHover();
    f.events.clear();

    f.button.Enabled(false);
    EXPECT_TRUE(f.events.isEmpty()) << f.events.join(' ').toStdString();
    EXPECT_FALSE(f.button.isEnabled());
    // The background stays as the last look left it.
    EXPECT_EQ(f.px(3, f.h() / 2), QColor(0x64, 0x8E, 0xBC));
    const QColor light = f.button.colorOf(0x80000014), dark = f.button.colorOf(0x80000010);
    const QRect lightBox = colorBounds(f.button.surface(), light);
    const QRect darkBox = colorBounds(f.button.surface(), dark);
    ASSERT_FALSE(lightBox.isEmpty());
    ASSERT_FALSE(darkBox.isEmpty());
    EXPECT_EQ(lightBox.bottomRight(), darkBox.bottomRight() + QPoint(1, 1));
    EXPECT_EQ(lightBox.topLeft(), darkBox.topLeft() + QPoint(1, 1));

    // A paint request while disabled draws the disabled look again, silently.
    f.button.DrawUp();
    f.button.grab(); // shows the drawing
    EXPECT_EQ(f.px(f.w() / 2, 0), f.role(QPalette::Light)) << "up look with its edge";
    f.button.grab(); // a request of the window system
    EXPECT_EQ(f.px(f.w() / 2, 0), QColor(0x39, 0x6D, 0xA5)) << "disabled look has no edge";
    EXPECT_TRUE(f.events.isEmpty());
    EXPECT_FALSE(colorBounds(f.button.surface(), dark).isEmpty());
}

TEST(FlatButtonLooks, OnlyTheRepaintingSettersChangeWhatIsShown)
{
    Fixture f;
    loadBatchForm(f.button, 1);
    f.button.DrawUp();
    f.events.clear();
    const QImage before = f.button.surface().copy();

    f.button.HoverEdge(EdgeSunken);
    f.button.DownEdge(EdgeRaised);
    f.button.HoverForeColor(0x000000FF);
    f.button.DownForeColor(0x0000FF00);
    f.button.HoverBackColor(0x00FF0000);
    f.button.DownBackColor(0x00008080);
    f.button.DownEmbossedColor(0x00808000);
    f.button.SetCap(false);
    EXPECT_EQ(f.button.surface(), before);
    EXPECT_TRUE(f.events.isEmpty());

    // UpBackColor repaints: the container answers ButtonUp with the new look.
    f.button.UpBackColor(0x00004000);
    EXPECT_EQ(f.events, QStringList{"ButtonUp"});
    EXPECT_EQ(f.px(3, f.h() / 2), QColor(0, 0x40, 0));
}

TEST(FlatButtonLooks, AWindowPaintShowsTheSurfaceAndOnlyASystemRequestRaisesEvents)
{
    Fixture f;
    loadBatchForm(f.button, 1);
    f.button.DrawHover();
    f.events.clear();

    // The paint that follows a drawing call shows the drawing and raises nothing.
    const QImage shown = f.button.grab().toImage();
    EXPECT_TRUE(f.events.isEmpty());
    EXPECT_EQ(shown.pixelColor(3, f.h() / 2), QColor(0x64, 0x8E, 0xBC));
    EXPECT_EQ(shown.pixelColor(f.w() / 2, 1), f.role(QPalette::Midlight));

    // A paint the button did not ask for runs its Paint procedure.
    f.button.grab();
    EXPECT_EQ(f.events, QStringList{"ButtonUp"});
}

TEST(FlatButtonCaption, OriginIsCentredTruncatingTowardZero)
{
    Fixture f(false);
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    const QFontMetrics fm(crispFont(), &probe);
    const int cx = fm.horizontalAdvance(QStringLiteral("Encode"));
    const int cy = fm.height();

    f.button.resize(cx + 3, cy + 5);
    EXPECT_EQ(f.button.captionOrigin(), QPoint(1, 2));
    // A caption larger than the button: -3 / 2 is -1, not -2.
    f.button.resize(cx - 3, cy - 5);
    EXPECT_EQ(f.button.captionOrigin(), QPoint(-1, -2));

    // Setting the caption or the font centres again.
    f.button.resize(cx + 40, cy + 10);
    EXPECT_EQ(f.button.captionOrigin(), QPoint(20, 5));
    f.button.Caption(QStringLiteral("Encode Encode"));
    EXPECT_EQ(f.button.captionOrigin().x(),
              (cx + 40 - fm.horizontalAdvance(QStringLiteral("Encode Encode"))) / 2);
    f.button.Font(crispFont(20));
    const QFontMetrics big(crispFont(20), &probe);
    EXPECT_EQ(f.button.captionOrigin().y(), (cy + 10 - big.height()) / 2);
}

TEST(FlatButtonPointer, BordersCountAsInsideAndLeavingRaisesButtonUp)
{
    Fixture f;
    move(&f.button, QPointF(f.w(), f.h()));
    EXPECT_TRUE(f.button.isHovered());
    EXPECT_EQ(f.events, QStringList{"Hovering"});
    move(&f.button, QPointF(0, 0));
    EXPECT_EQ(f.events, QStringList{"Hovering"}) << "no change, no event";
    EXPECT_EQ(f.px(f.w() / 2, 0), f.role(QPalette::Light)) << "hover look (raised outer edge) drawn";

    move(&f.button, QPointF(f.w() + 1, f.h()));
    EXPECT_FALSE(f.button.isHovered());
    EXPECT_EQ(f.events, (QStringList{"Hovering", "ButtonUp"}));
    move(&f.button, QPointF(-1, 5));
    EXPECT_EQ(f.events.size(), 2);

    // Qt reports the move that leaves as a leave event.
    move(&f.button, QPointF(5, 5));
    leave(&f.button);
    EXPECT_FALSE(f.button.isHovered());
    EXPECT_EQ(f.events, (QStringList{"Hovering", "ButtonUp", "Hovering", "ButtonUp"}));
    // Without a preceding move inside, a leave changes nothing.
    leave(&f.button);
    EXPECT_EQ(f.events.size(), 4);
}

TEST(FlatButtonPointer, PressAndReleaseInsideRaiseMouseDownThenClick)
{
    Fixture f;
    loadBatchForm(f.button, 1);
    f.events.clear();
    QSignalSpy clicks(&f.button, &FlatButton::Click);
    move(&f.button, QPointF(10, 10));
    press(&f.button, QPointF(10, 10));
    EXPECT_TRUE(f.button.isPressed());
    EXPECT_EQ(f.px(3, f.h() / 2), QColor(0xE0, 0xE0, 0xE0)) << "pressed look drawn";
    release(&f.button, QPointF(10, 10));
    EXPECT_EQ(f.events, (QStringList{"Hovering", "MouseDown", "Click"}));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(f.button.isPressed()) << "the pressed flag outlives the click";

    f.button.ResetHover();
    EXPECT_FALSE(f.button.isPressed());
    EXPECT_FALSE(f.button.isHovered());
    EXPECT_EQ(f.events.size(), 3) << "ResetHover draws and raises nothing";
}

TEST(FlatButtonPointer, LeavingWithAButtonHeldAndReleasingOutsideRaisesNoClick)
{
    Fixture f;
    move(&f.button, QPointF(10, 10));
    press(&f.button, QPointF(10, 10));
    move(&f.button, QPointF(f.w() + 5, 10), Qt::LeftButton);
    EXPECT_FALSE(f.button.isHovered());
    EXPECT_FALSE(f.button.isPressed());
    EXPECT_EQ(f.events, (QStringList{"Hovering", "MouseDown", "ButtonUp"}));

    // Back in with the button still held: both flags set, and nothing raised.
    move(&f.button, QPointF(10, 10), Qt::LeftButton);
    EXPECT_TRUE(f.button.isHovered());
    EXPECT_TRUE(f.button.isPressed());
    EXPECT_EQ(f.events.size(), 3);

    // Out again and released there: no click.
    move(&f.button, QPointF(-4, 10), Qt::LeftButton);
    release(&f.button, QPointF(-4, 10));
    EXPECT_EQ(f.events, (QStringList{"Hovering", "MouseDown", "ButtonUp", "ButtonUp"}));
}

TEST(FlatButtonPointer, WithoutSetCapEveryMoveRaisesHoveringAndNoFlagChanges)
{
    Fixture f;
    f.button.SetCap(false);
    move(&f.button, QPointF(10, 10));
    move(&f.button, QPointF(f.w() + 10, 10));
    move(&f.button, QPointF(12, 10));
    leave(&f.button);
    EXPECT_EQ(f.events, (QStringList{"Hovering", "Hovering", "Hovering"}));
    EXPECT_FALSE(f.button.isHovered());
    EXPECT_FALSE(f.button.isPressed());
}

TEST(FlatButtonPointer, MovesAreIgnoredBetweenWindowActivationAndPaint)
{
    Fixture f;
    formflags::noteActivated();
    EXPECT_TRUE(formflags::pointerMovesSuspended());
    move(&f.button, QPointF(10, 10));
    EXPECT_FALSE(f.button.isHovered());
    EXPECT_TRUE(f.events.isEmpty());

    formflags::notePainted();
    EXPECT_FALSE(formflags::activated());
    move(&f.button, QPointF(10, 10));
    EXPECT_TRUE(f.button.isHovered());
    // Once painted, a later activation no longer suspends the moves.
    formflags::noteActivated();
    EXPECT_FALSE(formflags::pointerMovesSuspended());
}

TEST(FlatButtonPointer, DoubleClickSetsPressedSilentlyAndTheReleaseClicks)
{
    Fixture f;
    move(&f.button, QPointF(10, 10));
    press(&f.button, QPointF(10, 10));
    release(&f.button, QPointF(10, 10));
    f.button.ResetHover();
    f.events.clear();
    sendMouse(&f.button, QEvent::MouseButtonDblClick, QPointF(10, 10), Qt::LeftButton,
              Qt::LeftButton);
    EXPECT_TRUE(f.button.isPressed());
    EXPECT_TRUE(f.events.isEmpty()) << f.events.join(' ').toStdString();
    release(&f.button, QPointF(10, 10));
    EXPECT_EQ(f.events, QStringList{"Click"});
}

TEST(FlatButtonProperties, EveryWriteIsAnnouncedUnderThePropertyName)
{
    FlatButton b;
    QStringList names;
    QObject::connect(&b, &FlatButton::propertyChanged, [&](const QString &n) { names << n; });
    b.Font(crispFont());
    b.Caption(QStringLiteral("x"));
    b.Enabled(true);
    b.UpEdge(1);
    b.HoverEdge(1);
    b.DownEdge(1);
    b.UpForeColor(1);
    b.HoverForeColor(1);
    b.DownForeColor(1);
    b.UpBackColor(1);
    b.HoverBackColor(1);
    b.DownBackColor(1);
    b.DownEmbossedColor(1);
    b.SetCap(true);
    EXPECT_EQ(names, (QStringList{"Font", "Caption", "Enabled", "UpEdge", "HoverEdge", "DownEdge",
                                  "UpForeColor", "HoverForeColor", "DownForeColor", "UpBackColor",
                                  "HoverBackColor", "DownBackColor", "DownEmbossedColor",
                                  "SetCap"}));
    EXPECT_EQ(b.UpBackColor(), 1u);
    EXPECT_EQ(b.DownEmbossedColor(), 1u);
}
