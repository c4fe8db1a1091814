#include "LenientNumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace wsjob {

double lenientValue(const QString &text)
{
    // Collect the accepted characters into a plain number text and convert it
    // without regard to the locale, so long digit runs convert exactly.
    std::string number;
    bool digits = false;
    bool point = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        if (text.at(i) == QLatin1Char('-'))
            number.push_back('-');
        ++i;
    }
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(' '))
            continue;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            number.push_back(char(c.unicode()));
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            number.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too large when a non-zero digit stands before the point, otherwise
        // too small to tell from zero.
        const bool negative = number.front() == '-';
        const auto intPart = number.substr(negative ? 1 : 0, number.find('.') - (negative ? 1 : 0));
        if (intPart.find_first_not_of('0') == std::string::npos)
            return 0.0;
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    return value;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double down = std::floor(value);
    const double diff = value - down;
    if (diff < 0.5)
        return down;
    if (diff > 0.5)
        return down + 1.0;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

std::optional<qint16> roundToInt16(double value)
{
    const double r = roundHalfEven(value);
    if (!std::isfinite(r) || r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(r);
}

} // namespace wsjob
