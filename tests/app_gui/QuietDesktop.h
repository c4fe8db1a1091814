// Stands in for everything the main window would show or start outside
// itself: file dialogs, message boxes and the desktop's "open". Dialogs are
// answered from a script (cancelled by default) and every request recorded.
#pragma once

#include "DesktopLinks.h"
#include "DialogProvider.h"
#include "WindowCommands.h"

#include <QStringList>
#include <QUrl>

#include <optional>

namespace wstest {

class ScriptedDialogs : public ws::DialogProvider {
public:
    std::optional<QString> file; // answer of the next file dialog; nothing cancels
    std::optional<int> filter;   // the filter the user picks there, if any
    ws::DialogProvider::FileRequest lastRequest;
    QStringList calls;

    std::optional<QString> chooseFile(const FileRequest &request) override
    {
        calls << (request.save ? QStringLiteral("save") : QStringLiteral("open"));
        lastRequest = request;
        if (filter && request.chosenFilter)
            *request.chosenFilter = *filter;
        return file;
    }
    std::optional<QString> chooseFolder(QWidget *, const QString &, const QString &) override { return {}; }
    std::optional<QColor> chooseColor(QWidget *, const QColor &, quint32) override { return {}; }
    std::optional<QFont> chooseFont(QWidget *, const QFont &) override { return {}; }
    std::optional<QString> choosePrinter(QWidget *, const QString &, quint32) override { return {}; }
    void about(QWidget *, const QString &, const QString &, const QIcon &) override {}
    void warning(QWidget *, const QString &, const QString &) override {}
    std::optional<QString> askText(QWidget *, const QString &, const QString &) override { return {}; }
    bool startDetached(const QString &, const QStringList &) override { return false; }
};

struct QuietDesktop {
    ScriptedDialogs dialogs;
    ws::ScopedDialogProvider dialogScope{&dialogs};
    QList<QUrl> opened;
    ws::ScopedUrlOpener openScope{[this](const QUrl &u) {
        opened << u;
        return true;
    }};
    bool answer = true; // to every question
    QStringList boxes;  // "title|text" of every message box
    ws::MessageBoxes saved = ws::MessageBoxes::current();

    QuietDesktop()
    {
        ws::MessageBoxes::current() = {
            [this](QWidget *, const QString &title, const QString &text) {
                boxes << title + QLatin1Char('|') + text;
                return answer;
            },
            [this](QWidget *, const QString &title, const QString &text) { boxes << title + QLatin1Char('|') + text; }};
    }
    ~QuietDesktop() { ws::MessageBoxes::current() = saved; }
};

} // namespace wstest
