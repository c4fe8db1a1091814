// The main window's commands that reach outside the option record: picking
// the input, output and tool files through the dialog wrapper, opening the
// log and the output with the desktop, and the two message boxes. Kept apart
// from the widgets so tests drive them with answered dialogs.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ws {

class FileDialogs;
class OptionModel;

// The window's two message boxes, replaceable for tests.
struct MessageBoxes {
    // Yes/No question with the question icon; true for Yes.
    std::function<bool(QWidget *owner, const QString &title, const QString &text)> question;
    std::function<void(QWidget *owner, const QString &title, const QString &text)> information;
    static MessageBoxes &current();
};

class WindowCommands {
public:
    WindowCommands(OptionModel &options, FileDialogs &dialogs, QWidget *owner = nullptr);

    static const QString kInputFilter;
    static const QString kOutputFilter;
    static QString toolFilter(const QString &control); // "Tromvax", "Kardune" or "aacenc"

    void InputFile_Click();
    void OutputFile_DblClick();
    void ToolPicker_Click(const QString &control); // aacenc_Click, Kardune_Click, Tromvax_Click
    void LOGFILEVAL_DblClick();
    void Command5_Click(); // "Play AAC"

    // The log file the tools write (per-user data folder and the log name).
    QString logFile() const;

private:
    // Runs the wrapper's open or save dialog; false when it was cancelled and
    // the handler must stop.
    bool show(bool save);

    OptionModel &options_;
    FileDialogs &dialogs_;
    QWidget *owner_;
};

} // namespace ws
