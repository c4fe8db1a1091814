// The rectangular mask builder: an all-set one-bit picture of a given size,
// which a control installs as its mask so that exactly its rectangle shows.
#pragma once

#include <QBitmap>

namespace ws {

// Width and height are in control units (`unitsPerPixel` of them make one
// pixel); each is divided and rounded to the nearest whole pixel.
QBitmap rectangularMask(double width, double height, double unitsPerPixel = 1.0);

} // namespace ws
