// Number reading and writing as the option record and the job use it.
#pragma once

#include <QString>

#include <optional>

namespace ws {

// Lenient number value of a text: leading blanks skipped, then an optional
// sign, digits and an optional decimal point with further digits, blanks
// between them ignored, up to the first other character. No digits read as 0.
double numberValue(const QString &text);

// Rounds to the nearest integer, halves to the even neighbour; nothing when
// the result does not fit a signed 16-bit integer.
std::optional<int> roundToInt16(double value);

// A number as the platform writes it into status texts and switches: a
// leading blank before a number that is not negative, at most 15
// significant digits, no trailing zeros ("35", "49.9", "-40").
QString numberText(double value);      // with the leading blank
QString plainNumberText(double value); // without it

} // namespace ws
