// Colour values as the stored forms hold them: 0x00BBGGRR for a fixed colour,
// or 0x80000000 + index for one of the desktop's system colours, which here
// follow the palette of the running style.
#pragma once

#include <QColor>
#include <QPalette>

namespace ws {

// Index numbers of the system colours that the controls use by name.
enum SystemColorIndex : quint32 {
    SysHighlight = 13,     // selection highlight
    SysButtonFace = 15,
    SysButtonShadow = 16,
    SysButtonText = 18,
    SysButtonHighlight = 20,
    SysDarkShadow = 21,
    SysLight = 22,
};

constexpr quint32 SystemColorFlag = 0x80000000u;

constexpr quint32 systemColorValue(quint32 index) { return SystemColorFlag | index; }
constexpr bool isSystemColor(quint32 value) { return (value & 0xFF000000u) == SystemColorFlag; }

// The colour that `value` stands for under `palette`. Unknown system colour
// indices give black.
QColor systemColor(quint32 value, const QPalette &palette);

// The 0x00BBGGRR value of a colour (alpha is dropped).
quint32 colorRef(const QColor &color);

// Contrast of two colours as WCAG 2 defines it: from 1 (the same luminance)
// to 21 (black on white). Text counts as readable from 4.5 on.
double contrastRatio(const QColor &a, const QColor &b);
constexpr double kReadableContrast = 4.5;

// `text` moved to the nearest lightness that reads on `back` with at least
// `minimum` contrast, its hue and saturation kept: lighter on a darker
// background, darker on a lighter one (the other way when that side cannot
// reach it). A colour that already reads is returned as it is.
QColor readableOn(const QColor &text, const QColor &back, double minimum = kReadableContrast);

// Black or white, whichever reads better on `back`: the text colour for a
// fixed background, whatever the palette.
QColor textColourOn(const QColor &back);

} // namespace ws
