// A plain object in front of the desktop's common dialogs: the caller sets
// properties, calls one of the Show operations and reads the results back from
// the properties. The dialogs themselves come from the current DialogProvider
// (Qt's dialogs unless replaced).
//
// Each property is read by calling it without argument and written by calling
// it with the new value. All start as zero, false or empty.
#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace ws {

struct FileDialogRecord;

class FileDialogs {
public:
    // File dialog flag bits with a Qt counterpart: ask before overwriting
    // (save), and the chosen file must exist (open).
    static constexpr quint32 OverwritePrompt = 0x2;
    static constexpr quint32 FileMustExist = 0x1000;

    // Writing a number runs a dialog: 1 ShowOpen, 2 ShowSave, 3 ShowColor,
    // 4 ShowFont, 5 ShowPrinter, 6 ShowHelp, 7 ShowAbout, 8 ShowFolder,
    // 9 ShowFormat(0, 0, 0), 10 ShowIcon, 12 ShowRestart, 13 ShowRun,
    // 14 ShowShutDown; any other number does nothing. Errors pass through.
    void Action(int action);

    // When true, a cancelled file, colour, font or printer dialog raises
    // DialogCancelled (ControlError.h) and the properties keep their values.
    bool CancelError() const { return cancelError_; }
    void CancelError(bool v) { cancelError_ = v; }
    QWidget *hOwner() const { return owner_; }
    void hOwner(QWidget *owner) { owner_ = owner; }
    quint32 flags() const { return flags_; }
    void flags(quint32 v) { flags_ = v; }
    QString DialogTitle() const { return dialogTitle_; }
    void DialogTitle(const QString &v) { dialogTitle_ = v; }
    QString DialogPrompt() const { return dialogPrompt_; }
    void DialogPrompt(const QString &v) { dialogPrompt_ = v; }
    QString AppName() const { return appName_; }
    void AppName(const QString &v) { appName_ = v; }
    QIcon hIcon() const { return icon_; }
    void hIcon(const QIcon &v) { icon_ = v; }
    bool Bold() const { return bold_; }
    void Bold(bool v) { bold_ = v; }
    QString FontName() const { return fontName_; }
    void FontName(const QString &v) { fontName_ = v; }
    int FontSize() const { return fontSize_; }
    void FontSize(int v) { fontSize_ = v; }
    bool Italic() const { return italic_; }
    void Italic(bool v) { italic_ = v; }
    bool StrikeThru() const { return strikeThru_; }
    void StrikeThru(bool v) { strikeThru_ = v; }
    bool Underline() const { return underline_; }
    void Underline(bool v) { underline_ = v; }
    QString DefaultExt() const { return defaultExt_; }
    void DefaultExt(const QString &v) { defaultExt_ = v; }
    QString FileName() const { return fileName_; }
    void FileName(const QString &v) { fileName_ = v; }
    QString FileTitle() const { return fileTitle_; }
    void FileTitle(const QString &v) { fileTitle_ = v; }
    QString Filter() const { return filter_; }
    void Filter(const QString &v) { filter_ = v; }
    int FilterIndex() const { return filterIndex_; }
    void FilterIndex(int v) { filterIndex_ = v; }
    QString InitDir() const { return initDir_; }
    void InitDir(const QString &v) { initDir_ = v; }
    // 16 or 32; any other value is taken as 32.
    int IconSize() const { return normalIconSize(iconSize_); }
    void IconSize(int v) { iconSize_ = normalIconSize(v); }
    int HelpCommand() const { return helpCommand_; }
    void HelpCommand(int v) { helpCommand_ = v; }
    QString HelpFile() const { return helpFile_; }
    void HelpFile(const QString &v) { helpFile_ = v; }
    int HelpKey() const { return helpKey_; }
    void HelpKey(int v) { helpKey_ = v; }
    quint32 RGBResult() const { return rgbResult_; }
    void RGBResult(quint32 v) { rgbResult_ = v; }

    // The result of the last dialog: greater than 0 when it was confirmed.
    int RetValue() const { return retValue_; }

    // Counterparts that this desktop does not have: nothing is shown, 0 returned.
    int ShowShutDown();
    int ShowRestart();
    int ShowFormat(int iDrive, int iCapacity, int iFormatType);
    int ShowObjectProp(const QString &sObjectName, const QString &sTab);
    int ShowFindFiles();

    // Asks for a command line (title DialogTitle, prompt DialogPrompt) and
    // starts it without waiting and without a shell, split into words as
    // QProcess::splitCommand does.
    int ShowRun();
    // Picks an image file, starting at FileName, and loads it into hIcon at
    // IconSize pixels; FileName is left as it was. Nothing happens when
    // FileName names a folder (ends in "/").
    int ShowIcon();
    // Picks a folder, starting at InitDir, with DialogPrompt as title; the
    // chosen folder goes to InitDir. A cancel changes nothing and never
    // raises, whatever CancelError says.
    int ShowFolder();
    // An about box for AppName with DialogPrompt as extra text and hIcon.
    int ShowAbout();
    // Open and save dialogs: on success FileTitle and then FileName take the
    // chosen file, and FilterIndex the filter chosen where the dialog says.
    int ShowOpen();
    int ShowSave();
    // Opens HelpFile with the desktop (a path or an address); HelpCommand and
    // HelpKey have no counterpart. Returns 1 when the desktop took it.
    int ShowHelp();
    // Colour in and out through RGBResult (0x00BBGGRR). The initial colour is
    // RGBResult when flags has bit 0x1 set, as on the desktop these flags come
    // from, else black.
    int ShowColor();
    // Font in and out through FontName, FontSize (points), Bold, Italic,
    // Underline and StrikeThru.
    int ShowFont();
    // Picks a printer; a different choice becomes the current printer.
    int ShowPrinter();

    // The printer the application prints to (the desktop's default at first).
    static QString currentPrinter();
    static void setCurrentPrinter(const QString &name);

private:
    static int normalIconSize(int v) { return v == 16 ? 16 : 32; }
    FileDialogRecord PrepareFileRecord() const;
    int showFile(bool save);
    void cancelled();

    bool cancelError_ = false;
    QWidget *owner_ = nullptr;
    quint32 flags_ = 0;
    QString dialogTitle_;
    QString dialogPrompt_;
    QString appName_;
    QIcon icon_;
    bool bold_ = false;
    QString fontName_;
    int fontSize_ = 0;
    bool italic_ = false;
    bool strikeThru_ = false;
    bool underline_ = false;
    QString defaultExt_;
    QString fileName_;
    QString fileTitle_;
    QString filter_;
    int filterIndex_ = 0;
    QString initDir_;
    int iconSize_ = 0;
    int helpCommand_ = 0;
    QString helpFile_;
    int helpKey_ = 0;
    quint32 rgbResult_ = 0;
    int retValue_ = 0;
};

} // namespace ws
