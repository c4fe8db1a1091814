// The OS layer under the process runner: file identity, program lookup
// order, priority classes and the per-user data folder.
#include "Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace wsplatform;

TEST(SameFile, HardAndSymbolicLinksAndOtherSpellingsCount)
{
    QTemporaryDir dir;
    const QString a = dir.filePath("a.wav"), b = dir.filePath("b.wav");
    for (const QString &p : {a, b}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(dir.filePath("hard")).constData()), 0);
    ASSERT_TRUE(QFile::link(a, dir.filePath("soft")));
    EXPECT_TRUE(sameFile(a, dir.filePath("hard")));
    EXPECT_TRUE(sameFile(dir.filePath("soft"), a));
    ASSERT_TRUE(QDir(dir.path()).mkdir("x"));
    EXPECT_TRUE(sameFile(a, dir.path() + "/./x/../a.wav"));
    EXPECT_FALSE(sameFile(a, b));
    EXPECT_FALSE(sameFile(a, dir.filePath("missing")));
}

TEST(PriorityClass, MapsToNiceValues)
{
    EXPECT_EQ(niceForPriorityClass(IdlePriorityClass), 19);
    EXPECT_EQ(niceForPriorityClass(NormalPriorityClass), 0);
    EXPECT_EQ(niceForPriorityClass(HighPriorityClass), -5);
    EXPECT_EQ(niceForPriorityClass(RealTimePriorityClass), -10);
    EXPECT_EQ(niceForPriorityClass(0), 0);
    EXPECT_EQ(niceForPriorityClass(0x4000), 0);
    EXPECT_EQ(niceForPriorityClass(IdlePriorityClass | RealTimePriorityClass), 19);
}

TEST(Paths, DataFolderIsPrivateAndCreatedAndSeparatorFitsPlatform)
{
    const QString data = userDataFolder();
    ASSERT_FALSE(data.isEmpty());
    // The test main points the data home at a temporary folder.
    EXPECT_TRUE(data.startsWith(qEnvironmentVariable("XDG_DATA_HOME"))) << data.toStdString();
    EXPECT_TRUE(QDir(data).exists());
    ASSERT_TRUE(QDir(data).removeRecursively());
    EXPECT_TRUE(QDir(userDataFolder()).exists());
    EXPECT_EQ(pathSeparator(), QString(QDir::separator()));
    EXPECT_TRUE(QFile::exists(programFolder() + "/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
}

namespace {

// Puts executables of one name beside the test program, in a current folder
// and in a PATH folder, and restores everything afterwards.
class ProgramLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cwdDir.isValid() && pathDir.isValid());
        savedCwd = QDir::currentPath();
        savedPath = qgetenv("PATH");
        name = QStringLiteral("ws_lookup_probe_%1").arg(QCoreApplication::applicationPid());
        inProgramFolder = QDir(programFolder()).filePath(name);
        inCwd = QDir(cwdDir.path()).filePath(name);
        inPath = QDir(pathDir.path()).filePath(name);
        for (const QString &p : {inProgramFolder, inCwd, inPath})
            makeExecutable(p, true);
        QDir::setCurrent(cwdDir.path());
        qputenv("PATH", pathDir.path().toUtf8() + ":" + savedPath);
    }
    void TearDown() override
    {
        QFile::remove(inProgramFolder);
        QDir::setCurrent(savedCwd);
        qputenv("PATH", savedPath);
    }
    static void makeExecutable(const QString &path, bool executable)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexit 0\n");
        f.close();
        QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            perms |= QFile::ExeOwner;
        f.setPermissions(perms);
    }

    QTemporaryDir cwdDir, pathDir;
    QString savedCwd;
    QByteArray savedPath;
    QString name, inProgramFolder, inCwd, inPath;
};

} // namespace

TEST_F(ProgramLookup, ProgramFolderThenCurrentFolderThenPath)
{
    EXPECT_EQ(findProgram(name), QFileInfo(inProgramFolder).absoluteFilePath());
    // A file that can't be run is passed over.
    makeExecutable(inProgramFolder, false);
    EXPECT_EQ(findProgram(name), inCwd);
    QFile::remove(inCwd);
    EXPECT_EQ(findProgram(name), inPath);
    QFile::remove(inPath);
    EXPECT_TRUE(findProgram(name).isEmpty());
}

TEST_F(ProgramLookup, NameWithFolderIsNotSearchedFor)
{
    ASSERT_TRUE(QDir(cwdDir.path()).mkdir("sub"));
    makeExecutable(cwdDir.filePath("sub/tool"), true);
    EXPECT_EQ(findProgram("sub/tool"), cwdDir.filePath("sub/tool"));
    EXPECT_EQ(findProgram(inPath), inPath);
    // Present along PATH, but named with a folder where it isn't.
    EXPECT_TRUE(findProgram("./nothere/" + name).isEmpty());
    EXPECT_TRUE(findProgram("sub/" + name).isEmpty());
    EXPECT_TRUE(findProgram(QString()).isEmpty());
}
