#include "LogScan.h"

#include "LenientNumber.h"

#include <QFile>
#include <QTextStream>

namespace wsjob {

void scanToolLog(QIODevice &log, ToolLogValues &values)
{
    const QString delayPrefix = QLatin1String(kDelayPrefix);
    const QString substreamPrefix = QLatin1String(kSubstreamPrefix);
    const QString overallPrefix = QLatin1String(kOverallGainPrefix);
    const QString totalPrefix = QLatin1String(kTotalGainPrefix);

    QTextStream in(&log);
    QString line;
    while (in.readLineInto(&line)) {
        values.gainLine = line;
        if (line.contains(delayPrefix)) {
            if (const auto d = roundToInt16(lenientValue(line.mid(35))))
                values.delay = *d;
        }
        if (line.contains(substreamPrefix))
            values.substream = line.mid(32, 4);
        if (line.contains(overallPrefix) || line.contains(totalPrefix)) {
            values.gainLineFound = true;
            break;
        }
    }
}

void scanToolLog(const QString &logPath, ToolLogValues &values)
{
    QFile file(logPath);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        scanToolLog(file, values);
        file.close();
    }
    QFile::remove(logPath);
}

QString gainValue(const QString &gainLine)
{
    // A line without "Gain:" is not a gain line; cutting it at a fixed place
    // would turn arbitrary log text into a switch.
    const qsizetype p = gainLine.indexOf(QLatin1String("Gain:"));
    if (p < 0)
        return {};
    const QString g = gainLine.mid(p + 6);
    const qsizetype q = g.indexOf(QLatin1String("dB"));
    if (q < 0)
        return {};
    return g.left(q + 2);
}

QString gainSwitch(const QString &gainLine)
{
    const QString value = gainValue(gainLine);
    return value.isEmpty() ? QString() : QStringLiteral(" -g ") + value;
}

} // namespace wsjob
