// A caption shown as a link, with a drop shadow, that opens its address when
// clicked; or, in picture style, a picture that does the same.
//
// The control holds a main label, a shadow label offset behind it and a
// picture box, and sizes itself to its content. While the pointer is over the
// main label (with Hover on and an address set) the caption turns to the link
// colour, is underlined and loses its shadow.
//
// Each property is read by calling it without argument and written by calling
// it with the new value; every write is announced by propertyChanged(name).
// Refused values raise ControlError 380 with the source "HyperLabel.<name>".
// Positions and sizes of the shadow offset and of ScaleWidth/ScaleHeight are
// in twips, TwipsPerPixel to the pixel, as the stored forms hold them.
#pragma once

#include "PropertyBag.h"

#include <QFont>
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace ws {

class LinkLabel : public QWidget {
    Q_OBJECT

public:
    static constexpr int TwipsPerPixel = 15;
    static constexpr quint32 DefaultBackColor = 0x8000000F; // button face
    static constexpr quint32 DefaultForeColor = 0x80000012; // button text
    static constexpr quint32 DefaultDropColor = 0x00FFFFFF;
    static constexpr quint32 DefaultLinkColor = 0x00FF0000;
    static constexpr int DropAngleLimit = 50;
    static const QString DefaultURL; // placeholder address of a new instance

    // `displayName` is the host's name for this instance: the caption of a new
    // instance and the persisted default of Caption (the object name when
    // empty). The host's ambient font is the parent's font.
    explicit LinkLabel(QWidget *parent = nullptr, const QString &displayName = QString());

    quint32 BackColor() const { return backColor_; }
    void BackColor(quint32 color);
    int BackStyle() const { return backStyle_; }
    void BackStyle(int style); // 0 transparent, 1 opaque; others refused
    QString Caption() const;
    void Caption(const QString &caption);
    QString Caption2() const; // the shadow label's caption
    quint32 ForeColor() const { return foreColor_; }
    void ForeColor(quint32 color);
    quint32 DropColor() const { return dropColor_; }
    void DropColor(quint32 color);
    int DropColorAngleLeft() const { return dropLeft_; }
    void DropColorAngleLeft(int twips); // clamped to -50..50
    int DropColorAngleTop() const { return dropTop_; }
    void DropColorAngleTop(int twips);  // clamped to -50..50
    bool Enabled() const { return enabled_; }
    void Enabled(bool enabled);
    QFont Font() const { return font_; }
    void Font(const QFont &font);
    bool Hover() const { return hover_; }
    void Hover(bool hover);
    quint32 LinkColor() const { return linkColor_; }
    void LinkColor(quint32 color);
    QPixmap Picture() const { return picture_; } // null: none
    void Picture(const QPixmap &picture);
    int Style() const { return style_; }
    void Style(int style); // 0 text, 1 picture; others refused
    QString URL() const { return url_; }
    void URL(const QString &url);
    int ScaleHeight() const;
    int ScaleWidth() const;

    // Opens `address` with the desktop (see DesktopLinks.h). Returns 0 for an
    // empty address (nothing is opened); otherwise, as the shell reports it, a
    // value above 32 when the desktop took the address and 31 when it did not.
    int HyperJump(const QString &address);
    void Refresh();

    void WriteProperties(PropertyBag &bag) const;
    void ReadProperties(const PropertyBag &bag);

    QFont ambientFont() const;
    QString ambientDisplayName() const;

    // Parts and state, for hosts and tests.
    QLabel *mainLabel() const { return label1_; }
    QLabel *shadowLabel() const { return label2_; }
    QLabel *pictureBox() const { return image1_; }
    bool isHovering() const { return hovering_; }
    QPixmap defaultPicture() const { return defaultPicture_; }
    QColor colorOf(quint32 value) const;

    QSize sizeHint() const override { return size(); }

signals:
    void Click();
    void BeforeJump(bool &Cancel);
    void Change();
    void Resize();
    void propertyChanged(const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void changed(const char *name);
    void ArrangeLabels();
    void clicked();
    void setLabelCaption(QLabel *label, const QString &text);
    void setLabelFont(QLabel *label, const QFont &font);
    void setLabelColor(QLabel *label, quint32 color);
    void applyBackground();
    void showPicture();
    void moveShadow();
    static int pixels(int twips);

    QLabel *label1_ = nullptr; // main
    QLabel *label2_ = nullptr; // shadow
    QLabel *image1_ = nullptr; // picture
    QString displayName_;
    quint32 backColor_ = DefaultBackColor;
    int backStyle_ = 1;
    quint32 foreColor_ = DefaultForeColor;
    quint32 dropColor_ = DefaultDropColor;
    int dropLeft_ = 15;
    int dropTop_ = 15;
    bool enabled_ = true;
    QFont font_;
    bool hover_ = true;
    quint32 linkColor_ = DefaultLinkColor;
    QPixmap picture_;
    int style_ = 0;
    QString url_;

    bool busy_ = false;
    bool hovering_ = false;
    QPixmap defaultPicture_;
};

} // namespace ws
