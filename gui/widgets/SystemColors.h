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

} // namespace ws
