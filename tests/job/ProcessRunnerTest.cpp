// The process runner against the fake tool: argument vectors, lookup,
// priority, environment, working folder, standard error, Stop, nesting and
// live windows.
#include "FakeTool.h"
#include "Platform.h"
#include "ProcessRunner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>
#include <cerrno>

using namespace ProcessRunner;
using wstest::FakeRun;

namespace {

class Runner : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        wstest::clearFakeEnvironment();
        qunsetenv("WS_TEST_MARK");
        qputenv("WS_FAKE_RECORD", record().toUtf8());
    }
    void TearDown() override
    {
        wstest::clearFakeEnvironment();
        qunsetenv("WS_TEST_MARK");
        EXPECT_FALSE(isToolRunning());
    }
    QString record() const { return dir.filePath(QStringLiteral("runs.jsonl")); }
    QList<FakeRun> runs() const { return wstest::readFakeRuns(record()); }
    static QString fake() { return wstest::fakeToolPath(); }
    // A tool started at normal priority gets nice 0, or keeps the nice value
    // of this process when it may not lower it.
    static bool isNormalNice(int nice)
    {
        errno = 0;
        const int own = ::getpriority(PRIO_PROCESS, 0);
        return nice == 0 || (own > 0 && nice == own);
    }

    QTemporaryDir dir;
};

// Processes events until `done` holds or a generous deadline passes.
template <typename F>
bool processUntil(F done)
{
    QDeadlineTimer deadline(20000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace

TEST_F(Runner, PassesTheArgumentsAsGivenAndReportsTheExit)
{
    // Blanks, quote marks, an empty word and a switch-like value each stay one word.
    const QStringList expected{"-core(", "-input", "/tmp/a \"b\".ac3", "", "-logfile", "x y z", "-g", ")"};
    ToolOutcome o = runTool(fake(), expected);
    EXPECT_TRUE(o.started);
    EXPECT_TRUE(o.succeeded());
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.program, wstest::fakeToolPath());
    EXPECT_EQ(o.arguments, expected);
    const auto r = runs();
    ASSERT_EQ(r.size(), 1);
    EXPECT_EQ(r[0].args, expected);
    EXPECT_EQ(r[0].argv0, wstest::fakeToolPath());

    // A tool's own failure is reported, not hidden behind "it ran".
    qputenv("WS_FAKE_EXIT", "3");
    o = runTool(fake(), {"-probe"});
    EXPECT_TRUE(o.started);
    EXPECT_EQ(o.exitCode, 3);
    EXPECT_FALSE(o.crashed);
    EXPECT_FALSE(o.succeeded());

    // A tool that ends through a signal.
    qputenv("WS_FAKE_CRASH", "other");
    o = runTool(fake(), {"-probe"});
    EXPECT_TRUE(o.started);
    EXPECT_TRUE(o.crashed);
    EXPECT_FALSE(o.stopped);
    EXPECT_FALSE(o.succeeded());
}

TEST_F(Runner, KeepsTheLastStandardErrorLineAndPassesItAllOn)
{
    const struct {
        const char *written;
        QString last;
    } cases[] = {{"warning: odd header\ncannot read /tmp/a.ac3\n\n", "cannot read /tmp/a.ac3"},
                 {"first\n  unfinished  ", "unfinished"},
                 {"", ""}};
    qputenv("WS_FAKE_EXIT", "2");
    for (const auto &c : cases) {
        qputenv("WS_FAKE_STDERR", c.written);
        testing::internal::CaptureStderr();
        const ToolOutcome o = runTool(fake(), {"-probe"});
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.written);
        EXPECT_EQ(o.exitCode, 2);
        EXPECT_EQ(o.lastErrorLine, c.last) << c.written;
    }
}

TEST_F(Runner, ProgramThatCannotStartIsReportedAndLeavesTheCurrentProcess)
{
    QFile plain(dir.filePath("notes.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not a program\n");
    plain.close();
    QFile junk(dir.filePath("junk"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("\x7f" "ELF broken");
    junk.close();
    junk.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QStringList bad{"/no/such/folder/tromvax", "ws_no_such_program_anywhere", plain.fileName(),
                          junk.fileName(), "   ", ""};

    // Outside any run: not started, nothing runs afterwards.
    for (const QString &program : bad) {
        const ToolOutcome o = runTool(program, {"-core("});
        EXPECT_FALSE(o.started) << program.toStdString();
        EXPECT_FALSE(o.error.isEmpty());
        EXPECT_EQ(currentProcessId(), 0);
    }
    EXPECT_FALSE(runTool(fake(), {}, dir.filePath("no-such-folder")).started);
    EXPECT_TRUE(runs().isEmpty());
    // The error says what is wrong with the path.
    const std::pair<QString, QString> reasons[] = {
        {"/no/such/folder/tromvax", "program not found: /no/such/folder/tromvax"},
        {plain.fileName(), "not executable: " + plain.fileName()},
        {"   ", "no path set"},
        {"", "no path set"},
    };
    for (const auto &[program, reason] : reasons)
        EXPECT_EQ(runTool(program, {}).error, reason);
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path())); // a bare name is looked for here too
    EXPECT_EQ(runTool("notes.txt", {}).error, "not executable: " + plain.fileName());
    QDir::setCurrent(here);

    // While a tool runs: the failed start doesn't disturb the running tool.
    qputenv("WS_FAKE_SLEEP_MS", "60000");
    qint64 before = -1, after = -1;
    bool innerResult = true;
    QTimer::singleShot(0, [&] {
        processUntil([&] { return runs().size() == 1; });
        before = currentProcessId();
        for (const QString &program : bad)
            innerResult = innerResult && runTool(program, {"-x"}).started;
        after = currentProcessId();
        stopCurrent();
    });
    const ToolOutcome outer = runTool(fake(), {"-outer"});
    EXPECT_FALSE(innerResult);
    EXPECT_GT(before, 0);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(outer.stopped);
    ASSERT_EQ(runs().size(), 1);
    EXPECT_EQ(runs()[0].pid, before);
}

TEST_F(Runner, PriorityClassesSetTheToolsNiceValue)
{
    const struct {
        quint32 flags;
        int raised; // the value when the system allows it
    } cases[] = {{0x40, 19}, {0x20, 0}, {0x80, -5}, {0x100, -10}};
    for (const auto &c : cases)
        ASSERT_TRUE(runTool(fake(), {"-probe"}, QString(), c.flags).started) << c.flags;
    const auto r = runs();
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(r[0].nice, 19);
    EXPECT_TRUE(isNormalNice(r[1].nice)) << r[1].nice;
    // Raising the priority needs the right to; without it the tool starts normally.
    for (int i : {2, 3})
        EXPECT_TRUE(r[i].nice == cases[i].raised || r[i].nice == r[1].nice)
            << cases[i].flags << " gave nice " << r[i].nice;
}

TEST_F(Runner, ToolInheritsEnvironmentAndGetsTheWorkingFolder)
{
    qputenv("WS_TEST_MARK", "mark 42 é");
    qputenv("WS_FAKE_ECHO_ENV", "WS_TEST_MARK");
    ASSERT_TRUE(runTool(fake(), {"-probe"}).started);
    ASSERT_TRUE(runTool(fake(), {"-probe"}, dir.path()).started);
    qputenv("WS_FAKE_ECHO_ENV", "PATH");
    ASSERT_TRUE(runTool(fake(), {"-probe"}).started);
    const auto r = runs();
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(r[0].env, "mark 42 é");
    EXPECT_EQ(r[0].cwd, QDir::currentPath());
    EXPECT_EQ(r[1].cwd, QDir(dir.path()).canonicalPath());
    EXPECT_EQ(r[2].env, qEnvironmentVariable("PATH"));
}

TEST_F(Runner, WindowsStayLiveAndTheCurrentProcessNamesTheRunningTool)
{
    qputenv("WS_FAKE_SLEEP_MS", "600");
    int ticks = 0;
    qint64 seenPid = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (isToolRunning())
            seenPid = currentProcessId();
    });
    timer.start();
    EXPECT_EQ(currentProcessId(), 0);
    const ToolOutcome o = runTool(fake(), {"-probe"});
    timer.stop();
    EXPECT_TRUE(o.succeeded());
    EXPECT_GE(ticks, 1);
    ASSERT_EQ(runs().size(), 1);
    EXPECT_EQ(seenPid, runs()[0].pid);
    // Emptied as soon as the tool has ended; Stop then does nothing.
    EXPECT_EQ(currentProcessId(), 0);
    EXPECT_FALSE(stopCurrent());
}

TEST_F(Runner, StopEndsTheRunningToolAndTheWaitReturns)
{
    qputenv("WS_FAKE_SLEEP_MS", "60000");
    bool stopResult = false;
    QTimer::singleShot(50, [&] {
        // Stop only once the tool has recorded itself, so the test is about
        // ending a running tool, not one still starting.
        processUntil([&] { return !runs().isEmpty(); });
        stopResult = stopCurrent();
    });
    QElapsedTimer clock;
    clock.start();
    const ToolOutcome o = runTool(fake(), {"-probe"}, QString(), 0x40);
    EXPECT_LT(clock.elapsed(), 30000); // far from the tool's own 60 s
    EXPECT_TRUE(stopResult);
    EXPECT_TRUE(o.started);
    EXPECT_TRUE(o.stopped);
    EXPECT_FALSE(o.succeeded());
    EXPECT_FALSE(isToolRunning());
    EXPECT_FALSE(stopCurrent());
    ASSERT_EQ(runs().size(), 1);
    EXPECT_NE(::kill(pid_t(runs()[0].pid), 0), 0); // really gone
}

TEST_F(Runner, NestedCallRestoresTheOuterToolWhileItRuns)
{
    qputenv("WS_FAKE_SLEEP_MS", "60000");
    qint64 outerPid = 0, duringInner = 0, afterInner = 0;
    ToolOutcome inner;
    QTimer::singleShot(0, [&] {
        processUntil([&] { return runs().size() == 1; });
        outerPid = currentProcessId();
        qputenv("WS_FAKE_SLEEP_MS", "300");
        QTimer::singleShot(0, [&] { duringInner = currentProcessId(); });
        inner = runTool(fake(), {"-inner"});
        afterInner = currentProcessId();
        stopCurrent(); // ends the outer tool
    });
    const ToolOutcome outer = runTool(fake(), {"-outer"});
    const auto r = runs();
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(outerPid, r[0].pid);
    EXPECT_EQ(duringInner, r[1].pid);
    EXPECT_TRUE(inner.succeeded());
    EXPECT_EQ(afterInner, outerPid);
    EXPECT_TRUE(outer.stopped);
    EXPECT_EQ(currentProcessId(), 0);
}

TEST_F(Runner, NestedCallDoesNotRestoreAnOuterToolThatHasEnded)
{
    qputenv("WS_FAKE_SLEEP_MS", "60000");
    qint64 afterInner = -1;
    bool outerGone = false, runningAfterInner = true, stopAfterInner = true;
    ToolOutcome inner;
    QTimer::singleShot(0, [&] {
        processUntil([&] { return runs().size() == 1; });
        const qint64 outerPid = runs()[0].pid;
        QTimer::singleShot(0, [&, outerPid] {
            // Inside the inner wait: end the outer tool from outside and wait
            // until it is gone, then stop the inner one.
            processUntil([&] { return runs().size() == 2; });
            ::kill(pid_t(outerPid), SIGKILL);
            outerGone = processUntil([&] { return ::kill(pid_t(outerPid), 0) != 0; });
            QCoreApplication::processEvents();
            EXPECT_EQ(currentProcessId(), runs()[1].pid);
            stopCurrent();
        });
        inner = runTool(fake(), {"-inner"});
        afterInner = currentProcessId();
        runningAfterInner = isToolRunning();
        stopAfterInner = stopCurrent();
    });
    const ToolOutcome outer = runTool(fake(), {"-outer"});
    EXPECT_TRUE(outerGone);
    EXPECT_TRUE(inner.stopped);
    EXPECT_EQ(afterInner, 0);
    EXPECT_FALSE(runningAfterInner);
    EXPECT_FALSE(stopAfterInner);
    EXPECT_TRUE(outer.crashed);
    EXPECT_FALSE(outer.stopped); // ended from outside, not through Stop
}
