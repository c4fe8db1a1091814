#include "FileDialogRecord.h"

#include "ControlError.h"

namespace ws {

int ReverseFind(const QString &text, const QString &needle, int start)
{
    if (needle.isEmpty() || start < 1)
        return 0;
    QString rText(text), rNeedle(needle);
    std::reverse(rText.begin(), rText.end());
    std::reverse(rNeedle.begin(), rNeedle.end());
    const qsizetype found = rText.indexOf(rNeedle, start - 1); // 0-based
    if (found < 0)
        return 0;
    return int(text.size() - (found + 1) + 1);
}

QList<FileFilter> parseFilter(const QString &filter)
{
    QList<FileFilter> out;
    const QStringList items = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        const FileFilter f{items.at(i), items.at(i + 1)};
        if (f.description.trimmed().isEmpty() && f.patterns.trimmed().isEmpty())
            continue;
        out.append(f);
    }
    return out;
}

namespace {

QString caseFreePattern(const QString &pattern)
{
    QString out;
    for (const QChar c : pattern) {
        const QChar lower = c.toLower(), upper = c.toUpper();
        if (c.isLetter() && lower != upper)
            out += QLatin1Char('[') + lower + upper + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

} // namespace

QString qtNameFilter(const FileFilter &filter)
{
    QStringList patterns;
    for (const QString &p : filter.patterns.split(QLatin1Char(';'))) {
        const QString t = p.trimmed();
        if (!t.isEmpty())
            patterns.append(caseFreePattern(t));
    }
    if (patterns.isEmpty())
        patterns.append(QStringLiteral("*"));
    return filter.description.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' '))
           + QLatin1Char(')');
}

QStringList qtNameFilters(const QString &filter)
{
    QStringList out;
    for (const FileFilter &f : parseFilter(filter))
        out.append(qtNameFilter(f));
    return out;
}

FileDialogRecord prepareFileRecord(const FileDialogInput &input)
{
    FileDialogRecord r;
    r.owner = input.owner;
    r.flags = input.flags & ~HookAndTemplateFlags;
    r.defaultExt = input.defaultExt;
    r.initialDir = input.fileName.isEmpty() ? input.applicationDir : input.fileName;

    const int slash = ReverseFind(input.fileName, QStringLiteral("/"), 1);
    r.bareName = slash > 0 ? input.fileName.mid(slash) : input.fileName;
    if (r.bareName.size() > MaxFileNameLength)
        throw ControlError(InvalidArgumentError, QStringLiteral("FileDialogs"),
                           QStringLiteral("Invalid procedure call or argument"));
    if (input.fileName.isEmpty())
        r.folder = input.applicationDir;
    else if (slash > 0)
        r.folder = input.fileName.left(slash);
    else
        r.folder = input.currentDir;

    r.filters = parseFilter(input.filter);
    for (const FileFilter &f : r.filters)
        r.nameFilters.append(qtNameFilter(f));
    r.filterIndex = input.filterIndex;
    r.title = input.dialogPrompt;
    return r;
}

} // namespace ws
