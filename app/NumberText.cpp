#include "NumberText.h"

#include <QRegularExpression>

#include <cmath>

namespace ws {

double numberValue(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
            ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    QString digits;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t'))
            continue;
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
            digits += c;
        } else {
            break;
        }
    }
    bool ok = false;
    const double v = digits.toDouble(&ok);
    if (!ok)
        return 0.0;
    return negative ? -v : v;
}

std::optional<int> roundToInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value); // default rounding: halves to even
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<int>(r);
}

QString plainNumberText(double value)
{
    QString s = QString::number(value, 'g', 15);
    if (s.contains(QLatin1Char('e'))) // keep plain digits for the numbers used here
        s = QString::number(value, 'f', 6).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
    return s;
}

QString numberText(double value)
{
    const QString s = plainNumberText(value);
    return value < 0 ? s : QLatin1Char(' ') + s;
}

} // namespace ws
