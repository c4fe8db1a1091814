// Three-dimensional rectangle edges in the desktop's classic style: an outer
// and an inner one-pixel line on each side, in the palette's light, midlight,
// dark and shadow colours.
#pragma once

#include <QPainter>
#include <QPalette>
#include <QRect>

namespace ws {

// Edge style bits; 0 draws nothing.
enum EdgeStyle : quint32 {
    EdgeRaisedOuter = 0x1,
    EdgeSunkenOuter = 0x2,
    EdgeRaisedInner = 0x4,
    EdgeSunkenInner = 0x8,
    EdgeRaised = EdgeRaisedOuter | EdgeRaisedInner, // 5
    EdgeSunken = EdgeSunkenOuter | EdgeSunkenInner, // 10
    EdgeEtched = EdgeSunkenOuter | EdgeRaisedInner, // 6
    EdgeBump = EdgeRaisedOuter | EdgeSunkenInner,   // 9
};

// Which sides to draw, and the soft colour scheme.
enum EdgeFlags : quint32 {
    EdgeLeft = 0x1,
    EdgeTop = 0x2,
    EdgeRight = 0x4,
    EdgeBottom = 0x8,
    EdgeAllSides = 0xF,
    EdgeSoft = 0x1000,
};

// Draws the edge of style `edge` (only its low four bits count) inside `rect`,
// where rect.right()+1 and rect.bottom()+1 are the exclusive right and bottom
// bounds. A style that names both the raised and the sunken variant of one
// line draws nothing for that line.
void drawEdge(QPainter &painter, const QRect &rect, quint32 edge, quint32 flags,
              const QPalette &palette);

} // namespace ws
