// The Debian package made by cpack: its control fields, that it carries
// exactly what the install rules install, that it names the packages of every
// shared library the programs load, and (as root) that it installs, converts
// an AC3 from /usr/bin and removes cleanly.
#include "InstallSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

using namespace wsinstall;

namespace {

const QString kPackage = QStringLiteral("wavesmithy");

// Built once per test program; every test only reads it.
QString debFile(QString *why)
{
    static std::unique_ptr<QTemporaryDir> out;
    static QString deb, failure;
    if (deb.isEmpty() && failure.isEmpty()) {
        const QString build = buildDir();
        if (build.isEmpty()) {
            failure = QStringLiteral("no build folder above ") + wstest::binDir();
        } else {
            out = std::make_unique<QTemporaryDir>();
            const RunResult r = run(QStringLiteral(WS_CPACK_COMMAND),
                                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                     build + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), out->path()});
            const QStringList debs = QDir(out->path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
            if (r.code != 0 || debs.size() != 1) {
                failure = QStringLiteral("cpack -G DEB failed (%1): %2%3").arg(r.code).arg(r.out, r.err);
                // cpack first brings the build up to date; say what stopped it.
                const QString log = readText(out->path() + QStringLiteral("/_CPack_Packages/Linux/DEB/PreinstallOutput.log"));
                if (!log.isEmpty())
                    failure += QStringLiteral("\nEnd of the build's output:\n") + log.right(1500);
            }
            else
                deb = out->filePath(debs.first());
        }
    }
    if (why)
        *why = failure;
    return deb;
}

QString field(const QString &deb, const char *name)
{
    return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QLatin1String(name)}).out.trimmed();
}

// Package names of a Depends field, without versions or alternatives' bars.
QSet<QString> dependencyNames(const QString &depends)
{
    QSet<QString> names;
    for (const QString &clause : depends.split(QLatin1Char(','), Qt::SkipEmptyParts))
        for (const QString &alt : clause.split(QLatin1Char('|'), Qt::SkipEmptyParts))
            names.insert(alt.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0));
    return names;
}

bool packageInstalled()
{
    const RunResult r = run(QStringLiteral("dpkg-query"),
                            {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), kPackage});
    return r.code == 0 && r.out.contains(QLatin1String("install ok installed"));
}

class DebPackage : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *tool : {"dpkg-deb", "dpkg-query"})
            if (onPath(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " is missing: not a Debian system";
        QString why;
        deb_ = debFile(&why);
        ASSERT_FALSE(deb_.isEmpty()) << why.toStdString();
    }
    QString deb_;
};

// Installs the package for one test and removes it again, whatever happens.
class SystemInstall {
public:
    explicit SystemInstall(const QString &deb) { result_ = run(QStringLiteral("dpkg"), {QStringLiteral("-i"), deb}); }
    ~SystemInstall() { run(QStringLiteral("dpkg"), {QStringLiteral("-r"), kPackage}); }
    const RunResult &result() const { return result_; }

private:
    RunResult result_;
};

// Why the package cannot be installed system-wide here; empty when it can.
QString whyNoSystemInstall()
{
    if (::geteuid() != 0)
        return QStringLiteral("installing the package needs root");
    if (packageInstalled())
        return QStringLiteral("a wavesmithy package is installed already; not replacing it");
    return {};
}

TEST_F(DebPackage, ControlFieldsDescribeTheProgram)
{
    EXPECT_EQ(field(deb_, "Package"), kPackage);
    EXPECT_TRUE(field(deb_, "Version").startsWith(QStringLiteral(WS_PROJECT_VERSION)));
    EXPECT_EQ(field(deb_, "Section"), QStringLiteral("sound"));
    EXPECT_EQ(field(deb_, "Architecture"), run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).out.trimmed());
    EXPECT_TRUE(field(deb_, "Maintainer").contains(QLatin1Char('@')));
    const QString description = field(deb_, "Description");
    EXPECT_TRUE(description.contains(QLatin1String("AAC"))) << description.toStdString();
    EXPECT_GT(description.count(QLatin1Char('\n')), 1) << "a synopsis and a longer description";
}

TEST_F(DebPackage, CarriesWhatTheInstallRulesInstall)
{
    QString why;
    const QString prefix = installedPrefix(&why);
    ASSERT_FALSE(prefix.isEmpty()) << why.toStdString();

    QSet<QString> installed;
    QDirIterator it(prefix, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        installed.insert(QStringLiteral("./usr/") + QDir(prefix).relativeFilePath(it.next()));
    ASSERT_FALSE(installed.isEmpty());

    QSet<QString> packed;
    const RunResult c = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb_});
    ASSERT_EQ(c.code, 0) << c.err.toStdString();
    for (const QString &line : c.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('-'))) // regular files only
            packed.insert(line.section(QLatin1Char(' '), -1));
    }
    EXPECT_EQ(packed, installed);
}

TEST_F(DebPackage, DependsOnThePackagesOfEveryLibraryTheProgramsLoad)
{
    const QSet<QString> depends = dependencyNames(field(deb_, "Depends"));
    // The Qt and FFmpeg runtime of Debian 12 at the least.
    for (const char *p : {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libavformat59", "libavcodec59",
                          "libavfilter8", "libavutil57", "libswresample4"})
        EXPECT_TRUE(depends.contains(QLatin1String(p))) << p;

    // The package of every library a built program names as needed is named
    // there (libraries those load in turn are their own packages' business).
    static const QRegularExpression needed(QStringLiteral("^\\s*NEEDED\\s+(\\S+)"),
                                           QRegularExpression::MultilineOption);
    int checked = 0;
    for (const QString &name : programNames()) {
        const QString program = wstest::binDir() + QLatin1Char('/') + name;
        if (!QFileInfo(program).isExecutable())
            continue;
        const RunResult elf = run(QStringLiteral("objdump"), {QStringLiteral("-p"), program});
        const RunResult ldd = run(QStringLiteral("ldd"), {program});
        ASSERT_EQ(elf.code, 0) << elf.err.toStdString();
        ASSERT_EQ(ldd.code, 0) << ldd.err.toStdString();
        auto m = needed.globalMatch(elf.out);
        while (m.hasNext()) {
            const QString soname = m.next().captured(1);
            const QRegularExpression where(QStringLiteral("^\\s*") + QRegularExpression::escape(soname) +
                                               QStringLiteral("\\s+=>\\s+(/\\S+)"),
                                           QRegularExpression::MultilineOption);
            const QString path = where.match(ldd.out).captured(1);
            ASSERT_FALSE(path.isEmpty()) << name.toStdString() << " needs " << soname.toStdString()
                                         << ", which ldd does not find";
            // dpkg knows a library by the path its package ships, which may be
            // the one ldd shows or the one behind the merged /lib link.
            RunResult owner = run(QStringLiteral("dpkg"), {QStringLiteral("-S"), path});
            if (owner.code != 0)
                owner = run(QStringLiteral("dpkg"), {QStringLiteral("-S"), QFileInfo(path).canonicalFilePath()});
            if (owner.code != 0)
                continue; // not from a package
            const QString package = owner.out.section(QLatin1Char(':'), 0, 0).trimmed();
            EXPECT_TRUE(depends.contains(package)) << name.toStdString() << " needs " << soname.toStdString()
                                                   << " of " << package.toStdString();
            ++checked;
        }
    }
    if (checked == 0)
        GTEST_SKIP() << "no program is built, so no library could be checked";
}

TEST_F(DebPackage, InstallsSystemWideAndRemovesCleanly)
{
    const QString notHere = whyNoSystemInstall();
    if (!notHere.isEmpty())
        GTEST_SKIP() << notHere.toStdString();
    {
        SystemInstall install(deb_);
        ASSERT_EQ(install.result().code, 0) << (install.result().out + install.result().err).toStdString();
        EXPECT_TRUE(packageInstalled());
        for (const QString &name : programNames()) {
            if (QFileInfo(wstest::binDir() + QLatin1Char('/') + name).isExecutable()) {
                EXPECT_TRUE(QFileInfo(QStringLiteral("/usr/bin/") + name).isExecutable()) << name.toStdString();
            }
        }
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/usr/share/applications/org.orvelle.Wavesmithy.desktop")));
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/usr/share/man/man1/kardune.1")));
    }
    EXPECT_FALSE(packageInstalled());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/usr/share/applications/org.orvelle.Wavesmithy.desktop")));
}

TEST_F(DebPackage, InstalledPackageConvertsAnAc3)
{
    const QString notHere = whyNoSystemInstall();
    if (!notHere.isEmpty())
        GTEST_SKIP() << notHere.toStdString();
    // The build tree's programs are what the package carries.
    const QString missing = whyNotConvertible(wstest::binDir());
    if (!missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();

    SystemInstall install(deb_);
    ASSERT_EQ(install.result().code, 0) << (install.result().out + install.result().err).toStdString();

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString input = work.filePath(QStringLiteral("tone.ac3"));
    constexpr double seconds = 3.0;
    ASSERT_TRUE(makeAc3(input, seconds));
    const Conversion c = convertWith(QStringLiteral("/usr/bin/wavesmithy"), input, work.path());
    ASSERT_EQ(c.result.code, 0) << (c.result.out + c.result.err).toStdString();
    Probe p;
    QString why;
    ASSERT_TRUE(probeAudio(c.output, &p, &why)) << why.toStdString();
    EXPECT_EQ(p.codec, QStringLiteral("aac"));
    EXPECT_NEAR(p.seconds, seconds, 0.25);
}

} // namespace
