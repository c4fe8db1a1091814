// Test-side helpers for the fake companion tool (fake_tool.cpp): where it is
// and how to read back the runs it recorded.
#pragma once

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace wstest {

inline QString fakeToolPath()
{
    return QDir::cleanPath(binDir() + QStringLiteral("/fake_tool"));
}

// Unsets every variable that steers the fake tool, so no test inherits
// another's settings.
inline void clearFakeEnvironment()
{
    for (const char *v : {"WS_FAKE_RECORD", "WS_FAKE_ECHO_ENV", "WS_FAKE_DELAY", "WS_FAKE_SUBSTREAM", "WS_FAKE_GAIN",
                          "WS_FAKE_GAIN_KIND", "WS_FAKE_PARTS", "WS_FAKE_FAIL", "WS_FAKE_EMPTY", "WS_FAKE_CRASH",
                          "WS_FAKE_SLEEP_MS", "WS_FAKE_SLEEP_KIND", "WS_FAKE_EXIT", "WS_FAKE_STDERR"})
        qunsetenv(v);
}

// One run as the fake tool recorded it.
struct FakeRun {
    QString kind;      // encode, split, join, extract, gain, decode or other
    QString argv0;     // the program name it was started under
    QStringList args;  // its arguments, exactly as received
    int nice = 0;      // its nice value
    QString cwd;       // its working folder
    qint64 pid = 0;
    QString env;       // value of the variable named by WS_FAKE_ECHO_ENV
};

// The runs recorded in `recordFile` (the file named by WS_FAKE_RECORD), oldest first.
inline QList<FakeRun> readFakeRuns(const QString &recordFile)
{
    QList<FakeRun> runs;
    QFile f(recordFile);
    if (!f.open(QIODevice::ReadOnly))
        return runs;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        FakeRun r;
        r.kind = o.value(QStringLiteral("kind")).toString();
        r.argv0 = o.value(QStringLiteral("argv0")).toString();
        for (const auto &a : o.value(QStringLiteral("args")).toArray())
            r.args.append(a.toString());
        r.nice = o.value(QStringLiteral("nice")).toInt();
        r.cwd = o.value(QStringLiteral("cwd")).toString();
        r.pid = qint64(o.value(QStringLiteral("pid")).toDouble());
        r.env = o.value(QStringLiteral("env")).toString();
        runs.append(r);
    }
    return runs;
}

} // namespace wstest
