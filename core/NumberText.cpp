#include "NumberText.h"

#include <QRegularExpression>


namespace ws {

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
