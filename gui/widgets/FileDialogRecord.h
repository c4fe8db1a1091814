// Preparation of a file dialog from the dialog wrapper's properties: the
// folder it opens in, the pre-filled name, the filter list in Qt's form and
// the flags. Plain code, kept apart from the dialogs so it can be checked on
// its own.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace ws {

// Reverse search: the text and the needle are reversed, the reversed needle
// is looked for from the 1-based position `start` of the reversed text, and
// the result is 0 when it is not there, else (length of text - found position
// + 1). For a one-character needle this is the 1-based position of its last
// occurrence; for a longer needle, the position of the last character of the
// last occurrence.
int ReverseFind(const QString &text, const QString &needle, int start = 1);

// One entry of a filter text: a description and its patterns, as written
// (the blanks around the bars are kept).
struct FileFilter {
    QString description;
    QString patterns; // separated by ";"
};

// Splits a filter text "description|patterns|description|patterns...". A
// description without patterns, and an entry that is blank on both sides, are
// dropped.
QList<FileFilter> parseFilter(const QString &filter);

// A filter entry in Qt's form "description (pattern pattern)". Qt separates
// patterns by blanks inside the parentheses, so the blanks around the bars
// cannot be kept there: the description and each pattern are trimmed. Every
// letter of a pattern becomes a set of both cases ("*.vob" -> "*.[vV][oO][bB]")
// so that, as on the desktops these filters come from, "MOVIE.VOB" is listed
// too. Dialogs that show these filters hide the pattern part
// (QFileDialog::HideNameFilterDetails), so the user sees the description.
QString qtNameFilter(const FileFilter &filter);
QStringList qtNameFilters(const QString &filter);

// What the wrapper hands to the preparation.
struct FileDialogInput {
    QWidget *owner = nullptr;
    quint32 flags = 0;
    QString defaultExt;
    QString fileName;     // the current path
    QString filter;       // filter text with bars
    int filterIndex = 0;  // 1-based
    QString dialogPrompt; // dialog title
    QString applicationDir;
    QString currentDir;   // folder of a file name given without one
};

// What a file dialog is shown with.
struct FileDialogRecord {
    QWidget *owner = nullptr;
    quint32 flags = 0;          // the caller's flags without the hook and template bits
    QString defaultExt;
    QString initialDir;         // the whole current path, or the application's folder
    QString folder;             // the folder the dialog opens in
    QString bareName;           // the name shown pre-filled
    QList<FileFilter> filters;  // as written
    QStringList nameFilters;    // in Qt's form
    int filterIndex = 0;        // 1-based, as given
    QString title;
};

constexpr int MaxFileNameLength = 255;
constexpr quint32 HookAndTemplateFlags = 0x20 | 0x40 | 0x80;

// Builds the record. The bare name is the part of the path after its last
// "/" (the whole path when it has none); the dialog opens in the folder part,
// or in the current folder for a name without one, or in the application's
// folder when the path is empty. A bare name longer than 255 characters is
// refused with ControlError 5 before any dialog is shown.
FileDialogRecord prepareFileRecord(const FileDialogInput &input);

} // namespace ws
