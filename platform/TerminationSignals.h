// SIGINT, SIGTERM and SIGHUP as an event of the event loop: the handler only
// writes the signal's number into a pipe (self-pipe), and a socket notifier
// reads it, so all the work of a stop happens in ordinary code.
#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace wsplatform {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object at a time.
    explicit TerminationSignals(QObject *parent = nullptr);
    // Restores the default actions.
    ~TerminationSignals() override;

    // The first of these signals this program received, 0 when none.
    static int first();
    // The exit code after that signal (128 + its number: 130, 143, 129).
    static int exitCode(int signalNumber) { return 128 + signalNumber; }
    // "SIGTERM", "SIGINT", "SIGHUP".
    static QString name(int signalNumber);

signals:
    void received(int signalNumber);

private:
    void readPipe();
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace wsplatform
