#include "LinkLabel.h"

#include "ControlError.h"
#include "DesktopLinks.h"
#include "RectMask.h"
#include "SystemColors.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace ws {

const QString LinkLabel::DefaultURL = QStringLiteral("https://example.com/");

namespace {

const QString kIllegalValue = QStringLiteral("Illegal Property Value");

// The built-in picture: a small globe.
QPixmap makeDefaultPicture()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 160), 1.5));
    p.setBrush(QColor(170, 200, 255));
    p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(9.5, 2.5, 13, 27));
    p.drawLine(QPointF(16, 2.5), QPointF(16, 29.5));
    p.drawLine(QPointF(2.5, 16), QPointF(29.5, 16));
    p.drawLine(QPointF(5, 9), QPointF(27, 9));
    p.drawLine(QPointF(5, 23), QPointF(27, 23));
    return pm;
}

// Success and failure results of the jump, in the shell's convention.
constexpr int kJumpOpened = 33;
constexpr int kJumpNoApplication = 31;

} // namespace

LinkLabel::LinkLabel(QWidget *parent, const QString &displayName)
    : QWidget(parent), displayName_(displayName)
{
    setObjectName(QStringLiteral("HyperLabel"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    busy_ = true;
    // Created back to front: the shadow is drawn under the main label.
    label2_ = new QLabel(this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label1_ = new QLabel(this);
    label1_->setObjectName(QStringLiteral("Label1"));
    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    for (QLabel *l : {label1_, label2_}) {
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setAutoFillBackground(false);
        l->setContentsMargins(0, 0, 0, 0);
        l->setMargin(0);
    }
    label2_->setAttribute(Qt::WA_TransparentForMouseEvents);
    label1_->installEventFilter(this);
    image1_->installEventFilter(this);
    setCursor(Qt::PointingHandCursor);

    defaultPicture_ = makeDefaultPicture();
    label1_->move(0, 0);
    image1_->move(0, 0);
    image1_->hide();
    showPicture();

    font_ = ambientFont();
    url_ = DefaultURL;
    setLabelFont(label1_, font_);
    setLabelFont(label2_, font_);
    setLabelCaption(label1_, ambientDisplayName());
    setLabelCaption(label2_, ambientDisplayName());
    setLabelColor(label1_, foreColor_);
    setLabelColor(label2_, dropColor_);
    moveShadow();
    applyBackground();
    busy_ = false;
    ArrangeLabels();
}

QFont LinkLabel::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

QString LinkLabel::ambientDisplayName() const
{
    return displayName_.isEmpty() ? objectName() : displayName_;
}

QColor LinkLabel::colorOf(quint32 value) const { return systemColor(value, palette()); }

int LinkLabel::pixels(int twips) { return qRound(double(twips) / TwipsPerPixel); }

void LinkLabel::changed(const char *name) { emit propertyChanged(QString::fromLatin1(name)); }

// --- parts ------------------------------------------------------------------

void LinkLabel::setLabelCaption(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    label->adjustSize();
    // A caption change of either label lays the control out (text style only).
    if (style_ == 0) {
        ArrangeLabels();
        emit Change();
    }
}

void LinkLabel::setLabelFont(QLabel *label, const QFont &font)
{
    label->setFont(font);
    label->adjustSize();
}

void LinkLabel::setLabelColor(QLabel *label, quint32 color)
{
    const QColor c = colorOf(color);
    if (label->palette().color(QPalette::WindowText) == c)
        return;
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, c);
    label->setPalette(pal);
}

void LinkLabel::applyBackground()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colorOf(backColor_));
    setPalette(pal);
    setAutoFillBackground(backStyle_ == 1);
}

void LinkLabel::showPicture()
{
    image1_->setPixmap(picture_.isNull() ? defaultPicture_ : picture_);
    image1_->adjustSize();
}

void LinkLabel::moveShadow() { label2_->move(pixels(dropLeft_), pixels(dropTop_)); }

void LinkLabel::ArrangeLabels()
{
    busy_ = true;
    if (style_ == 1) {
        if (label1_->isVisibleTo(this))
            label1_->hide();
        if (label2_->isVisibleTo(this))
            label2_->hide();
        if (!image1_->isVisibleTo(this))
            image1_->show();
        clearMask();
        resize(image1_->size());
    } else {
        if (image1_->isVisibleTo(this))
            image1_->hide();
        if (!label1_->isVisibleTo(this))
            label1_->show();
        if (!label2_->isVisibleTo(this))
            label2_->show();
        const int w = qMax(0, label1_->width() + pixels(dropLeft_));
        const int h = qMax(0, label1_->height() + pixels(dropTop_));
        resize(w, h);
        setMask(rectangularMask(ScaleWidth(), ScaleHeight(), TwipsPerPixel));
        label2_->setGeometry(pixels(dropLeft_), pixels(dropTop_), w, h);
    }
    updateGeometry();
    busy_ = false;
    emit Resize();
}

// --- properties -------------------------------------------------------------

void LinkLabel::BackColor(quint32 color)
{
    backColor_ = color;
    applyBackground();
    changed("BackColor");
}

void LinkLabel::BackStyle(int style)
{
    if (style != 0 && style != 1)
        throw ControlError(IllegalPropertyValueError, QStringLiteral("HyperLabel.BackStyle"),
                           kIllegalValue);
    backStyle_ = style;
    applyBackground();
    changed("BackStyle");
}

QString LinkLabel::Caption() const { return label1_->text(); }

QString LinkLabel::Caption2() const { return label2_->text(); }

void LinkLabel::Caption(const QString &caption)
{
    setLabelCaption(label1_, caption);
    setLabelCaption(label2_, label1_->text());
    changed("Caption");
}

void LinkLabel::ForeColor(quint32 color)
{
    foreColor_ = color;
    Refresh();
    changed("ForeColor");
}

// The shadow label follows DropColor whenever it is set, not only when the
// control is created.
void LinkLabel::DropColor(quint32 color)
{
    dropColor_ = color;
    setLabelColor(label2_, dropColor_);
    Refresh();
    changed("DropColor");
}

void LinkLabel::DropColorAngleLeft(int twips)
{
    dropLeft_ = qBound(-DropAngleLimit, twips, DropAngleLimit);
    // Laid out here too, so the shadow moves even when Refresh leaves the
    // layout alone (Hover off, or while hovering).
    if (style_ == 0)
        ArrangeLabels();
    Refresh();
    changed("DropColorAngleLeft");
}

void LinkLabel::DropColorAngleTop(int twips)
{
    dropTop_ = qBound(-DropAngleLimit, twips, DropAngleLimit);
    if (style_ == 0)
        ArrangeLabels();
    Refresh();
    changed("DropColorAngleTop");
}

void LinkLabel::Enabled(bool enabled)
{
    enabled_ = enabled;
    QWidget::setEnabled(enabled);
    changed("Enabled");
}

void LinkLabel::Font(const QFont &font)
{
    font_ = font;
    setLabelFont(label1_, font_);
    setLabelFont(label2_, font_);
    ArrangeLabels();
    Refresh();
    changed("Font");
}

void LinkLabel::Hover(bool hover)
{
    hover_ = hover;
    Refresh();
    changed("Hover");
}

void LinkLabel::LinkColor(quint32 color)
{
    linkColor_ = color;
    Refresh();
    changed("LinkColor");
}

void LinkLabel::Picture(const QPixmap &picture)
{
    picture_ = picture;
    showPicture();
    if (style_ == 1) {
        ArrangeLabels();
        emit Change();
    }
    changed("Picture");
}

void LinkLabel::Style(int style)
{
    if (style != 0 && style != 1)
        throw ControlError(IllegalPropertyValueError, QStringLiteral("HyperLabel.Style"),
                           kIllegalValue);
    if (style != style_) {
        style_ = style;
        hovering_ = false;
        ArrangeLabels();
        Refresh();
    }
    changed("Style");
}

void LinkLabel::URL(const QString &url)
{
    url_ = url;
    changed("URL");
}

int LinkLabel::ScaleHeight() const { return height() * TwipsPerPixel; }

int LinkLabel::ScaleWidth() const { return width() * TwipsPerPixel; }

// --- behaviour --------------------------------------------------------------

int LinkLabel::HyperJump(const QString &address)
{
    if (address.isEmpty())
        return 0;
    setCursor(Qt::WaitCursor);
    const bool opened = openUrl(urlFromAddress(address));
    setCursor(Qt::PointingHandCursor);
    return opened ? kJumpOpened : kJumpNoApplication;
}

void LinkLabel::Refresh()
{
    if (style_ == 0) {
        // Without Hover the caption always shows as a link.
        const bool linkLook = !hover_ || hovering_;
        setLabelColor(label1_, linkLook ? linkColor_ : foreColor_);
        QFont f = label1_->font();
        if (f.underline() != linkLook) {
            f.setUnderline(linkLook);
            label1_->setFont(f);
        }
        busy_ = true;
        label1_->update();
        busy_ = false;
    }
    if (hover_) {
        if (hovering_) {
            label2_->hide();
        } else {
            label2_->show();
            ArrangeLabels();
            busy_ = true;
            label2_->update();
            busy_ = false;
        }
    }
    busy_ = true;
    label2_->update();
    if (style_ == 1)
        image1_->update();
    busy_ = false;
}

void LinkLabel::clicked()
{
    busy_ = true;
    bool cancel = false;
    emit BeforeJump(cancel);
    if (!cancel)
        HyperJump(url_);
    busy_ = false;
    emit Click();
}

bool LinkLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != label1_ && watched != image1_)
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (watched == label1_ && style_ == 0 && !busy_ && hover_ && !url_.isEmpty()
            && !hovering_) {
            hovering_ = true;
            Refresh();
        }
        break;
    case QEvent::Leave:
        if (watched == label1_ && hover_ && hovering_) {
            hovering_ = false;
            Refresh();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // Taken, so that the release comes back to this part.
        return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonRelease: {
        auto *me = static_cast<QMouseEvent *>(event);
        auto *part = static_cast<QWidget *>(watched);
        if (me->button() != Qt::LeftButton || !part->rect().contains(me->position().toPoint()))
            return false;
        const bool wasHovering = hovering_;
        clicked();
        // A click while hovering ends the hover; the next move starts it again.
        if (wasHovering) {
            hovering_ = false;
            Refresh();
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void LinkLabel::resizeEvent(QResizeEvent *)
{
    if (!busy_)
        ArrangeLabels();
}

void LinkLabel::showEvent(QShowEvent *)
{
    if (!busy_)
        Refresh();
}

// --- stored form ------------------------------------------------------------

void LinkLabel::WriteProperties(PropertyBag &bag) const
{
    const QFont ambient = ambientFont();
    const QString name = ambientDisplayName();
    // Both captions and both fonts, each pair under the same key.
    bag.writeProperty(QStringLiteral("Caption"), label1_->text(), name);
    bag.writeProperty(QStringLiteral("Font"), font_, ambient);
    bag.writeProperty(QStringLiteral("Caption"), label2_->text(), name);
    bag.writeProperty(QStringLiteral("Font"), font_, ambient);
    bag.writeProperty(QStringLiteral("BackStyle"), backStyle_, 1);
    bag.writeProperty(QStringLiteral("Enabled"), enabled_, true);
    bag.writeProperty(QStringLiteral("BackColor"), backColor_, DefaultBackColor);
    bag.writeProperty(QStringLiteral("ForeColor"), foreColor_, DefaultForeColor);
    bag.writeProperty(QStringLiteral("DropColor"), dropColor_, DefaultDropColor);
    bag.writeProperty(QStringLiteral("DropColorAngleLeft"), dropLeft_, 0);
    bag.writeProperty(QStringLiteral("DropColorAngleTop"), dropTop_, 0);
    bag.writeProperty(QStringLiteral("Hover"), hover_, true);
    bag.writeProperty(QStringLiteral("LinkColor"), linkColor_, DefaultLinkColor);
    bag.writeProperty(QStringLiteral("Style"), style_, 0);
    bag.writeProperty(QStringLiteral("Picture"), picture_, QPixmap());
    bag.writeProperty(QStringLiteral("URL"), url_, DefaultURL);
}

void LinkLabel::ReadProperties(const PropertyBag &bag)
{
    auto color = [&](const char *key, quint32 def) {
        return uint32FromVariant(bag.readProperty(QString::fromLatin1(key), def)).value_or(def);
    };
    // A stored shadow offset is held to the same range the setter allows.
    auto angle = [&](const char *key) {
        return qBound(-DropAngleLimit,
                      intFromVariant(bag.readProperty(QString::fromLatin1(key), 0)).value_or(0),
                      DropAngleLimit);
    };
    backColor_ = color("BackColor", DefaultBackColor);
    foreColor_ = color("ForeColor", DefaultForeColor);
    dropColor_ = color("DropColor", DefaultDropColor);
    dropLeft_ = angle("DropColorAngleLeft");
    dropTop_ = angle("DropColorAngleTop");
    linkColor_ = color("LinkColor", DefaultLinkColor);
    hover_ = boolFromVariant(bag.readProperty(QStringLiteral("Hover"), true)).value_or(true);
    const int style = intFromVariant(bag.readProperty(QStringLiteral("Style"), 0)).value_or(0);
    style_ = (style == 1) ? 1 : 0;
    picture_ = pixmapFromVariant(bag.readProperty(QStringLiteral("Picture"))).value_or(QPixmap());
    url_ = stringFromVariant(bag.readProperty(QStringLiteral("URL"), DefaultURL)).value_or(DefaultURL);

    busy_ = true;
    const QString caption = stringFromVariant(bag.readProperty(QStringLiteral("Caption"),
                                                               ambientDisplayName()))
                                .value_or(ambientDisplayName());
    font_ = fontFromVariant(bag.readProperty(QStringLiteral("Font"), ambientFont()))
                .value_or(ambientFont());
    setLabelCaption(label1_, caption);
    setLabelFont(label1_, font_);
    setLabelCaption(label2_, caption);
    setLabelFont(label2_, font_);
    setLabelColor(label2_, dropColor_);
    busy_ = true;
    moveShadow();
    applyBackground();
    try {
        BackStyle(intFromVariant(bag.readProperty(QStringLiteral("BackStyle"), 1)).value_or(1));
    } catch (const ControlError &) {
        // A refused stored value leaves the current one.
    }
    Enabled(boolFromVariant(bag.readProperty(QStringLiteral("Enabled"), true)).value_or(true));
    busy_ = false;
    showPicture();
    ArrangeLabels();
    Refresh();
}

} // namespace ws
