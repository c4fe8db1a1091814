#include "DiscTags.h"

#include "JobSettings.h"

#include <QLocale>

#include <cmath>

namespace wsjob {

double chapterShiftMs(const JobSettings &s, int foundDelayMs)
{
    double applied = s.autoDelay && foundDelayMs != 0 ? foundDelayMs : 0;
    for (const SwitchValue &sw : s.delayStage) {
        if (sw.name != QLatin1String("-d"))
            continue;
        QString v = sw.value.trimmed();
        if (v.endsWith(QLatin1String("ms"), Qt::CaseInsensitive))
            v.chop(2);
        bool ok = false;
        const double ms = v.toDouble(&ok);
        if (ok && std::isfinite(ms))
            applied = ms;
    }
    return foundDelayMs - applied;
}

QByteArray chapterMetadata(const QList<double> &startSeconds, double titleSeconds, double shiftMs)
{
    struct Mark {
        qint64 start;
        int number;
    };
    const qint64 end = std::llround(titleSeconds * 1000 - shiftMs);
    QList<Mark> marks;
    for (qsizetype i = 0; i < startSeconds.size(); ++i) {
        const qint64 at = std::max<qint64>(0, std::llround(startSeconds[i] * 1000 - shiftMs));
        if (at >= end)
            continue;
        // Marks that all fall before the output begins: the last one holds.
        if (!marks.isEmpty() && at <= marks.last().start)
            marks.removeLast();
        marks.append({at, int(i + 1)});
    }
    if (marks.isEmpty())
        return {};
    QByteArray out = ";FFMETADATA1\n";
    for (qsizetype i = 0; i < marks.size(); ++i) {
        const qint64 stop = i + 1 < marks.size() ? marks[i + 1].start : end;
        out += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=Chapter %3\n")
                   .arg(marks[i].start)
                   .arg(stop)
                   .arg(marks[i].number)
                   .toUtf8();
    }
    return out;
}

QString mpeg4Language(const QString &discLanguage)
{
    if (discLanguage.size() != 2)
        return {};
    const QLocale::Language l = QLocale::codeToLanguage(discLanguage.toLower(), QLocale::ISO639Part1);
    if (l == QLocale::AnyLanguage)
        return {};
    return QLocale::languageToCode(l, QLocale::ISO639Part2T);
}

} // namespace wsjob
