// The program's icon: a golden waveform over an anvil on a blue tile. The
// shapes are described once, in a 256-unit square, and turned both into an
// SVG document and into raster images of any size.
#pragma once

#include <QImage>
#include <QPolygonF>
#include <QString>

namespace wsicon {

constexpr double kCanvas = 256.0;

// The waveform's centre line, a burst of a few cycles that swells and fades.
QPolygonF waveform();

// The anvil's outline, horn to the left.
QPolygonF anvil();

// Width of the waveform's stroke when drawn at `pixels` pixels square: small
// renderings get a thicker line so that the wave stays visible.
double waveStroke(int pixels);

// The scalable icon as a complete SVG document.
QString svgDocument();

// The icon drawn at `pixels` x `pixels`, transparent outside the tile.
QImage render(int pixels);

} // namespace wsicon
