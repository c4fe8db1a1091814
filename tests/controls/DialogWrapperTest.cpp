// The dialog wrapper: the file record preparation on its own, and every
// operation answered through a scripted dialog provider.
#include "FileDialogs.h"
#include "ControlError.h"
#include "DesktopLinks.h"
#include "DialogProvider.h"
#include "FileDialogRecord.h"
#include "SystemColors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ws;

namespace {

// Answers every dialog from what the test put in, and records what it was asked.
struct ScriptedDialogs : DialogProvider {
    std::optional<QString> file, folder, printer, text;
    std::optional<QColor> color;
    std::optional<QFont> font;
    bool startOk = true;

    QList<FileRequest> fileRequests;
    QStringList calls;
    QColor colorAsked;
    QFont fontAsked;
    QString folderStart, folderTitle;
    QStringList started;
    QString warningTitle;

    std::optional<QString> chooseFile(const FileRequest &r) override
    {
        calls << "file";
        fileRequests << r;
        return file;
    }
    std::optional<QString> chooseFolder(QWidget *, const QString &title, const QString &start) override
    {
        calls << "folder";
        folderTitle = title;
        folderStart = start;
        return folder;
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &initial, quint32) override
    {
        calls << "color";
        colorAsked = initial;
        return color;
    }
    std::optional<QFont> chooseFont(QWidget *, const QFont &initial) override
    {
        calls << "font";
        fontAsked = initial;
        return font;
    }
    std::optional<QString> choosePrinter(QWidget *, const QString &, quint32) override
    {
        calls << "printer";
        return printer;
    }
    void about(QWidget *, const QString &title, const QString &body, const QIcon &) override
    {
        calls << "about:" + title + "|" + body;
    }
    void warning(QWidget *, const QString &title, const QString &) override
    {
        calls << "warning";
        warningTitle = title;
    }
    std::optional<QString> askText(QWidget *, const QString &, const QString &) override
    {
        calls << "ask";
        return text;
    }
    bool startDetached(const QString &program, const QStringList &args) override
    {
        calls << "start";
        started = QStringList{program} + args;
        return startOk;
    }
};

struct Fixture {
    ScriptedDialogs dialogs;
    ScopedDialogProvider scope{&dialogs};
    FileDialogs dlg;
};

FileDialogInput inputFor(const QString &fileName)
{
    FileDialogInput in;
    in.fileName = fileName;
    in.applicationDir = QStringLiteral("/opt/ws/bin");
    in.currentDir = QStringLiteral("/home/u/work");
    return in;
}

} // namespace

TEST(FileRecord, ReverseFindFindsTheLastOccurrence)
{
    EXPECT_EQ(ReverseFind(QStringLiteral("/usr/bin/aacenc"), QStringLiteral("/")), 9);
    EXPECT_EQ(ReverseFind(QStringLiteral("aacenc"), QStringLiteral("/")), 0);
    EXPECT_EQ(ReverseFind(QStringLiteral("/"), QStringLiteral("/")), 1);
    EXPECT_EQ(ReverseFind(QString(), QStringLiteral("/")), 0);
    // A longer needle: the position of its last character, last occurrence.
    EXPECT_EQ(ReverseFind(QStringLiteral("abcab"), QStringLiteral("ab")), 5);
    EXPECT_EQ(ReverseFind(QStringLiteral("abcabx"), QStringLiteral("ab")), 5);
    // A later start skips occurrences near the end.
    EXPECT_EQ(ReverseFind(QStringLiteral("a/b/c"), QStringLiteral("/"), 3), 2);
    EXPECT_EQ(ReverseFind(QStringLiteral("a/b/c"), QStringLiteral("/"), 9), 0);
}

TEST(FileRecord, FolderBareNameAndFlagsComeFromTheCurrentPath)
{
    FileDialogInput in = inputFor(QStringLiteral("/usr/local/bin/aacenc"));
    in.flags = 0xFFFF;
    in.filterIndex = 3;
    in.dialogPrompt = QStringLiteral("Pick");
    FileDialogRecord r = prepareFileRecord(in);
    EXPECT_EQ(r.initialDir, QStringLiteral("/usr/local/bin/aacenc"));
    EXPECT_EQ(r.folder, QStringLiteral("/usr/local/bin/"));
    EXPECT_EQ(r.bareName, QStringLiteral("aacenc"));
    EXPECT_EQ(r.flags, 0xFFFFu & ~0xE0u);
    EXPECT_EQ(r.filterIndex, 3);
    EXPECT_EQ(r.title, QStringLiteral("Pick"));

    r = prepareFileRecord(inputFor(QString()));
    EXPECT_EQ(r.initialDir, QStringLiteral("/opt/ws/bin"));
    EXPECT_EQ(r.folder, QStringLiteral("/opt/ws/bin"));
    EXPECT_TRUE(r.bareName.isEmpty());

    r = prepareFileRecord(inputFor(QStringLiteral("Input.ac3")));
    EXPECT_EQ(r.folder, QStringLiteral("/home/u/work"));
    EXPECT_EQ(r.bareName, QStringLiteral("Input.ac3"));

    r = prepareFileRecord(inputFor(QStringLiteral("/tmp/")));
    EXPECT_EQ(r.folder, QStringLiteral("/tmp/"));
    EXPECT_TRUE(r.bareName.isEmpty());

    // A bare name longer than 255 characters is refused before any dialog.
    const QString longName = QStringLiteral("/tmp/") + QString(256, QLatin1Char('n'));
    try {
        prepareFileRecord(inputFor(longName));
        ADD_FAILURE() << "long name accepted";
    } catch (const ControlError &e) {
        EXPECT_EQ(e.number(), 5);
    }
    EXPECT_NO_THROW(prepareFileRecord(inputFor(QStringLiteral("/tmp/") + QString(255, 'n'))));
}

TEST(FileRecord, FilterTextBecomesQtFiltersWithTrimmedCaseFreePatterns)
{
    const QString input = QStringLiteral(
        "Video Object (*.vob) |*.vob|Windows Audio (*.wav) | *.wav|Mpeg Audio "
        "(*.mp2;*.mp3;*.mpa) | *.mp2;*.mp3;*.mpa");
    const QList<FileFilter> parsed = parseFilter(input);
    ASSERT_EQ(parsed.size(), 3);
    // As written: the blanks around the bars are kept.
    EXPECT_EQ(parsed.at(1).description, QStringLiteral("Windows Audio (*.wav) "));
    EXPECT_EQ(parsed.at(1).patterns, QStringLiteral(" *.wav"));

    EXPECT_EQ(qtNameFilters(input),
              (QStringList{"Video Object (*.vob) (*.[vV][oO][bB])",
                           "Windows Audio (*.wav) (*.[wW][aA][vV])",
                           "Mpeg Audio (*.mp2;*.mp3;*.mpa) (*.[mM][pP]2 *.[mM][pP]3 *.[mM][pP][aA])"}));
    EXPECT_EQ(qtNameFilters(QStringLiteral("Tromvax Executable | tromvax")),
              QStringList{"Tromvax Executable ([tT][rR][oO][mM][vV][aA][xX])"});
    // A trailing bar, a description without patterns and empty text give nothing more.
    EXPECT_EQ(qtNameFilters(QStringLiteral("All | * |")).size(), 1);
    EXPECT_EQ(qtNameFilters(QStringLiteral("Lonely")).size(), 0);
    EXPECT_TRUE(qtNameFilters(QString()).isEmpty());
    EXPECT_EQ(qtNameFilter(FileFilter{QStringLiteral("Any"), QStringLiteral(" ")}),
              QStringLiteral("Any (*)"));
}

TEST(DialogWrapper, OpenAndSaveAnsweredFillFileNameAndTitleAndKeepFilterIndex)
{
    Fixture f;
    f.dlg.Filter(QStringLiteral("Advanced Audio Coding (*.aac) | *.aac"));
    f.dlg.FileName(QStringLiteral("/music/old.aac"));
    f.dlg.FilterIndex(2);
    f.dlg.DefaultExt(QStringLiteral("aac"));
    f.dlg.DialogPrompt(QStringLiteral("Output"));
    f.dialogs.file = QStringLiteral("/d/a/b.aac");
    EXPECT_GT(f.dlg.ShowSave(), 0);
    EXPECT_EQ(f.dlg.FileName(), QStringLiteral("/d/a/b.aac"));
    EXPECT_EQ(f.dlg.FileTitle(), QStringLiteral("b.aac"));
    EXPECT_EQ(f.dlg.FilterIndex(), 2);
    ASSERT_EQ(f.dialogs.fileRequests.size(), 1);
    const DialogProvider::FileRequest &r = f.dialogs.fileRequests.at(0);
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.folder, QStringLiteral("/music/"));
    EXPECT_EQ(r.name, QStringLiteral("old.aac"));
    EXPECT_EQ(r.nameFilters, QStringList{"Advanced Audio Coding (*.aac) (*.[aA][aA][cC])"});
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.defaultSuffix, QStringLiteral("aac"));
    EXPECT_EQ(r.title, QStringLiteral("Output"));

    f.dialogs.file = QStringLiteral("/in/movie.vob");
    f.dlg.Action(1);
    EXPECT_FALSE(f.dialogs.fileRequests.last().save);
    EXPECT_EQ(f.dlg.FileName(), QStringLiteral("/in/movie.vob"));
    EXPECT_EQ(f.dlg.FileTitle(), QStringLiteral("movie.vob"));
}

TEST(DialogWrapper, CancelRaisesOnlyWithCancelErrorAndChangesNothing)
{
    Fixture f;
    f.dlg.FileName(QStringLiteral("/keep/me.ac3"));
    f.dlg.FileTitle(QStringLiteral("me.ac3"));
    f.dialogs.file.reset();
    EXPECT_EQ(f.dlg.ShowOpen(), 0);
    EXPECT_EQ(f.dlg.RetValue(), 0);
    EXPECT_EQ(f.dlg.FileName(), QStringLiteral("/keep/me.ac3"));

    f.dlg.CancelError(true);
    EXPECT_THROW(f.dlg.ShowSave(), DialogCancelled);
    EXPECT_THROW(f.dlg.Action(2), DialogCancelled);
    try {
        f.dlg.ShowOpen();
    } catch (const ControlError &e) {
        EXPECT_EQ(e.number(), 0);
        EXPECT_TRUE(e.source().isEmpty());
    }
    EXPECT_EQ(f.dlg.FileName(), QStringLiteral("/keep/me.ac3"));
    EXPECT_EQ(f.dlg.FileTitle(), QStringLiteral("me.ac3"));

    // The colour and font dialogs follow the same rule; the folder dialog never raises.
    EXPECT_THROW(f.dlg.ShowColor(), DialogCancelled);
    EXPECT_THROW(f.dlg.ShowFont(), DialogCancelled);
    EXPECT_THROW(f.dlg.ShowPrinter(), DialogCancelled);
    f.dlg.InitDir(QStringLiteral("/start"));
    EXPECT_NO_THROW(f.dlg.ShowFolder());
    EXPECT_EQ(f.dlg.InitDir(), QStringLiteral("/start"));
}

TEST(DialogWrapper, ActionRunsByNumberAndOtherNumbersDoNothing)
{
    Fixture f;
    f.dlg.CancelError(true);
    for (int n : {0, 11, -1, 15, 100})
        EXPECT_NO_THROW(f.dlg.Action(n)) << n;
    // The operations without a counterpart here show nothing either.
    for (int n : {9, 12, 14})
        EXPECT_NO_THROW(f.dlg.Action(n)) << n;
    EXPECT_EQ(f.dlg.ShowObjectProp(QStringLiteral("x"), QString()), 0);
    EXPECT_EQ(f.dlg.ShowFindFiles(), 0);
    EXPECT_TRUE(f.dialogs.calls.isEmpty()) << f.dialogs.calls.join(',').toStdString();

    f.dialogs.folder = QStringLiteral("/picked");
    f.dialogs.color = QColor(1, 2, 3);
    f.dlg.AppName(QStringLiteral("Wavesmithy"));
    f.dlg.Action(8);
    f.dlg.Action(3);
    f.dlg.Action(7);
    EXPECT_EQ(f.dialogs.calls,
              (QStringList{"folder", "color", "about:About Wavesmithy|Wavesmithy"}));
    EXPECT_EQ(f.dlg.InitDir(), QStringLiteral("/picked"));
}

TEST(DialogWrapper, ColourAndFontGoInAndOutThroughTheProperties)
{
    Fixture f;
    f.dlg.RGBResult(0x00A56D39);
    f.dialogs.color = QColor(0x10, 0x20, 0x30);
    f.dlg.ShowColor();
    EXPECT_EQ(f.dialogs.colorAsked, QColor(Qt::black)) << "without the initial-colour flag";
    EXPECT_EQ(f.dlg.RGBResult(), 0x00302010u);
    f.dlg.flags(0x1);
    f.dlg.ShowColor();
    EXPECT_EQ(f.dialogs.colorAsked, QColor(0x10, 0x20, 0x30));

    f.dlg.FontName(QStringLiteral("DejaVu Sans"));
    f.dlg.FontSize(11);
    f.dlg.Bold(true);
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPointSizeF(14.4);
    chosen.setItalic(true);
    chosen.setStrikeOut(true);
    f.dialogs.font = chosen;
    EXPECT_GT(f.dlg.ShowFont(), 0);
    EXPECT_EQ(f.dialogs.fontAsked.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(f.dialogs.fontAsked.pointSize(), 11);
    EXPECT_TRUE(f.dialogs.fontAsked.bold());
    EXPECT_EQ(f.dlg.FontSize(), 14);
    EXPECT_FALSE(f.dlg.Bold());
    EXPECT_TRUE(f.dlg.Italic());
    EXPECT_TRUE(f.dlg.StrikeThru());
    EXPECT_FALSE(f.dlg.Underline());
    if (QFontDatabase::hasFamily(QStringLiteral("DejaVu Serif"))) {
        EXPECT_EQ(f.dlg.FontName(), QStringLiteral("DejaVu Serif"));
    }
}

TEST(DialogWrapper, RunStartsTheSplitCommandWithoutAShell)
{
    Fixture f;
    f.dialogs.text = QStringLiteral("\"/opt/my tools/play\" \"a b.aac\" -v");
    EXPECT_EQ(f.dlg.ShowRun(), 1);
    EXPECT_EQ(f.dialogs.started, (QStringList{"/opt/my tools/play", "a b.aac", "-v"}));

    f.dialogs.startOk = false;
    f.dialogs.text = QStringLiteral("missing-program");
    EXPECT_EQ(f.dlg.ShowRun(), 0);
    EXPECT_TRUE(f.dialogs.calls.contains("warning"));

    f.dialogs.calls.clear();
    f.dialogs.text.reset(); // cancelled
    f.dlg.Action(13);
    EXPECT_EQ(f.dialogs.calls, QStringList{"ask"});
}

TEST(DialogWrapper, IconPickerLoadsTheImageAtIconSizeAndRestoresFileName)
{
    Fixture f;
    f.dlg.IconSize(24);
    EXPECT_EQ(f.dlg.IconSize(), 32);
    f.dlg.IconSize(16);
    EXPECT_EQ(f.dlg.IconSize(), 16);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath(QStringLiteral("pic.png"));
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(png));

    f.dlg.FileName(dir.filePath(QStringLiteral("start.png")));
    f.dialogs.file = png;
    EXPECT_EQ(f.dlg.ShowIcon(), 1);
    EXPECT_FALSE(f.dlg.hIcon().isNull());
    EXPECT_EQ(f.dlg.hIcon().availableSizes().value(0), QSize(16, 16));
    EXPECT_EQ(f.dlg.FileName(), dir.filePath(QStringLiteral("start.png")));
    EXPECT_EQ(f.dialogs.fileRequests.last().name, QStringLiteral("start.png"));

    // Not an image: nothing changes. A folder name: no dialog at all.
    f.dlg.hIcon(QIcon());
    f.dialogs.file = dir.filePath(QStringLiteral("nothing-here"));
    EXPECT_EQ(f.dlg.ShowIcon(), 0);
    EXPECT_TRUE(f.dlg.hIcon().isNull());
    f.dlg.FileName(dir.path() + QStringLiteral("/"));
    const qsizetype asked = f.dialogs.fileRequests.size();
    f.dlg.ShowIcon();
    EXPECT_EQ(f.dialogs.fileRequests.size(), asked);
}

TEST(DialogWrapper, HelpOpensTheHelpFileAndPrinterChoicesAreChecked)
{
    Fixture f;
    QList<QUrl> opened;
    ScopedUrlOpener opener([&](const QUrl &u) {
        opened << u;
        return true;
    });
    EXPECT_EQ(f.dlg.ShowHelp(), 0) << "no help file";
    f.dlg.HelpFile(QStringLiteral("/usr/share/doc/wavesmithy/guide.html"));
    EXPECT_EQ(f.dlg.ShowHelp(), 1);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.at(0), QUrl::fromLocalFile("/usr/share/doc/wavesmithy/guide.html"));

    // A printer that is not installed is reported and not taken.
    FileDialogs::setCurrentPrinter(QStringLiteral("Office"));
    f.dialogs.printer = QStringLiteral("office"); // the same, in other case
    EXPECT_EQ(f.dlg.ShowPrinter(), 1);
    EXPECT_FALSE(f.dialogs.calls.contains("warning"));
    f.dialogs.printer = QStringLiteral("No Such Printer 42");
    EXPECT_EQ(f.dlg.ShowPrinter(), 1);
    EXPECT_EQ(f.dialogs.warningTitle, QStringLiteral("Printer Error"));
    EXPECT_EQ(FileDialogs::currentPrinter(), QStringLiteral("Office"));
}
