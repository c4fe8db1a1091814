// The link label: clamping and refused values, the jump with BeforeJump and
// Cancel, hover colours through enter and leave, layout and mask, and the
// stored form with its doubled caption and font.
#include "ControlsTestSupport.h"

#include "ControlError.h"
#include "DesktopLinks.h"
#include "LinkLabel.h"
#include "StoredForms.h"
#include "UserGuide.h"

#include <QEnterEvent>
#include <QJsonDocument>
#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace ws;
using namespace ctltest;

namespace {

struct Fixture {
    QWidget host;
    LinkLabel *label;
    QList<QUrl> opened;
    ScopedUrlOpener opener{[this](const QUrl &u) {
        opened << u;
        return true;
    }};

    Fixture()
    {
        host.setAttribute(Qt::WA_DontShowOnScreen);
        label = new LinkLabel(&host, QStringLiteral("EtsLinkLabel9"));
        label->Font(crispFont());
        label->Caption(QStringLiteral("Wavesmithy"));
        host.resize(300, 100);
        host.show();
    }

    void enter()
    {
        const QPointF p(2, 2);
        QEnterEvent e(p, p, label->mainLabel()->mapToGlobal(p));
        QApplication::sendEvent(label->mainLabel(), &e);
    }
    void leaveMain() { leave(label->mainLabel()); }
    void click()
    {
        press(label->mainLabel(), QPointF(2, 2));
        release(label->mainLabel(), QPointF(2, 2));
    }
    QColor mainColor() const { return label->mainLabel()->palette().color(QPalette::WindowText); }
    bool underlined() const { return label->mainLabel()->font().underline(); }
};

} // namespace

TEST(LinkLabelProperties, ShadowOffsetsAreClampedAndRefusedValuesChangeNothing)
{
    Fixture f;
    QSignalSpy changes(f.label, &LinkLabel::propertyChanged);
    f.label->DropColorAngleLeft(80);
    EXPECT_EQ(f.label->DropColorAngleLeft(), 50);
    f.label->DropColorAngleTop(-70);
    EXPECT_EQ(f.label->DropColorAngleTop(), -50);
    f.label->DropColorAngleTop(-7);
    EXPECT_EQ(f.label->DropColorAngleTop(), -7);
    EXPECT_EQ(changes.count(), 3);

    for (int bad : {2, -1, 255}) {
        try {
            f.label->BackStyle(bad);
            ADD_FAILURE() << "BackStyle " << bad << " accepted";
        } catch (const ControlError &e) {
            EXPECT_EQ(e.number(), 380);
            EXPECT_EQ(e.source(), QStringLiteral("HyperLabel.BackStyle"));
            EXPECT_EQ(e.description(), QStringLiteral("Illegal Property Value"));
        }
        try {
            f.label->Style(bad);
            ADD_FAILURE() << "Style " << bad << " accepted";
        } catch (const ControlError &e) {
            EXPECT_EQ(e.number(), 380);
            EXPECT_EQ(e.source(), QStringLiteral("HyperLabel.Style"));
        }
    }
    EXPECT_EQ(f.label->BackStyle(), 1);
    EXPECT_EQ(f.label->Style(), 0);
    EXPECT_TRUE(f.label->autoFillBackground());
    EXPECT_EQ(changes.count(), 3) << "a refused value is not announced";

    // Setting Style to its current value still notifies, without a new layout.
    QSignalSpy resizes(f.label, &LinkLabel::Resize);
    f.label->Style(0);
    EXPECT_EQ(changes.count(), 4);
    EXPECT_EQ(changes.last().at(0).toString(), QStringLiteral("Style"));
    EXPECT_EQ(resizes.count(), 0);

    f.label->BackStyle(0);
    EXPECT_FALSE(f.label->autoFillBackground());
}

TEST(LinkLabelJump, BeforeJumpMayCancelAndClickIsRaisedEitherWay)
{
    Fixture f;
    f.label->URL(QStringLiteral("https://example.com/a"));
    QStringList events;
    bool cancel = false;
    QObject::connect(f.label, &LinkLabel::BeforeJump, [&](bool &c) {
        events << "BeforeJump";
        EXPECT_FALSE(c);
        c = cancel;
    });
    QObject::connect(f.label, &LinkLabel::Click, [&] { events << "Click"; });

    f.click();
    EXPECT_EQ(events, (QStringList{"BeforeJump", "Click"}));
    ASSERT_EQ(f.opened.size(), 1);
    EXPECT_EQ(f.opened.at(0), QUrl(QStringLiteral("https://example.com/a")));

    cancel = true;
    events.clear();
    f.click();
    EXPECT_EQ(events, (QStringList{"BeforeJump", "Click"}));
    EXPECT_EQ(f.opened.size(), 1) << "cancelled";

    // An empty address: the events come, nothing is opened.
    cancel = false;
    events.clear();
    f.label->URL(QString());
    f.click();
    EXPECT_EQ(events, (QStringList{"BeforeJump", "Click"}));
    EXPECT_EQ(f.opened.size(), 1);

    // A release away from the label is no click.
    events.clear();
    press(f.label->mainLabel(), QPointF(2, 2));
    release(f.label->mainLabel(), QPointF(-20, 2));
    EXPECT_TRUE(events.isEmpty());
}

TEST(LinkLabelJump, HyperJumpReportsTheDesktopsAnswer)
{
    Fixture f;
    EXPECT_EQ(f.label->HyperJump(QString()), 0);
    EXPECT_TRUE(f.opened.isEmpty());
    EXPECT_GT(f.label->HyperJump(QStringLiteral("https://example.com/")), 32);

    ScopedUrlOpener refusing([](const QUrl &) { return false; });
    const int r = f.label->HyperJump(QStringLiteral("/no/such/guide.html"));
    EXPECT_GT(r, 0);
    EXPECT_LE(r, 32);

    // Local paths become file URLs, other addresses keep their scheme.
    EXPECT_EQ(urlFromAddress(QStringLiteral("/tmp/x y.html")), QUrl::fromLocalFile("/tmp/x y.html"));
    EXPECT_EQ(urlFromAddress(QStringLiteral("file:///tmp/g.html#companion-tools")).fragment(),
              QStringLiteral("companion-tools"));
    EXPECT_EQ(urlFromAddress(QStringLiteral("www.example.com")).scheme(), QStringLiteral("http"));
}

TEST(LinkLabelHover, EnterShowsTheLinkLookAndLeaveRestoresIt)
{
    Fixture f;
    f.label->ForeColor(0x00FF0000);
    f.label->LinkColor(0x000000FF);
    const QColor fore(0, 0, 255), link(255, 0, 0);
    EXPECT_EQ(f.mainColor(), fore);
    EXPECT_FALSE(f.underlined());
    EXPECT_TRUE(f.label->shadowLabel()->isVisible());

    f.enter();
    EXPECT_TRUE(f.label->isHovering());
    EXPECT_EQ(f.mainColor(), link);
    EXPECT_TRUE(f.underlined());
    EXPECT_FALSE(f.label->shadowLabel()->isVisible());
    // What is drawn: the link colour, and no shadow colour.
    const QImage shown = f.label->grab().toImage();
    EXPECT_GT(countColor(shown, link), 0);
    EXPECT_EQ(countColor(shown, f.label->colorOf(f.label->DropColor())), 0);

    f.leaveMain();
    EXPECT_FALSE(f.label->isHovering());
    EXPECT_EQ(f.mainColor(), fore);
    EXPECT_FALSE(f.underlined());
    EXPECT_TRUE(f.label->shadowLabel()->isVisible());

    // Clicking while hovering ends the hover.
    f.enter();
    f.click();
    EXPECT_FALSE(f.label->isHovering());
    EXPECT_EQ(f.mainColor(), fore);

    // No hover without an address.
    f.label->URL(QString());
    f.enter();
    EXPECT_FALSE(f.label->isHovering());
}

TEST(LinkLabelHover, WithoutHoverTheCaptionIsAlwaysALinkAndKeepsItsShadow)
{
    Fixture f;
    f.label->LinkColor(0x000000FF);
    f.label->Hover(false);
    EXPECT_EQ(f.mainColor(), QColor(255, 0, 0));
    EXPECT_TRUE(f.underlined());
    f.enter();
    EXPECT_FALSE(f.label->isHovering());
    EXPECT_TRUE(f.label->shadowLabel()->isVisible());
    const QImage shown = f.label->grab().toImage();
    EXPECT_GT(countColor(shown, QColor(255, 0, 0)), 0);
    EXPECT_GT(countColor(shown, QColor(255, 255, 255)), 0) << "shadow drawn";
}

TEST(LinkLabelLayout, SizeFollowsTheCaptionAndShadowOffsetWithAMatchingMask)
{
    Fixture f;
    QSignalSpy resizes(f.label, &LinkLabel::Resize);
    QSignalSpy changes(f.label, &LinkLabel::Change);
    f.label->DropColorAngleLeft(30); // two pixels
    f.label->DropColorAngleTop(45);  // three pixels
    const QSize main = f.label->mainLabel()->size();
    EXPECT_EQ(f.label->size(), main + QSize(2, 3));
    EXPECT_EQ(f.label->shadowLabel()->pos(), QPoint(2, 3));
    EXPECT_EQ(f.label->mask().boundingRect(), QRect(QPoint(0, 0), f.label->size()));
    EXPECT_EQ(f.label->ScaleWidth(), f.label->width() * 15);
    EXPECT_GT(resizes.count(), 0);

    // A longer caption widens the control and is announced.
    const int before = f.label->width();
    f.label->Caption(QStringLiteral("Wavesmithy and more"));
    EXPECT_GT(f.label->width(), before);
    EXPECT_EQ(f.label->Caption2(), QStringLiteral("Wavesmithy and more"));
    EXPECT_GT(changes.count(), 0);
    EXPECT_EQ(f.label->width(), f.label->mainLabel()->width() + 2);

    // Picture style: the control takes the picture's size; none shows the default picture.
    changes.clear();
    f.label->Style(1);
    EXPECT_FALSE(f.label->mainLabel()->isVisible());
    EXPECT_TRUE(f.label->pictureBox()->isVisible());
    EXPECT_EQ(f.label->size(), f.label->defaultPicture().size());
    QPixmap pic(50, 20);
    pic.fill(Qt::green);
    f.label->Picture(pic);
    EXPECT_EQ(f.label->size(), QSize(50, 20));
    EXPECT_EQ(changes.count(), 1);
    f.label->Picture(QPixmap());
    EXPECT_EQ(f.label->pictureBox()->pixmap().toImage(), f.label->defaultPicture().toImage());
    // A caption change in picture style lays nothing out.
    changes.clear();
    f.label->Caption(QStringLiteral("x"));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(f.label->size(), f.label->defaultPicture().size());
}

TEST(LinkLabelStoredForm, BothCaptionsAndFontsAreWrittenAndOffsetsUseTheirDefaults)
{
    Fixture f;
    PropertyBag fresh;
    f.label->WriteProperties(fresh);
    // A new instance differs from the persisted defaults in its shadow offset
    // and (here) its caption and font.
    EXPECT_EQ(fresh.names(), (QStringList{"Caption", "Font", "Caption", "Font",
                                          "DropColorAngleLeft", "DropColorAngleTop"}));

    // An instance stored with 15 keeps 15; one without the key loads 0.
    LinkLabel loaded(&f.host, QStringLiteral("EtsLinkLabel9"));
    loaded.ReadProperties(fresh);
    EXPECT_EQ(loaded.DropColorAngleLeft(), 15);
    EXPECT_EQ(loaded.Caption(), QStringLiteral("Wavesmithy"));
    EXPECT_EQ(loaded.Caption2(), QStringLiteral("Wavesmithy"));
    const QByteArray noOffsets = R"([["caption", "Guide"], ["linkcolor", "0x000000FF"],
                                     ["hover", false], ["backstyle", 7]])";
    loaded.ReadProperties(PropertyBag::fromJson(QJsonDocument::fromJson(noOffsets).array()));
    EXPECT_EQ(loaded.DropColorAngleLeft(), 0);
    EXPECT_EQ(loaded.DropColorAngleTop(), 0);
    EXPECT_EQ(loaded.Caption(), QStringLiteral("Guide"));
    EXPECT_EQ(loaded.LinkColor(), 0x000000FFu);
    EXPECT_FALSE(loaded.Hover());
    EXPECT_EQ(loaded.BackStyle(), 1) << "a refused stored value leaves the current one";
    EXPECT_EQ(loaded.size(), loaded.mainLabel()->size());
}

TEST(LinkLabelStoredForm, MainWindowLinksLeadIntoTheGuide)
{
    QWidget host;
    const MainWindowLinks links = createMainWindowLinks(&host);
    ASSERT_TRUE(links.guide && links.companionTools);
    EXPECT_EQ(links.guide->Caption(), QStringLiteral("The Wavesmithy Guide"));
    EXPECT_EQ(links.guide->objectName(), QStringLiteral("EtsLinkLabel2"));
    EXPECT_EQ(links.companionTools->objectName(), QStringLiteral("EtsLinkLabel1"));
    for (const LinkLabel *l : {links.guide, links.companionTools}) {
        EXPECT_EQ(l->ForeColor(), 0x00FF0000u);
        EXPECT_EQ(l->LinkColor(), 0x000000FFu);
        EXPECT_EQ(l->DropColorAngleLeft(), 15);
        EXPECT_EQ(l->DropColorAngleTop(), 15);
        EXPECT_EQ(l->Caption2(), l->Caption());
        const QUrl url(l->URL());
        EXPECT_TRUE(url.isLocalFile());
        EXPECT_EQ(url.toLocalFile(), guidePath());
    }
    EXPECT_EQ(QUrl(links.companionTools->URL()).fragment(), QStringLiteral("companion-tools"));
    // A one-pixel shadow (15 twips).
    EXPECT_EQ(links.guide->shadowLabel()->pos(), QPoint(1, 1));
}
