#include "RectMask.h"

#include <QtMath>

namespace ws {

QBitmap rectangularMask(double width, double height, double unitsPerPixel)
{
    if (unitsPerPixel <= 0)
        unitsPerPixel = 1.0;
    const int w = qMax(0, qRound(width / unitsPerPixel));
    const int h = qMax(0, qRound(height / unitsPerPixel));
    QBitmap mask(w, h);
    mask.fill(Qt::color1);
    return mask;
}

} // namespace ws
