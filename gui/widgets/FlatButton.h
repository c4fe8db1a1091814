// A flat, borderless button that paints itself: an up, a hover, a pressed and
// a disabled look, each with its own text colour, background colour and edge
// style, and a centred caption.
//
// The button tracks the pointer itself and reports what happened through its
// events (Click, MouseDown, Hovering, ButtonUp); the container answers them by
// calling DrawUp, DrawHover or DrawPressed. Only the disabled look is drawn by
// the button on its own. Drawing goes to a retained surface that is shown on
// every paint, so a look stays until the next drawing call.
//
// Each property is read by calling it without argument and written by calling
// it with the new value; every write is announced by propertyChanged(name).
// Colours are 0x00BBGGRR values or system colours (0x80000000 + index, see
// SystemColors.h); edge styles are the bit sets of EdgeDrawing.h.
#pragma once

#include "PropertyBag.h"

#include <QFont>
#include <QImage>
#include <QWidget>

namespace ws {

class FlatButton : public QWidget {
    Q_OBJECT

public:
    // Persisted defaults of the numeric properties (what a stored form that
    // lacks the key means).
    static constexpr quint32 DefaultUpEdge = 0;
    static constexpr quint32 DefaultHoverEdge = 1;
    static constexpr quint32 DefaultDownEdge = 2;
    static constexpr quint32 DefaultUpForeColor = 0x80000012;    // button text
    static constexpr quint32 DefaultHoverForeColor = 0x8000000D; // highlight
    static constexpr quint32 DefaultDownForeColor = 0x0000FFFF;
    static constexpr quint32 DefaultBackColor = 0x8000000F;      // button face
    static constexpr quint32 DefaultDownEmbossedColor = 0x00FFFFFF;

    // `displayName` is the host's name for this instance; it is the caption of
    // a new button and the persisted default of Caption. When empty, the
    // object name stands in. The host's ambient font is the parent's font.
    explicit FlatButton(QWidget *parent = nullptr, const QString &displayName = QString());

    QFont Font() const { return font_; }
    void Font(const QFont &font);
    QString Caption() const { return caption_; }
    void Caption(const QString &caption);
    bool Enabled() const { return enabled_; }
    void Enabled(bool enabled);
    quint32 UpEdge() const { return upEdge_; }
    void UpEdge(quint32 edge);
    quint32 HoverEdge() const { return hoverEdge_; }
    void HoverEdge(quint32 edge);
    quint32 DownEdge() const { return downEdge_; }
    void DownEdge(quint32 edge);
    quint32 UpForeColor() const { return upFore_; }
    void UpForeColor(quint32 color);
    quint32 HoverForeColor() const { return hoverFore_; }
    void HoverForeColor(quint32 color);
    quint32 DownForeColor() const { return downFore_; }
    void DownForeColor(quint32 color);
    quint32 UpBackColor() const { return upBack_; }
    void UpBackColor(quint32 color);
    quint32 HoverBackColor() const { return hoverBack_; }
    void HoverBackColor(quint32 color);
    quint32 DownBackColor() const { return downBack_; }
    void DownBackColor(quint32 color);
    quint32 DownEmbossedColor() const { return downEmbossed_; }
    void DownEmbossedColor(quint32 color);
    bool SetCap() const { return setCap_; }
    void SetCap(bool capture);

    void DrawUp();
    void DrawPressed();
    void DrawHover();
    void DrawDisabled();
    // Clears the hover and pressed flags; draws nothing.
    void ResetHover();
    // The native window that shows the button (0 before it has one).
    WId hwnd() const;

    // Stored form: writes only values that differ from their persisted
    // defaults; reading goes through the property setters, a missing key
    // yields its default and a value that cannot be read is skipped.
    void WriteProperties(PropertyBag &bag) const;
    void ReadProperties(const PropertyBag &bag);

    QFont ambientFont() const;
    QString ambientDisplayName() const;

    // State for containers and tests.
    bool isHovered() const { return hover_; }
    bool isPressed() const { return pressed_; }
    QPoint captionOrigin() const { return origin_; }
    // The drawn surface, as the next paint shows it.
    const QImage &surface() const { return surface_; }
    // What a colour value stands for under this button's palette.
    QColor colorOf(quint32 value) const;

    QSize sizeHint() const override;

signals:
    void Click();
    void MouseDown();
    void RePaint(); // declared for containers that connect to it; never raised
    void Hovering();
    void ButtonUp();
    void propertyChanged(const QString &name);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void changed(const char *name);
    void CenterCaption();
    void Paint();
    void pointerMoved(Qt::MouseButtons buttons, double x, double y);
    void setCapture();
    void releaseCapture();
    void makeSurface();
    void clearSurface(QPainter &painter);
    void drawCaption(QPainter &painter, quint32 color, QPoint at);
    void surfaceChanged();

    QString displayName_;
    QFont font_;
    QString caption_;
    bool enabled_ = true;
    quint32 upEdge_ = DefaultUpEdge;
    quint32 hoverEdge_ = DefaultHoverEdge;
    quint32 downEdge_ = DefaultDownEdge;
    quint32 upFore_ = 0x8000000D; // a new button shows its caption in the highlight colour
    quint32 hoverFore_ = DefaultHoverForeColor;
    quint32 downFore_ = DefaultDownForeColor;
    quint32 upBack_ = DefaultBackColor;
    quint32 hoverBack_ = DefaultBackColor;
    quint32 downBack_ = DefaultBackColor;
    quint32 downEmbossed_ = DefaultDownEmbossedColor;
    bool setCap_ = true;

    bool hover_ = false;
    bool pressed_ = false;
    bool captured_ = false;
    QRect drawRect_;
    int widthUnits_ = 0;
    int heightUnits_ = 0;
    QPoint origin_;
    quint32 backColor_ = DefaultBackColor; // the surface's current background
    QImage surface_;
    bool inPaintEvent_ = false;
    bool drawPending_ = false; // a drawing call asked for the paint that is to come
};

} // namespace ws
