// One tool run as the job composes it: the program, its argument vector and
// the line shown in the command-line pane. The argument vector is what the
// tool receives (never a re-split string, so a value can never become a
// switch or a group mark); the shown line keeps the quoting and spacing the
// command-line pane has always shown.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace wsjob {

// A switch and the value that follows it ({"-L", "-3db"}). An empty value is
// shown but gives no argument.
struct SwitchValue {
    QString name;
    QString value;
    bool operator==(const SwitchValue &) const = default;
};
using SwitchList = QList<SwitchValue>;

// " -L -3db -c normal": each pair with a blank before the switch and before
// the value, as the command-line pane shows a switch group's body.
QString groupText(const SwitchList &switches);

struct ToolCommand {
    QString program;
    QStringList arguments;
    QString shown; // the command-line pane's text

    explicit ToolCommand(const QString &program);
    // A switch or a value: one argument, shown behind a blank.
    ToolCommand &word(const QString &w);
    // A value shown as typed but passed without surrounding blanks; nothing
    // is passed when it is blank.
    ToolCommand &value(const QString &typed);
    // A path: one argument, shown in quote marks.
    ToolCommand &path(const QString &p);
    // Several words at once ("-profile(", "Wavesmithy", "v0.51", ")").
    ToolCommand &words(const QStringList &ws);
    // Each switch and its value.
    ToolCommand &switches(const SwitchList &list);
    // Text for the pane only (spacing that the pane has always shown).
    ToolCommand &show(const QString &text);
};

} // namespace wsjob
