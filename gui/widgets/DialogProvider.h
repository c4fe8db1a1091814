// The dialogs that the dialog wrapper shows, behind an interface so that tests
// (and scripted runs) can answer them without a screen. The default provider
// shows Qt's dialogs; setDialogProvider() replaces it process-wide.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace ws {

class DialogProvider {
public:
    virtual ~DialogProvider() = default;

    struct FileRequest {
        bool save = false;
        QWidget *owner = nullptr;
        QString title;
        QString folder;          // where the dialog opens
        QString name;            // pre-filled name
        QStringList nameFilters; // Qt form
        int filterIndex = 1;     // 1-based; out of range selects the first
        QString defaultSuffix;
        quint32 flags = 0;       // file dialog flag bits (see FileDialogs.h)
        int *chosenFilter = nullptr; // when set: the 1-based filter chosen
    };

    // The chosen path; nothing when cancelled.
    virtual std::optional<QString> chooseFile(const FileRequest &request) = 0;
    virtual std::optional<QString> chooseFolder(QWidget *owner, const QString &title,
                                                const QString &start) = 0;
    virtual std::optional<QColor> chooseColor(QWidget *owner, const QColor &initial,
                                              quint32 flags) = 0;
    virtual std::optional<QFont> chooseFont(QWidget *owner, const QFont &initial) = 0;
    // The chosen printer's name.
    virtual std::optional<QString> choosePrinter(QWidget *owner, const QString &currentPrinter,
                                                 quint32 flags) = 0;
    virtual void about(QWidget *owner, const QString &title, const QString &text,
                       const QIcon &icon) = 0;
    virtual void warning(QWidget *owner, const QString &title, const QString &text) = 0;
    // A line of text; nothing when cancelled.
    virtual std::optional<QString> askText(QWidget *owner, const QString &title,
                                           const QString &label) = 0;
    // Starts a program without waiting for it and without a shell.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
};

// Shows Qt's dialogs.
class QtDialogProvider : public DialogProvider {
public:
    std::optional<QString> chooseFile(const FileRequest &request) override;
    std::optional<QString> chooseFolder(QWidget *owner, const QString &title,
                                        const QString &start) override;
    std::optional<QColor> chooseColor(QWidget *owner, const QColor &initial, quint32 flags) override;
    std::optional<QFont> chooseFont(QWidget *owner, const QFont &initial) override;
    std::optional<QString> choosePrinter(QWidget *owner, const QString &currentPrinter,
                                         quint32 flags) override;
    void about(QWidget *owner, const QString &title, const QString &text, const QIcon &icon) override;
    void warning(QWidget *owner, const QString &title, const QString &text) override;
    std::optional<QString> askText(QWidget *owner, const QString &title, const QString &label) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
};

// The provider in use.
DialogProvider &dialogProvider();

// Replaces the provider (nullptr restores Qt's dialogs); returns the one that
// was set before (nullptr for Qt's). The caller keeps ownership.
DialogProvider *setDialogProvider(DialogProvider *provider);

class ScopedDialogProvider {
public:
    explicit ScopedDialogProvider(DialogProvider *provider) : previous_(setDialogProvider(provider)) {}
    ~ScopedDialogProvider() { setDialogProvider(previous_); }
    ScopedDialogProvider(const ScopedDialogProvider &) = delete;
    ScopedDialogProvider &operator=(const ScopedDialogProvider &) = delete;

private:
    DialogProvider *previous_;
};

} // namespace ws
