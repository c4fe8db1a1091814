#include "EdgeDrawing.h"

namespace ws {

namespace {

// Colour of each of the four lines, by the four style bits (outer bits 0-1
// pick the column, inner bits 2-3 the row of each table).
enum Line : signed char { None = -1, Light, Midlight, Dark, Shadow };

// Top/left, inner line.
constexpr Line kLtInnerNormal[16] = {None, None, None, None,  None, Light, Light, None,
                                     None, Shadow, Shadow, None, None, None, None, None};
constexpr Line kLtInnerSoft[16] = {None, None, None, None,  None, Midlight, Midlight, None,
                                   None, Dark, Dark, None,  None, None, None, None};
// Top/left, outer line.
constexpr Line kLtOuterNormal[16] = {None, Midlight, Dark, None,  Light, Midlight, Dark, None,
                                     Shadow, Midlight, Dark, None, None, Midlight, Dark, None};
constexpr Line kLtOuterSoft[16] = {None, Light, Shadow, None,  Midlight, Light, Shadow, None,
                                   Dark, Light, Shadow, None,  None, Light, Shadow, None};
// Bottom/right lines are the same in both schemes.
constexpr Line kRbInner[16] = {None, None, None, None,  None, Dark, Dark, None,
                               None, Midlight, Midlight, None, None, None, None, None};
constexpr Line kRbOuter[16] = {None, Shadow, Light, None,  Dark, Shadow, Light, None,
                               Midlight, Shadow, Light, None, None, Shadow, Light, None};

QColor lineColor(Line line, const QPalette &palette)
{
    switch (line) {
    case Light: return palette.color(QPalette::Light);
    case Midlight: return palette.color(QPalette::Midlight);
    case Dark: return palette.color(QPalette::Dark);
    case Shadow: return palette.color(QPalette::Shadow);
    case None: break;
    }
    return {};
}

// One-pixel line from (x1, y1) up to, not including, (x2, y2); horizontal or vertical.
void line(QPainter &p, int x1, int y1, int x2, int y2, const QColor &c)
{
    if (y1 == y2 && x2 > x1)
        p.fillRect(QRect(x1, y1, x2 - x1, 1), c);
    else if (x1 == x2 && y2 > y1)
        p.fillRect(QRect(x1, y1, 1, y2 - y1), c);
}

} // namespace

void drawEdge(QPainter &painter, const QRect &rect, quint32 edge, quint32 flags,
              const QPalette &palette)
{
    const unsigned i = edge & 0xF;
    const bool soft = flags & EdgeSoft;
    const Line ltInner = soft ? kLtInnerSoft[i] : kLtInnerNormal[i];
    const Line ltOuter = soft ? kLtOuterSoft[i] : kLtOuterNormal[i];
    const Line rbInner = kRbInner[i];
    const Line rbOuter = kRbOuter[i];

    const int l = rect.left(), t = rect.top();
    const int r = rect.right() + 1, b = rect.bottom() + 1; // exclusive bounds

    // Where two drawn sides meet, the inner lines stop one pixel short.
    const int ltPlus = (flags & (EdgeTop | EdgeLeft)) == (EdgeTop | EdgeLeft) ? 1 : 0;
    const int lbPlus = (flags & (EdgeBottom | EdgeLeft)) == (EdgeBottom | EdgeLeft) ? 1 : 0;
    const int rtPlus = (flags & (EdgeTop | EdgeRight)) == (EdgeTop | EdgeRight) ? 1 : 0;
    const int rbPlus = (flags & (EdgeBottom | EdgeRight)) == (EdgeBottom | EdgeRight) ? 1 : 0;

    painter.save();
    if (ltOuter != None) {
        const QColor c = lineColor(ltOuter, palette);
        if (flags & EdgeTop)
            line(painter, l, t, r, t, c);
        if (flags & EdgeLeft)
            line(painter, l, t, l, b, c);
    }
    if (rbOuter != None) {
        const QColor c = lineColor(rbOuter, palette);
        if (flags & EdgeBottom)
            line(painter, l, b - 1, r, b - 1, c);
        if (flags & EdgeRight)
            line(painter, r - 1, t, r - 1, b, c);
    }
    if (ltInner != None) {
        const QColor c = lineColor(ltInner, palette);
        if (flags & EdgeTop)
            line(painter, l + ltPlus, t + 1, r - rtPlus, t + 1, c);
        if (flags & EdgeLeft)
            line(painter, l + 1, t + ltPlus, l + 1, b - lbPlus, c);
    }
    if (rbInner != None) {
        const QColor c = lineColor(rbInner, palette);
        if (flags & EdgeBottom)
            line(painter, l + lbPlus, b - 2, r - rbPlus, b - 2, c);
        if (flags & EdgeRight)
            line(painter, r - 2, t + rtPlus, r - 2, b - rbPlus, c);
    }
    painter.restore();
}

} // namespace ws
