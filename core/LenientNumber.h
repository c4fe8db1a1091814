// Reading numbers out of option texts and tool log lines the way the job does
// it everywhere: leniently, and rounded halves-to-even into 16 bits.
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace wsjob {

// The number at the start of `text`, read leniently: leading blanks are
// skipped, then an optional sign, digits and one decimal point with further
// digits are taken, blanks between them ignored, up to the first other
// character. A text without digits reads as 0. "12.5ms" gives 12.5,
// " - 4 0" gives -40, "1.2.3" gives 1.2, "abc" gives 0.
double lenientValue(const QString &text);

// `value` rounded to the nearest integer, halves to the even neighbour
// (12.5 gives 12, 13.5 gives 14, -0.5 gives 0).
double roundHalfEven(double value);

// `value` rounded halves-to-even into a signed 16-bit integer; nothing when
// the rounded value does not fit (or the value is not a finite number).
std::optional<qint16> roundToInt16(double value);

} // namespace wsjob
