// Colours of the option record as the widgets paint them.
#pragma once

#include "Control.h"

#include <QColor>
#include <QPalette>

namespace ws {

// The colour a control colour stands for: 0x00BBGGRR values as they are,
// system colours (0x80000000 + index) from the palette of the running style.
QColor widgetColour(Colour colour, const QPalette &palette);

} // namespace ws
