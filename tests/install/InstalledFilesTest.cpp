// The build installed into a temporary prefix: programs, launcher, software
// centre data, icon, manual pages and guide are where a desktop expects them,
// are valid by the desktop's own validators, and agree with the programs.
#include "InstallSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace wsinstall;

namespace {

const QString kAppId = QStringLiteral("org.orvelle.Wavesmithy");

class InstalledFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        prefix_ = installedPrefix(&why);
        ASSERT_FALSE(prefix_.isEmpty()) << why.toStdString();
    }
    QString at(const QString &relative) const { return prefix_ + QLatin1Char('/') + relative; }
    static bool built(const QString &program)
    {
        return QFileInfo(wstest::binDir() + QLatin1Char('/') + program).isExecutable();
    }

    QString prefix_;
};

TEST_F(InstalledFiles, EveryBuiltProgramLandsInBin)
{
    int builtCount = 0;
    for (const QString &name : programNames()) {
        if (!built(name))
            continue;
        ++builtCount;
        const QFileInfo installed(at(QStringLiteral("bin/") + name));
        EXPECT_TRUE(installed.isFile() && installed.isExecutable()) << name.toStdString();
    }
    if (builtCount == 0)
        GTEST_SKIP() << "none of the programs is built in " << wstest::binDir().toStdString();
    // Nothing that is not a program of ours (such as a build helper) goes into bin/.
    for (const QString &entry : QDir(at(QStringLiteral("bin"))).entryList(QDir::Files))
        EXPECT_TRUE(programNames().contains(entry)) << entry.toStdString();
}

TEST_F(InstalledFiles, DesktopEntryIsValidAndOpensTheSourceTypes)
{
    const QString file = at(QStringLiteral("share/applications/") + kAppId + QStringLiteral(".desktop"));
    ASSERT_TRUE(QFileInfo::exists(file));

    const QString validator = onPath(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        const RunResult v = run(validator, {file});
        EXPECT_EQ(v.code, 0) << (v.out + v.err).toStdString();
        EXPECT_TRUE(v.out.trimmed().isEmpty()) << "validator remarks: " << v.out.toStdString();
    } else {
        ADD_FAILURE() << "desktop-file-validate is missing (package desktop-file-utils; scripts/setup.sh installs it)";
    }

    const auto e = desktopEntry(file);
    EXPECT_EQ(e.value(QStringLiteral("Name")), QStringLiteral("Wavesmithy"));
    EXPECT_EQ(e.value(QStringLiteral("GenericName")), QStringLiteral("Audio Converter"));
    EXPECT_EQ(e.value(QStringLiteral("Exec")), QStringLiteral("wavesmithy %F"));
    EXPECT_EQ(e.value(QStringLiteral("TryExec")), QStringLiteral("wavesmithy"));

    const QStringList categories = e.value(QStringLiteral("Categories")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const char *c : {"AudioVideo", "Audio", "AudioVideoEditing"})
        EXPECT_TRUE(categories.contains(QLatin1String(c))) << c;

    // Every kind of source the program converts: VOB, AC3, MPEG audio, WAV.
    const QStringList mime = e.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const char *m : {"video/dvd", "video/mpeg", "audio/ac3", "audio/vnd.dolby.dd-raw", "audio/mpeg", "audio/mp2",
                          "audio/x-mp2", "audio/x-wav", "audio/vnd.wave"})
        EXPECT_TRUE(mime.contains(QLatin1String(m))) << m;

    // The icon it names is in the theme, scalable and at the usual menu size.
    const QString icon = e.value(QStringLiteral("Icon"));
    EXPECT_TRUE(QFileInfo::exists(at(QStringLiteral("share/icons/hicolor/scalable/apps/") + icon + QStringLiteral(".svg"))))
        << icon.toStdString();
    EXPECT_TRUE(QFileInfo::exists(at(QStringLiteral("share/icons/hicolor/48x48/apps/") + icon + QStringLiteral(".png"))))
        << icon.toStdString();
}

TEST_F(InstalledFiles, MetainfoIsValidAndMatchesTheInstall)
{
    const QString file = at(QStringLiteral("share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml"));
    ASSERT_TRUE(QFileInfo::exists(file));

    const QString validator = onPath(QStringLiteral("appstreamcli"));
    if (!validator.isEmpty()) {
        const RunResult v = run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"), file});
        EXPECT_EQ(v.code, 0) << (v.out + v.err).toStdString();
    } else {
        ADD_FAILURE() << "appstreamcli is missing (package appstream; scripts/setup.sh installs it)";
    }

    QString id, launchable;
    QStringList binaries, releases;
    QXmlStreamReader xml(readText(file));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("id"))
            id = xml.readElementText();
        else if (name == QLatin1String("launchable"))
            launchable = xml.readElementText();
        else if (name == QLatin1String("binary"))
            binaries << xml.readElementText();
        else if (name == QLatin1String("release"))
            releases << xml.attributes().value(QLatin1String("version")).toString();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();

    EXPECT_EQ(id, kAppId);
    EXPECT_TRUE(QFileInfo::exists(at(QStringLiteral("share/applications/") + launchable))) << launchable.toStdString();
    EXPECT_EQ(binaries, programNames());
    // The newest release named is the version being built.
    ASSERT_FALSE(releases.isEmpty());
    EXPECT_EQ(releases.first(), QStringLiteral(WS_PROJECT_VERSION));
}

TEST_F(InstalledFiles, IconIsDrawnAtEveryThemeSize)
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QString file = at(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + kAppId + QStringLiteral(".png"));
        QImage image;
        ASSERT_TRUE(image.load(file)) << file.toStdString();
        EXPECT_EQ(image.size(), QSize(size, size));
        ASSERT_TRUE(image.hasAlphaChannel());
        // A rounded tile: the corners show through, the middle does not.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
        // Something is drawn on the tile: more than a handful of colours.
        QSet<QRgb> colours;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 8);
    }

    const QString svg = readText(at(QStringLiteral("share/icons/hicolor/scalable/apps/") + kAppId + QStringLiteral(".svg")));
    QXmlStreamReader xml(svg);
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QLatin1String("svg"));
    EXPECT_EQ(xml.attributes().value(QLatin1String("viewBox")), QLatin1String("0 0 256 256"));
    int shapes = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            QStringList({QStringLiteral("rect"), QStringLiteral("polyline"), QStringLiteral("polygon")})
                .contains(xml.name().toString()))
            ++shapes;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(shapes, 3);
}

TEST_F(InstalledFiles, ManualPagesRenderCleanlyAndCoverEachProgramsSwitches)
{
    auto pageOf = [&](const QString &name) { return at(QStringLiteral("share/man/man1/") + name + QStringLiteral(".1")); };
    for (const QString &name : programNames())
        ASSERT_TRUE(QFileInfo::exists(pageOf(name))) << name.toStdString();
    const QString groff = onPath(QStringLiteral("groff"));
    if (groff.isEmpty())
        GTEST_SKIP() << "groff is needed to format the manual pages";

    for (const QString &name : programNames()) {
        SCOPED_TRACE(name.toStdString());
        QString warnings;
        const QString text = renderManPage(groff, pageOf(name), &warnings);
        ASSERT_FALSE(text.isEmpty());
        EXPECT_TRUE(warnings.isEmpty()) << warnings.toStdString();
        EXPECT_TRUE(text.startsWith(name.toUpper() + QStringLiteral("(1)")));

        // Every switch the program's own usage names is documented.
        const QString program = at(QStringLiteral("bin/") + name);
        if (!QFileInfo(program).isExecutable())
            continue;
        const RunResult help = run(program, {QStringLiteral("--help")});
        ASSERT_EQ(help.code, 0) << (help.out + help.err).toStdString();
        const QStringList switches = switchesIn(help.out);
        EXPECT_GE(switches.size(), 3);
        for (const QString &sw : switches)
            EXPECT_TRUE(text.contains(sw)) << "the manual page does not mention " << sw.toStdString();
    }
}

TEST_F(InstalledFiles, GuideAndWhatItShowsAreInstalled)
{
    const QString source = QStringLiteral(WS_SOURCE_DIR "/docs/guide.html");
    if (!QFileInfo::exists(source))
        GTEST_SKIP() << "the guide docs/guide.html is not written yet";
    const QString installed = at(QStringLiteral("share/doc/wavesmithy/guide.html"));
    ASSERT_TRUE(QFileInfo::exists(installed));
    const QString html = readText(installed);
    EXPECT_EQ(html, readText(source));

    // Pictures and other local files the guide refers to lie beside it.
    static const QRegularExpression ref(QStringLiteral("(?:src|href)\\s*=\\s*\"([^\"#][^\"]*)\""));
    auto it = ref.globalMatch(html);
    while (it.hasNext()) {
        const QString target = it.next().captured(1).section(QLatin1Char('#'), 0, 0);
        if (target.contains(QLatin1Char(':')) || target.startsWith(QLatin1String("//")))
            continue; // a web address
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(installed).absolutePath() + QLatin1Char('/') + target))
            << target.toStdString();
    }
}

} // namespace
