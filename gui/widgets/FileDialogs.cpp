#include "FileDialogs.h"

#include <QProcess>

#include "Platform.h"

#include "ControlError.h"
#include "DesktopLinks.h"
#include "DialogProvider.h"
#include "FileDialogRecord.h"
#include "SystemColors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QImageReader>
#include <QPixmap>
#include <QPrinterInfo>

#include <cmath>
#include <optional>

namespace ws {

namespace {

std::optional<QString> &printerSlot()
{
    static std::optional<QString> name;
    return name;
}

QStringList imageFilters()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    return {QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' '))),
            QStringLiteral("All Files (*)")};
}

} // namespace

QString FileDialogs::currentPrinter()
{
    if (!printerSlot())
        printerSlot() = QPrinterInfo::defaultPrinterName();
    return *printerSlot();
}

void FileDialogs::setCurrentPrinter(const QString &name) { printerSlot() = name; }

void FileDialogs::cancelled()
{
    if (cancelError_)
        throw DialogCancelled();
}

void FileDialogs::Action(int action)
{
    switch (action) {
    case 1: ShowOpen(); break;
    case 2: ShowSave(); break;
    case 3: ShowColor(); break;
    case 4: ShowFont(); break;
    case 5: ShowPrinter(); break;
    case 6: ShowHelp(); break;
    case 7: ShowAbout(); break;
    case 8: ShowFolder(); break;
    case 9: ShowFormat(0, 0, 0); break;
    case 10: ShowIcon(); break;
    case 12: ShowRestart(); break;
    case 13: ShowRun(); break;
    case 14: ShowShutDown(); break;
    default: break;
    }
}

int FileDialogs::ShowShutDown() { return 0; }
int FileDialogs::ShowRestart() { return 0; }
int FileDialogs::ShowFormat(int, int, int) { return 0; }
int FileDialogs::ShowObjectProp(const QString &, const QString &) { return 0; }
int FileDialogs::ShowFindFiles() { return 0; }

int FileDialogs::ShowRun()
{
    const QString title = dialogTitle_.isEmpty() ? QStringLiteral("Run") : dialogTitle_;
    const QString prompt = dialogPrompt_.isEmpty()
                               ? QStringLiteral("Type the command line of a program to start:")
                               : dialogPrompt_;
    DialogProvider &dialogs = dialogProvider();
    const std::optional<QString> line = dialogs.askText(owner_, title, prompt);
    if (!line)
        return 0;
    QStringList words = QProcess::splitCommand(*line);
    if (words.isEmpty() || words.constFirst().isEmpty())
        return 0;
    const QString program = words.takeFirst();
    if (!dialogs.startDetached(program, words)) {
        dialogs.warning(owner_, title, QStringLiteral("Cannot start \"%1\".").arg(program));
        return 0;
    }
    return 1;
}

int FileDialogs::ShowIcon()
{
    retValue_ = 0;
    if (fileName_.endsWith(QLatin1Char('/')))
        return 0;
    const QString before = fileName_;
    const int slash = ReverseFind(fileName_, QStringLiteral("/"), 1);
    DialogProvider::FileRequest request;
    request.owner = owner_;
    request.title = dialogPrompt_.isEmpty() ? QStringLiteral("Change Icon") : dialogPrompt_;
    request.folder = slash > 0 ? fileName_.left(slash) : QDir::currentPath();
    request.name = slash > 0 ? fileName_.mid(slash) : fileName_;
    request.nameFilters = imageFilters();
    request.flags = FileMustExist;
    const std::optional<QString> chosen = dialogProvider().chooseFile(request);
    if (chosen) {
        const QPixmap picture(*chosen);
        if (!picture.isNull()) {
            const int size = IconSize();
            icon_ = QIcon(picture.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            retValue_ = 1;
        }
    }
    fileName_ = before;
    return retValue_;
}

int FileDialogs::ShowFolder()
{
    const std::optional<QString> chosen = dialogProvider().chooseFolder(owner_, dialogPrompt_, initDir_);
    retValue_ = chosen ? 1 : 0;
    if (chosen)
        initDir_ = *chosen;
    return retValue_;
}

int FileDialogs::ShowAbout()
{
    const QString title = QStringLiteral("About %1").arg(appName_).trimmed();
    QString text = appName_;
    if (!dialogPrompt_.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + dialogPrompt_;
    dialogProvider().about(owner_, title, text, icon_);
    return 0;
}

FileDialogRecord FileDialogs::PrepareFileRecord() const
{
    FileDialogInput input;
    input.owner = owner_;
    input.flags = flags_;
    input.defaultExt = defaultExt_;
    input.fileName = fileName_;
    input.filter = filter_;
    input.filterIndex = filterIndex_;
    input.dialogPrompt = dialogPrompt_;
    input.applicationDir = QCoreApplication::applicationDirPath();
    input.currentDir = QDir::currentPath();
    return prepareFileRecord(input);
}

int FileDialogs::showFile(bool save)
{
    const FileDialogRecord record = PrepareFileRecord();
    DialogProvider::FileRequest request;
    request.save = save;
    request.owner = record.owner;
    request.title = record.title;
    request.folder = record.folder;
    request.name = record.bareName;
    request.nameFilters = record.nameFilters;
    request.filterIndex = record.filterIndex;
    request.defaultSuffix = record.defaultExt;
    request.flags = record.flags;
    request.chosenFilter = &filterIndex_;
    const std::optional<QString> chosen = dialogProvider().chooseFile(request);
    if (!chosen || chosen->isEmpty()) {
        retValue_ = 0;
        cancelled();
        return retValue_;
    }
    retValue_ = 1;
    fileTitle_ = QFileInfo(*chosen).fileName();
    fileName_ = *chosen;
    return retValue_;
}

int FileDialogs::ShowOpen() { return showFile(false); }

int FileDialogs::ShowSave() { return showFile(true); }

int FileDialogs::ShowHelp()
{
    retValue_ = 0;
    if (!helpFile_.isEmpty() && openUrl(urlFromAddress(helpFile_)))
        retValue_ = 1;
    return retValue_;
}

int FileDialogs::ShowColor()
{
    constexpr quint32 kUseInitialColor = 0x1;
    const QColor initial = (flags_ & kUseInitialColor) ? systemColor(rgbResult_ & 0x00FFFFFF, QPalette())
                                                       : QColor(Qt::black);
    const std::optional<QColor> chosen = dialogProvider().chooseColor(owner_, initial, flags_ & 0xF);
    if (!chosen) {
        retValue_ = 0;
        cancelled();
        return retValue_;
    }
    retValue_ = 1;
    rgbResult_ = colorRef(*chosen);
    return retValue_;
}

int FileDialogs::ShowFont()
{
    QFont initial;
    if (!fontName_.isEmpty())
        initial.setFamilies({fontName_});
    if (fontSize_ > 0)
        initial.setPointSize(fontSize_);
    initial.setBold(bold_);
    initial.setItalic(italic_);
    initial.setUnderline(underline_);
    initial.setStrikeOut(strikeThru_);
    const std::optional<QFont> chosen = dialogProvider().chooseFont(owner_, initial);
    if (!chosen) {
        retValue_ = 0;
        cancelled();
        return retValue_;
    }
    retValue_ = 1;
    italic_ = chosen->italic();
    underline_ = chosen->underline();
    strikeThru_ = chosen->strikeOut();
    if (chosen->pointSizeF() > 0)
        fontSize_ = int(std::lrint(chosen->pointSizeF()));
    bold_ = chosen->weight() >= QFont::Bold;
    // The face actually used, as the desktop reports it.
    fontName_ = QFontInfo(*chosen).family().left(79);
    return retValue_;
}

int FileDialogs::ShowPrinter()
{
    constexpr quint32 kPrinterFlags = 0x1C0FFF;
    DialogProvider &dialogs = dialogProvider();
    const QString current = currentPrinter();
    const std::optional<QString> chosen = dialogs.choosePrinter(owner_, current, flags_ & kPrinterFlags);
    if (!chosen) {
        retValue_ = 0;
        cancelled();
        return retValue_;
    }
    retValue_ = 1;
    if (chosen->toUpper() != current.toUpper()) {
        const QPrinterInfo info = QPrinterInfo::printerInfo(*chosen);
        if (info.isNull())
            dialogs.warning(owner_, QStringLiteral("Printer Error"),
                            QStringLiteral("No installed printer is named \"%1\".").arg(*chosen));
        else
            setCurrentPrinter(info.printerName());
    }
    return retValue_;
}

} // namespace ws
