#include "DialogProvider.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>

namespace ws {

namespace {

QtDialogProvider &qtProvider()
{
    static QtDialogProvider provider;
    return provider;
}

DialogProvider *gProvider = nullptr;

// File dialog flag bits that have a Qt counterpart.
constexpr quint32 kOverwritePrompt = 0x2;
constexpr quint32 kFileMustExist = 0x1000;

// Print dialog flag bits that have a Qt counterpart.
constexpr quint32 kPrintSelection = 0x1;
constexpr quint32 kPrintPageNums = 0x2;
constexpr quint32 kNoSelection = 0x4;
constexpr quint32 kNoPageNums = 0x8;
constexpr quint32 kDisablePrintToFile = 0x80000;
constexpr quint32 kHidePrintToFile = 0x100000;

} // namespace

DialogProvider &dialogProvider() { return gProvider ? *gProvider : qtProvider(); }

DialogProvider *setDialogProvider(DialogProvider *provider)
{
    DialogProvider *previous = gProvider;
    gProvider = provider;
    return previous;
}

std::optional<QString> QtDialogProvider::chooseFile(const FileRequest &r)
{
    QFileDialog dialog(r.owner, r.title, r.folder);
    dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Like the desktops these dialogs come from, an open dialog takes a name
    // that does not exist unless asked not to, and a save dialog asks before
    // overwriting only when asked to.
    dialog.setFileMode(!r.save && (r.flags & kFileMustExist) ? QFileDialog::ExistingFile
                                                             : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(r.flags & kOverwritePrompt));
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!r.nameFilters.isEmpty()) {
        dialog.setNameFilters(r.nameFilters);
        const int i = (r.filterIndex >= 1 && r.filterIndex <= r.nameFilters.size()) ? r.filterIndex - 1 : 0;
        dialog.selectNameFilter(r.nameFilters.at(i));
    }
    if (!r.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(r.defaultSuffix);
    if (!r.name.isEmpty())
        dialog.selectFile(r.name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (r.chosenFilter && !r.nameFilters.isEmpty())
        *r.chosenFilter = int(r.nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogProvider::chooseFolder(QWidget *owner, const QString &title,
                                                      const QString &start)
{
    const QString dir = QFileDialog::getExistingDirectory(owner, title, start);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<QColor> QtDialogProvider::chooseColor(QWidget *owner, const QColor &initial, quint32)
{
    // Sixteen white custom colours for this dialog only.
    QColor saved[16];
    for (int i = 0; i < 16; ++i) {
        saved[i] = QColorDialog::customColor(i);
        QColorDialog::setCustomColor(i, Qt::white);
    }
    const QColor chosen = QColorDialog::getColor(initial, owner);
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, saved[i]);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

std::optional<QFont> QtDialogProvider::chooseFont(QWidget *owner, const QFont &initial)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, owner);
    if (!ok)
        return std::nullopt;
    return chosen;
}

std::optional<QString> QtDialogProvider::choosePrinter(QWidget *owner, const QString &currentPrinter,
                                                       quint32 flags)
{
    QPrinter printer;
    if (!currentPrinter.isEmpty())
        printer.setPrinterName(currentPrinter);
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintSelection,
                     (flags & kPrintSelection) || !(flags & kNoSelection));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange,
                     (flags & kPrintPageNums) || !(flags & kNoPageNums));
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile,
                     !(flags & (kDisablePrintToFile | kHidePrintToFile)));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return printer.printerName();
}

void QtDialogProvider::about(QWidget *owner, const QString &title, const QString &text,
                             const QIcon &icon)
{
    if (icon.isNull()) {
        QMessageBox::about(owner, title, text);
        return;
    }
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    box.setIconPixmap(icon.pixmap(32, 32));
    box.exec();
}

void QtDialogProvider::warning(QWidget *owner, const QString &title, const QString &text)
{
    QMessageBox::warning(owner, title, text);
}

std::optional<QString> QtDialogProvider::askText(QWidget *owner, const QString &title,
                                                 const QString &label)
{
    bool ok = false;
    const QString text = QInputDialog::getText(owner, title, label, QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

bool QtDialogProvider::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace ws
