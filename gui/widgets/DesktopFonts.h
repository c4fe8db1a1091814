// Fonts named by the program, checked against what the desktop has: a named
// family is used only when the face it resolves to has the pitch the text
// needs; otherwise the desktop's own font of that kind stands in.
#pragma once

#include <QFont>
#include <QString>

namespace ws {

// A fixed-pitch font for text lined up by character counts: the face that
// `family` resolves to when that has a fixed pitch, else the face of the
// system's fixed font (else the first installed fixed-pitch family). Only
// the family is set, so the size follows the widget's font unless the
// caller sets one.
QFont fixedPitchFont(const QString &family);

// `font` when its family is installed and proportional; otherwise the same
// font (size and style kept) in the face of the system's general font.
QFont proportionalFont(const QFont &font);

} // namespace ws
