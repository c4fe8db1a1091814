// Output files of the tools: interrupted or killed in mid-write, a special
// file as output, a source that cannot be read to its end; --version.
#include "AtomicFile.h"
#include "Av.h"
#include "TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> listing(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::recursive_directory_iterator(dir))
        names.push_back(e.path().lexically_relative(dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string contents(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QString program(const std::string &name) { return wstest::binDir() + "/" + name.substr(0, name.find('-')).c_str(); }

// Runs the built tools in a work folder holding 20 s of stereo tones as WAV,
// AC3 and AAC, and a list naming the AAC twice.
class Tools : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString wav = work_.filePath("in.wav");
        ASSERT_TRUE(wstest::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=20,aformat=channel_layouts=stereo", "-ar",
                                    "48000", "-c:a", "pcm_s16le", wav}));
        ASSERT_TRUE(wstest::ffmpeg({"-i", wav, "-c:a", "ac3", work_.filePath("in.ac3")}));
        ASSERT_EQ(wstest::runProgram(program("aacenc"), {"-if", wav, "-normal", "-of", work_.filePath("in.aac")}), 0);
        std::ofstream(at("list")) << at("in.aac") + "\n" + at("in.aac") + "\n";
        fs::create_directory(at("out"));
    }

    std::string at(const std::string &name) const { return work_.filePath(QString::fromStdString(name)).toStdString(); }

    // The tool's words for writing `out`.
    QStringList words(const std::string &name, const std::string &out) const
    {
        const auto p = [&](const char *n) { return QString::fromStdString(at(n)); };
        const QString o = QString::fromStdString(at(out));
        if (name == "aacenc")
            return {"-if", p("in.wav"), "-normal", "-threads", "1", "-of", o};
        if (name == "tromvax")
            return {"-core(", "-input", p("in.ac3"), "-output", o, "-2ch", ")"};
        if (name == "kardune-join")
            return {"-core(", "-input", p("list"), "-join", "-type", "aac", "-prefix", o, ")"};
        return {"-core(", "-input", p("in.wav"), "-prefix", o, "-type", "wav", "-ending", ")",
                "-split(", "2", "2", "2", "2", "2", "2", "2", "2", ")"}; // kardune-split
    }

    // Starts a tool that stops reading `file` at byte `pos`: it waits there
    // (stall) or gets a read error.
    void start(QProcess &p, const std::string &name, const std::string &out, const std::string &file, long pos,
               bool stall)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", WS_FAULT_SHIM);
        env.insert("ASAN_OPTIONS", "verify_asan_link_order=0");
        env.insert("WS_FAULT_FILE", QString::fromStdString(at(file)));
        env.insert("WS_FAULT_AT", QString::number(pos));
        if (stall)
            env.insert("WS_FAULT_STALL", QString::fromStdString(at("stalled")));
        p.setProcessEnvironment(env);
        p.start(program(name), words(name, out));
        ASSERT_TRUE(p.waitForStarted());
    }

    // Waits for the stall; true when the tool then holds an unnamed file of
    // the output folder open: its partial output.
    bool stalledWritingOutput(const QProcess &p)
    {
        for (int i = 0; i < 6000 && !fs::exists(at("stalled")); ++i)
            QThread::msleep(10);
        fs::remove(at("stalled"));
        for (const auto &e : fs::directory_iterator("/proc/" + std::to_string(p.processId()) + "/fd")) {
            std::error_code ec;
            const std::string file = fs::read_symlink(e.path(), ec).string();
            if (file.rfind(at("out/#"), 0) == 0 && file.find("(deleted)") != std::string::npos)
                return true;
        }
        return false;
    }

    QTemporaryDir work_;
};

} // namespace

TEST_F(Tools, InterruptedOrKilledInMidWriteLeaveNothingAndKeepTheOldOutput)
{
    struct Case {
        std::string tool, out, stallIn;
        long pos;
        int signal;
    };
    const std::vector<Case> cases = {
        {"aacenc", "out/old.aac", "in.wav", 2 << 20, SIGTERM},
        {"aacenc", "out/old.aac", "in.wav", 2 << 20, SIGKILL},
        {"tromvax", "out/old.wav", "in.ac3", 300000, SIGINT},
        {"kardune-split", "out/", "in.wav", 3 << 20, SIGHUP}, // parts 01 to 05 are made by then
        // The joiner reads only its parts' frame headers while it checks
        // them, so it stalls where it copies the first frame.
        {"kardune-join", "out/old.aac", "in.aac", 10, SIGKILL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tool + " " + std::to_string(c.signal));
        const bool old = c.out.back() != '/';
        if (old)
            std::ofstream(at(c.out)) << "old output";
        const auto before = listing(work_.path().toStdString());
        QProcess p;
        ASSERT_NO_FATAL_FAILURE(start(p, c.tool, c.out, c.stallIn, c.pos, true));
        EXPECT_TRUE(stalledWritingOutput(p));
        EXPECT_EQ(fs::exists(at("out/01.wav")), c.tool == "kardune-split");
        ::kill(pid_t(p.processId()), c.signal);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus() == QProcess::CrashExit, c.signal == SIGKILL);
        if (c.signal != SIGKILL) {
            EXPECT_EQ(p.exitCode(), 128 + c.signal);
        }
        EXPECT_EQ(listing(work_.path().toStdString()), before);
        if (old) {
            EXPECT_EQ(contents(at(c.out)), "old output");
        }
        fs::remove_all(at("out"));
        fs::create_directory(at("out"));
    }
}

TEST_F(Tools, WriteThroughLinksRefuseFifosAndFailOnUnreadableSources)
{
    ASSERT_EQ(::mkfifo(at("out/fifo").c_str(), 0644), 0);
    fs::create_symlink("real", at("out/link"));
    for (const auto &[name, magic] : std::vector<std::pair<std::string, std::string>>{
             {"aacenc", "\xff"}, {"tromvax", "RIFF"}, {"kardune-join", "\xff"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(wstest::runProgram(program(name), words(name, "out/link")), 0);
        EXPECT_TRUE(fs::is_symlink(at("out/link")));
        EXPECT_EQ(contents(at("out/real")).substr(0, magic.size()), magic);
        fs::remove(at("out/real"));

        QString out, err;
        EXPECT_EQ(wstest::runProgram(program(name), words(name, "out/fifo"), nullptr, &err), 1);
        EXPECT_TRUE(err.contains("FIFO")) << err.toStdString();
        EXPECT_TRUE(fs::is_fifo(at("out/fifo")));

        EXPECT_EQ(wstest::runProgram(program(name), {"--version"}, &out), 0);
        EXPECT_EQ(out.toStdString(), name.substr(0, name.find('-')) + " " WAVESMITHY_VERSION "\n");
    }
    const std::vector<std::array<std::string, 3>> readers = {
        {"tromvax", "in.ac3", "out/x.wav"}, {"aacenc", "in.wav", "out/x.aac"}, {"kardune-split", "in.wav", "out/"}};
    for (const auto &[name, source, out] : readers) {
        SCOPED_TRACE(name);
        QProcess p;
        ASSERT_NO_FATAL_FAILURE(start(p, name, out, source, 200000, false));
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).contains(" past byte 200000"));
    }
    EXPECT_EQ(listing(at("out")), (std::vector<std::string>{"fifo", "link"}));
}

// Where the file system has no unnamed files: the partial name goes when the
// run fails and when it is interrupted.
TEST(AtomicFile, NamedPartialFilesGoOnFailureAndInterruption)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    {
        wstool::AtomicFile f(dir + "/a.aac", wstool::AtomicFile::Partial::Named);
        EXPECT_EQ(listing(dir), std::vector<std::string>{"a.aac.part" + std::to_string(::getpid())});
    }
    EXPECT_TRUE(listing(dir).empty());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        wstool::installInterruptHandlers("test");
        wstool::AtomicFile f(dir + "/a.aac", wstool::AtomicFile::Partial::Named);
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
    EXPECT_TRUE(listing(dir).empty());
}
