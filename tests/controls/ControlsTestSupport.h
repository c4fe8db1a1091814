// Helpers for the control tests: synthesized pointer events and pixel scans.
#pragma once

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QRect>
#include <QWidget>

namespace ctltest {

inline void sendMouse(QWidget *w, QEvent::Type type, QPointF pos,
                      Qt::MouseButton button = Qt::NoButton,
                      Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void move(QWidget *w, QPointF pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    sendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

inline void press(QWidget *w, QPointF pos)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}

inline void release(QWidget *w, QPointF pos)
{
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

inline void leave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

// Pixels of exactly `color` inside `area` (the whole image when empty).
inline int countColor(const QImage &image, const QColor &color, QRect area = QRect())
{
    if (area.isNull())
        area = image.rect();
    area &= image.rect();
    int n = 0;
    const QRgb want = color.rgb();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) | 0xFF000000u) == (want | 0xFF000000u))
                ++n;
    return n;
}

// Bounding box of the pixels of exactly `color`.
inline QRect colorBounds(const QImage &image, const QColor &color)
{
    QRect box;
    const QRgb want = color.rgb() | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) | 0xFF000000u) == want)
                box |= QRect(x, y, 1, 1);
    return box;
}

// A font drawn without smoothing, so glyph pixels have exactly the pen colour.
inline QFont crispFont(int pointSize = 12)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(pointSize);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

} // namespace ctltest
