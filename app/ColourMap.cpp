#include "ColourMap.h"

namespace ws {

QColor widgetColour(Colour colour, const QPalette &palette)
{
    if ((colour & 0xFF000000u) != kSystemColour)
        return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));

    switch (colour & 0xFFu) {
    case 5: // window background
        return palette.color(QPalette::Active, QPalette::Base);
    case 8: // window text
        return palette.color(QPalette::Active, QPalette::WindowText);
    case 11: // inactive border: the background of a box that takes no input
        return palette.color(QPalette::Disabled, QPalette::Base);
    case 13: // highlight
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 14: // highlighted text
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 15: // button face
        return palette.color(QPalette::Active, QPalette::Button);
    case 16: // button shadow
        return palette.color(QPalette::Active, QPalette::Dark);
    case 17: // grey (disabled) text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::Active, QPalette::ButtonText);
    case 20: // button highlight
        return palette.color(QPalette::Active, QPalette::Light);
    default:
        return palette.color(QPalette::Active, QPalette::WindowText);
    }
}

} // namespace ws
