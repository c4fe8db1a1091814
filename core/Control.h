// One control of the main window as plain state: the option record is the set
// of these controls, addressed by name and, for control arrays, by index.
#pragma once

#include <QString>
#include <QStringList>

namespace ws {

enum class Kind { TextBox, ComboBox, CheckBox, OptionButton, Label, Frame, Line, Button, LinkLabel };

// Colours are 0x00BBGGRR values, or system colours written 0x80000000 + the
// index of the system colour; the window maps those to its palette.
using Colour = quint32;
constexpr Colour kSystemColour = 0x80000000u;
constexpr Colour rgb(int r, int g, int b)
{
    return Colour(r) | (Colour(g) << 8) | (Colour(b) << 16);
}
constexpr Colour kYellow = rgb(255, 255, 0);
constexpr Colour kGreen = rgb(0, 128, 0);
constexpr Colour kGrey = rgb(128, 128, 128);
constexpr Colour kFrameBlue = rgb(0, 0, 192);
constexpr Colour kWindowText = kSystemColour + 8;
constexpr Colour kInactiveBorder = kSystemColour + 11;
constexpr Colour kGreyText = kSystemColour + 17;
constexpr Colour kButtonText = kSystemColour + 18;

struct Control {
    QString name;
    int index = -1; // -1 for a control that is not part of an array
    Kind kind = Kind::Label;
    QString frame;    // name of the frame that holds it ("" at window level)
    QString caption;  // check boxes, option buttons, labels, frames, buttons
    QString text;     // text boxes and combo boxes
    QString tag;      // tool switch, "Orvelle" for saved values, or empty
    QString toolTip;
    QStringList items; // combo box list
    int value = 0;     // check box tick 0, 1 or 2; option button 1 selected, 0 not
    bool enabled = true;
    bool visible = true;
    bool hasForeColor = true; // lines and command buttons have no text colour
    Colour foreColor = kButtonText;
    Colour backColor = kSystemColour + 15;

    // "Azid(7)" or "InputFile"
    QString key() const { return index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index); }
    bool isSwitch() const { return !tag.isEmpty() && tag != QLatin1String("Orvelle"); }
    bool isValue() const { return tag == QLatin1String("Orvelle"); }
};

} // namespace ws
