// Writing numbers as the option record and the job put them into texts.
// (Reading them back is wsjob::lenientValue in LenientNumber.h.)
#pragma once

#include <QString>

namespace ws {

// A number as the platform writes it into status texts and switches: a
// leading blank before a number that is not negative, at most 15
// significant digits, no trailing zeros ("35", "49.9", "-40").
QString numberText(double value);      // with the leading blank
QString plainNumberText(double value); // without it

} // namespace ws
