#include "FlatButton.h"

#include "EdgeDrawing.h"
#include "FormFlags.h"
#include "SystemColors.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace ws {

namespace {

constexpr quint32 kDisabledLightColor = systemColorValue(SysButtonHighlight);
constexpr quint32 kDisabledDarkColor = systemColorValue(SysButtonShadow);
constexpr quint32 kEdgeFlags = EdgeAllSides | EdgeSoft;

// What screen readers see: a push button named by its caption, whose press
// does what a click does (the button is pressed, then clicked).
class FlatButtonAccessible : public QAccessibleWidget {
public:
    explicit FlatButtonAccessible(FlatButton *button) : QAccessibleWidget(button, QAccessible::Button) {}
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString &name) override
    {
        auto *button = static_cast<FlatButton *>(widget());
        if (name != pressAction())
            QAccessibleWidget::doAction(name);
        else if (button->isEnabled()) {
            emit button->MouseDown();
            emit button->Click();
        }
    }
};

QAccessibleInterface *accessibleFlatButton(const QString &className, QObject *object)
{
    if (className == QLatin1String("ws::FlatButton") && object && object->isWidgetType())
        return new FlatButtonAccessible(static_cast<FlatButton *>(object));
    return nullptr;
}

} // namespace

FlatButton::FlatButton(QWidget *parent, const QString &displayName)
    : QWidget(parent), displayName_(displayName)
{
    static const bool accessible = (QAccessible::installFactory(accessibleFlatButton), true);
    Q_UNUSED(accessible);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    font_ = ambientFont();
    caption_ = ambientDisplayName();
    setAccessibleName(caption_);
    makeSurface();
}

QFont FlatButton::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

QString FlatButton::ambientDisplayName() const
{
    return displayName_.isEmpty() ? objectName() : displayName_;
}

QColor FlatButton::colorOf(quint32 value) const { return systemColor(value, palette()); }

QSize FlatButton::sizeHint() const
{
    const QFontMetrics fm(font_);
    return QSize(fm.horizontalAdvance(caption_) + 16, fm.height() + 10);
}

// --- properties -------------------------------------------------------------

void FlatButton::changed(const char *name) { emit propertyChanged(QString::fromLatin1(name)); }

void FlatButton::Font(const QFont &font)
{
    font_ = font;
    changed("Font");
    CenterCaption();
    Paint();
}

void FlatButton::Caption(const QString &caption)
{
    caption_ = caption;
    setAccessibleName(caption_);
    changed("Caption");
    CenterCaption();
    Paint();
    updateGeometry();
}

void FlatButton::Enabled(bool enabled)
{
    enabled_ = enabled;
    QWidget::setEnabled(enabled);
    changed("Enabled");
    Paint();
}

void FlatButton::UpEdge(quint32 edge)
{
    upEdge_ = edge;
    changed("UpEdge");
    Paint();
}

void FlatButton::HoverEdge(quint32 edge)
{
    hoverEdge_ = edge;
    changed("HoverEdge");
}

void FlatButton::DownEdge(quint32 edge)
{
    downEdge_ = edge;
    changed("DownEdge");
}

void FlatButton::UpForeColor(quint32 color)
{
    upFore_ = color;
    changed("UpForeColor");
    Paint();
}

void FlatButton::HoverForeColor(quint32 color)
{
    hoverFore_ = color;
    changed("HoverForeColor");
}

void FlatButton::DownForeColor(quint32 color)
{
    downFore_ = color;
    changed("DownForeColor");
}

void FlatButton::UpBackColor(quint32 color)
{
    upBack_ = color;
    changed("UpBackColor");
    Paint();
}

void FlatButton::HoverBackColor(quint32 color)
{
    hoverBack_ = color;
    changed("HoverBackColor");
}

void FlatButton::DownBackColor(quint32 color)
{
    downBack_ = color;
    changed("DownBackColor");
}

void FlatButton::DownEmbossedColor(quint32 color)
{
    downEmbossed_ = color;
    changed("DownEmbossedColor");
}

void FlatButton::SetCap(bool capture)
{
    setCap_ = capture;
    changed("SetCap");
}

// --- drawing ----------------------------------------------------------------

void FlatButton::makeSurface()
{
    const qreal dpr = devicePixelRatioF();
    surface_ = QImage(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    surface_.setDevicePixelRatio(dpr);
    surface_.fill(colorOf(backColor_));
}

void FlatButton::clearSurface(QPainter &painter)
{
    painter.fillRect(QRect(QPoint(0, 0), size()), colorOf(backColor_));
}

// Captions are drawn with a transparent text background, at whole pixels.
void FlatButton::drawCaption(QPainter &painter, quint32 color, QPoint at)
{
    painter.setFont(font_);
    painter.setPen(colorOf(color));
    const QFontMetrics fm(font_, &surface_);
    painter.drawText(at.x(), at.y() + fm.ascent(), caption_);
}

void FlatButton::surfaceChanged()
{
    // Inside a paint event the surface is shown right after; elsewhere the
    // coming paint only shows what was drawn and must not count as a request
    // from the window system.
    if (!inPaintEvent_) {
        drawPending_ = true;
        update();
    }
}

void FlatButton::DrawUp()
{
    backColor_ = upBack_;
    QPainter p(&surface_);
    clearSurface(p);
    if (upEdge_ != 0)
        drawEdge(p, drawRect_, upEdge_, kEdgeFlags, palette());
    drawCaption(p, upFore_, origin_);
    p.end();
    surfaceChanged();
}

void FlatButton::DrawHover()
{
    backColor_ = hoverBack_;
    QPainter p(&surface_);
    clearSurface(p);
    drawEdge(p, drawRect_, hoverEdge_, kEdgeFlags, palette());
    drawCaption(p, hoverFore_, origin_);
    p.end();
    surfaceChanged();
}

void FlatButton::DrawPressed()
{
    backColor_ = downBack_;
    QPainter p(&surface_);
    clearSurface(p);
    drawEdge(p, drawRect_, downEdge_, kEdgeFlags, palette());
    drawCaption(p, downEmbossed_, origin_);
    drawCaption(p, downFore_, origin_ + QPoint(1, 1));
    p.end();
    surfaceChanged();
}

void FlatButton::DrawDisabled()
{
    QPainter p(&surface_);
    clearSurface(p);
    drawCaption(p, kDisabledLightColor, origin_ + QPoint(1, 1));
    drawCaption(p, kDisabledDarkColor, origin_);
    p.end();
    surfaceChanged();
}

void FlatButton::ResetHover()
{
    hover_ = false;
    pressed_ = false;
}

WId FlatButton::hwnd() const { return effectiveWinId(); }

void FlatButton::CenterCaption()
{
    const QFontMetrics fm(font_, &surface_);
    const int cx = fm.horizontalAdvance(caption_);
    const int cy = fm.height();
    // Integer division truncates toward zero, also for a caption wider than
    // the button (negative origin, clipped on both sides).
    origin_ = QPoint((drawRect_.width() - cx) / 2, (drawRect_.height() - cy) / 2);
}

void FlatButton::Paint()
{
    if (!enabled_) {
        DrawDisabled();
        return;
    }
    if (!pressed_) {
        if (hover_)
            emit Hovering();
        else
            emit ButtonUp();
    }
}

void FlatButton::paintEvent(QPaintEvent *)
{
    if (!drawPending_) {
        inPaintEvent_ = true;
        Paint();
        inPaintEvent_ = false;
    }
    drawPending_ = false;
    QPainter p(this);
    p.drawImage(0, 0, surface_);
}

void FlatButton::resizeEvent(QResizeEvent *)
{
    drawRect_ = QRect(0, 0, width(), height());
    widthUnits_ = width();
    heightUnits_ = height();
    makeSurface();
    CenterCaption();
    Paint();
}

// --- pointer ----------------------------------------------------------------

// While the pointer is over the button with SetCap on, the button holds a
// "capture": the move that leaves it must still reach it. Qt reports that
// move as a leave event (and, with a button held, as moves outside the
// widget), so the capture is a flag that lets leaveEvent stand in for the move.
void FlatButton::setCapture() { captured_ = true; }

void FlatButton::releaseCapture() { captured_ = false; }

void FlatButton::pointerMoved(Qt::MouseButtons buttons, double x, double y)
{
    if (formflags::pointerMovesSuspended())
        return;
    releaseCapture();
    const bool inside = x >= 0 && y >= 0 && x <= widthUnits_ && y <= heightUnits_;
    if (inside && setCap_)
        setCapture();
    if (!setCap_) {
        emit Hovering();
        return;
    }
    if (hover_ == inside)
        return;
    if (buttons != Qt::NoButton)
        pressed_ = true;
    hover_ = inside;
    if (!inside)
        pressed_ = false;
    Paint();
}

void FlatButton::mouseMoveEvent(QMouseEvent *event)
{
    pointerMoved(event->buttons(), event->position().x(), event->position().y());
}

void FlatButton::leaveEvent(QEvent *)
{
    if (captured_)
        pointerMoved(QApplication::mouseButtons(), -1, -1);
}

void FlatButton::mousePressEvent(QMouseEvent *)
{
    releaseCapture();
    pressed_ = true;
    emit MouseDown();
}

void FlatButton::mouseReleaseEvent(QMouseEvent *)
{
    releaseCapture();
    if (pressed_)
        emit Click();
}

void FlatButton::mouseDoubleClickEvent(QMouseEvent *)
{
    pressed_ = true;
    Paint();
}

// --- stored form ------------------------------------------------------------

void FlatButton::WriteProperties(PropertyBag &bag) const
{
    bag.writeProperty(QStringLiteral("Font"), font_, ambientFont());
    bag.writeProperty(QStringLiteral("Caption"), caption_, ambientDisplayName());
    bag.writeProperty(QStringLiteral("Enabled"), enabled_, true);
    bag.writeProperty(QStringLiteral("SetCap"), setCap_, true);
    bag.writeProperty(QStringLiteral("UpForeColor"), upFore_, DefaultUpForeColor);
    bag.writeProperty(QStringLiteral("DownForeColor"), downFore_, DefaultDownForeColor);
    bag.writeProperty(QStringLiteral("HoverForeColor"), hoverFore_, DefaultHoverForeColor);
    bag.writeProperty(QStringLiteral("UpBackColor"), upBack_, DefaultBackColor);
    bag.writeProperty(QStringLiteral("DownBackColor"), downBack_, DefaultBackColor);
    bag.writeProperty(QStringLiteral("HoverBackColor"), hoverBack_, DefaultBackColor);
    bag.writeProperty(QStringLiteral("UpEdge"), upEdge_, DefaultUpEdge);
    bag.writeProperty(QStringLiteral("DownEdge"), downEdge_, DefaultDownEdge);
    bag.writeProperty(QStringLiteral("HoverEdge"), hoverEdge_, DefaultHoverEdge);
    bag.writeProperty(QStringLiteral("DownEmbossedColor"), downEmbossed_,
                      DefaultDownEmbossedColor);
}

void FlatButton::ReadProperties(const PropertyBag &bag)
{
    if (auto f = fontFromVariant(bag.readProperty(QStringLiteral("Font"), ambientFont())))
        Font(*f);
    if (auto s = stringFromVariant(bag.readProperty(QStringLiteral("Caption"), ambientDisplayName())))
        Caption(*s);
    if (auto b = boolFromVariant(bag.readProperty(QStringLiteral("Enabled"), true)))
        Enabled(*b);
    if (auto b = boolFromVariant(bag.readProperty(QStringLiteral("SetCap"), true)))
        SetCap(*b);

    using Setter = void (FlatButton::*)(quint32);
    const struct {
        const char *key;
        Setter set;
        quint32 def;
    } numbers[] = {
        {"UpForeColor", &FlatButton::UpForeColor, DefaultUpForeColor},
        {"DownForeColor", &FlatButton::DownForeColor, DefaultDownForeColor},
        {"HoverForeColor", &FlatButton::HoverForeColor, DefaultHoverForeColor},
        {"UpEdge", &FlatButton::UpEdge, DefaultUpEdge},
        {"DownEdge", &FlatButton::DownEdge, DefaultDownEdge},
        {"HoverEdge", &FlatButton::HoverEdge, DefaultHoverEdge},
        {"UpBackColor", &FlatButton::UpBackColor, DefaultBackColor},
        {"DownBackColor", &FlatButton::DownBackColor, DefaultBackColor},
        {"HoverBackColor", &FlatButton::HoverBackColor, DefaultBackColor},
        {"DownEmbossedColor", &FlatButton::DownEmbossedColor, DefaultDownEmbossedColor},
    };
    for (const auto &n : numbers) {
        if (auto v = uint32FromVariant(bag.readProperty(QString::fromLatin1(n.key), n.def)))
            (this->*n.set)(*v);
    }
}

} // namespace ws
