#include "WindowCommands.h"

#include "FileDialogs.h"
#include "JobSettings.h"
#include "ControlError.h"
#include "DesktopLinks.h"
#include "OptionModel.h"
#include "Platform.h"

#include <QFileInfo>
#include <QMessageBox>

namespace ws {

MessageBoxes &MessageBoxes::current()
{
    static MessageBoxes boxes{
        [](QWidget *owner, const QString &title, const QString &text) {
            return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        },
        [](QWidget *owner, const QString &title, const QString &text) {
            QMessageBox::information(owner, title, text);
        }};
    return boxes;
}

const QString WindowCommands::kInputFilter =
    QStringLiteral("Video Object (*.vob) |*.vob|Windows Audio (*.wav) | *.wav|Dolby Digital Audio (*.ac3) | "
                   "*.ac3|Mpeg Audio (*.mp2;*.mp3;*.mpa) | *.mp2;*.mp3;*.mpa|DTS Audio (*.dts) | *.dts|"
                   "DVD Image (*.iso) | *.iso|DVD Folder (VIDEO_TS.IFO) | VIDEO_TS.IFO");
const QString WindowCommands::kOutputFilter = QStringLiteral("AAC (ADTS) | *.aac|MPEG-4 audio | *.m4a");

QString WindowCommands::toolFilter(const QString &control)
{
    if (control == QLatin1String("aacenc"))
        return QStringLiteral("AacEnc Executable | aacenc");
    if (control == QLatin1String("Kardune"))
        return QStringLiteral("Kardune Executable | kardune");
    return QStringLiteral("Tromvax Executable | tromvax");
}

WindowCommands::WindowCommands(OptionModel &options, FileDialogs &dialogs, QWidget *owner)
    : options_(options), dialogs_(dialogs), owner_(owner)
{
}

bool WindowCommands::show(bool save)
{
    dialogs_.hOwner(owner_);
    try {
        if (save)
            dialogs_.ShowSave();
        else
            dialogs_.ShowOpen();
    } catch (const DialogCancelled &) {
        return false;
    }
    return true;
}

void WindowCommands::InputFile_Click()
{
    Control &input = options_.control(QStringLiteral("InputFile"));
    dialogs_.Filter(kInputFilter);
    dialogs_.FileName(input.text);
    const QString ext = input.text.right(3).toLower();
    const bool folder = wsjob::isDiscInput(input.text) && ext != QLatin1String("iso");
    dialogs_.FilterIndex(folder                      ? 7
                         : ext == QLatin1String("iso") ? 6
                         : ext == QLatin1String("dts") ? 5
                         : ext == QLatin1String("vob") ? 1
                         : ext == QLatin1String("wav") ? 2
                         : ext == QLatin1String("ac3") ? 3
                                                       : 4);
    if (!show(false))
        return;
    QString chosen = dialogs_.FileName();
    // A disc folder is picked by its VIDEO_TS.IFO: the input is the folder.
    if (QFileInfo(chosen).fileName().compare(QLatin1String("VIDEO_TS.IFO"), Qt::CaseInsensitive) == 0)
        chosen = QFileInfo(chosen).path();
    if (QFileInfo::exists(chosen))
        options_.setText(input, chosen);
}

void WindowCommands::OutputFile_DblClick()
{
    Control &output = options_.control(QStringLiteral("OutputFile"));
    dialogs_.Filter(kOutputFilter);
    dialogs_.FileName(output.text);
    dialogs_.FilterIndex(wsjob::isMpeg4Name(output.text) ? 2 : 1);
    if (!show(true))
        return;
    // The name's extension follows the kind of file chosen.
    QString name = dialogs_.FileName();
    const QString ext = dialogs_.FilterIndex() == 2 ? QStringLiteral(".m4a") : QStringLiteral(".aac");
    if (name.endsWith(QLatin1String(".aac"), Qt::CaseInsensitive) || wsjob::isMpeg4Name(name))
        name.chop(4);
    options_.setText(output, name + ext);
    options_.setOutputChosen(true);
}

void WindowCommands::ToolPicker_Click(const QString &control)
{
    Control &tool = options_.control(control);
    dialogs_.Filter(toolFilter(control));
    dialogs_.FileName(tool.text);
    dialogs_.FilterIndex(1);
    if (!show(false))
        return;
    if (QFileInfo::exists(dialogs_.FileName()))
        options_.setText(tool, dialogs_.FileName());
}

QString WindowCommands::logFile() const
{
    return wsplatform::userDataFolder() + wsplatform::pathSeparator() +
           options_.text(QStringLiteral("LOGFILEVAL"), 0);
}

void WindowCommands::LOGFILEVAL_DblClick() { openUrl(QUrl::fromLocalFile(logFile())); }

void WindowCommands::Command5_Click() { openUrl(QUrl::fromLocalFile(options_.text(QStringLiteral("OutputFile")))); }

} // namespace ws
