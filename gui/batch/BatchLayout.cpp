#include "BatchLayout.h"

#include <cmath>

namespace wsbatch {

int twipsToPixels(double twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}

HeaderFit fitHeader(int nameColumnWidth, int substreamHeaderWidth)
{
    HeaderFit f;
    f.nameHeaderWidth = nameColumnWidth * kTwipsPerChar;
    f.substreamHeaderLeft = f.nameHeaderWidth + 15;
    f.outerWidth = f.nameHeaderWidth + 150 + substreamHeaderWidth;
    return f;
}

ResizeLayout formResize(float outerWidth)
{
    ResizeLayout r;
    r.listWidth = outerWidth - 90.0f;
    r.panelWidth = r.listWidth;
    const float p = r.panelWidth;
    float *w = r.buttonWidth;
    float *left = r.buttonLeft;
    w[1] = p / 3.0f;
    w[2] = w[1];
    w[3] = p - w[1] - w[2] - 90.0f;
    w[4] = p - 60.0f;
    w[5] = p;
    w[6] = 3420.0f;
    left[1] = 0.0f;
    left[2] = w[1] + 15.0f;
    left[3] = w[2] + w[1] + 30.0f;
    left[4] = 0.0f;
    left[5] = 0.0f;
    left[6] = w[5] + 30.0f;
    return r;
}

} // namespace wsbatch
