#include "ToolCommand.h"

namespace wsjob {

QString groupText(const SwitchList &switches)
{
    QString out;
    for (const SwitchValue &s : switches)
        out += QLatin1Char(' ') + s.name + QLatin1Char(' ') + s.value;
    return out;
}

ToolCommand::ToolCommand(const QString &program)
    : program(program), shown(QLatin1Char('"') + program + QLatin1Char('"'))
{
}

ToolCommand &ToolCommand::word(const QString &w)
{
    arguments << w;
    shown += QLatin1Char(' ') + w;
    return *this;
}

ToolCommand &ToolCommand::value(const QString &typed)
{
    const QString v = typed.trimmed();
    if (!v.isEmpty())
        arguments << v;
    shown += QLatin1Char(' ') + typed;
    return *this;
}

ToolCommand &ToolCommand::path(const QString &p)
{
    arguments << p;
    shown += QStringLiteral(" \"") + p + QLatin1Char('"');
    return *this;
}

ToolCommand &ToolCommand::words(const QStringList &ws)
{
    for (const QString &w : ws)
        word(w);
    return *this;
}

ToolCommand &ToolCommand::switches(const SwitchList &list)
{
    for (const SwitchValue &s : list)
        word(s.name).value(s.value);
    return *this;
}

ToolCommand &ToolCommand::show(const QString &text)
{
    shown += text;
    return *this;
}

} // namespace wsjob
