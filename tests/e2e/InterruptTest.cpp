// Interrupting a conversion: SIGTERM and SIGINT stop it as Stop does (the
// tool ends, the workspace goes, an existing output stays), and a front end
// killed outright takes its tool with it.
#include "E2eSupport.h"

#include "OptionModel.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

using namespace e2e;
using audiocheck::readFile;
using audiocheck::writeFile;

namespace {

// Live (not yet reaped or zombie) processes whose parent is `parent`.
QList<qint64> liveChildren(qint64 parent)
{
    QList<qint64> out;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> f = stat.mid(close + 2).split(' '); // state, ppid, ...
        if (f.size() > 1 && f[1].toLongLong() == parent && f[0] != "Z")
            out << pid.toLongLong();
    }
    return out;
}

bool alive(qint64 pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && stat.mid(close + 2, 1) != "Z";
}

class Interrupt : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(box.valid());
        box.store([](ws::OptionModel &o) { o.setText(o.control(QStringLiteral("splitval"), 0), QStringLiteral("900")); });
        src = box.path(QStringLiteral("long.ac3"));
        ASSERT_TRUE(makeFixture({chirps(2, 300)}, {QStringLiteral("-c:a"), QStringLiteral("ac3")}, src));
        out = box.path(QStringLiteral("long.aac"));
        ASSERT_TRUE(writeFile(out, "an earlier conversion"));
    }
    // Starts the conversion and returns once it encodes part 1, with the
    // encoder's process id.
    qint64 startAndWaitForTheEncoder(QProcess &p)
    {
        box.start(p, src, out);
        QByteArray seen;
        QElapsedTimer t;
        t.start();
        while (!seen.contains("Encoding part 1...") && t.elapsed() < 60000 && p.state() == QProcess::Running) {
            p.waitForReadyRead(100);
            seen += p.readAllStandardOutput();
        }
        for (int i = 0; i < 50; ++i, QThread::msleep(20))
            if (const auto tools = liveChildren(p.processId()); !tools.isEmpty())
                return tools.first();
        return 0;
    }
    Sandbox box;
    QString src, out;
};

TEST_F(Interrupt, TermAndIntStopTheJobAndLeaveNothing)
{
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        QProcess p;
        const qint64 tool = startAndWaitForTheEncoder(p);
        ASSERT_NE(tool, 0);
        ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(5000)) << "still running after the signal";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 128 + sig);
        EXPECT_TRUE(p.readAllStandardError().contains("interrupted by"));
        EXPECT_FALSE(alive(tool)) << "the encoder kept running";
        EXPECT_EQ(box.leftovers(), QStringList());
        EXPECT_EQ(box.leftovers(box.path(QString())), (QStringList{"long.aac", "long.ac3"}));
        EXPECT_EQ(readFile(out), "an earlier conversion");
    }
}

TEST_F(Interrupt, AFrontEndKilledOutrightTakesItsToolWithIt)
{
    QProcess p;
    const qint64 tool = startAndWaitForTheEncoder(p);
    ASSERT_NE(tool, 0);
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(5000);
    QThread::msleep(1000);
    EXPECT_FALSE(alive(tool)) << "the encoder outlived the front end";
    EXPECT_EQ(readFile(out), "an earlier conversion");
}

} // namespace
