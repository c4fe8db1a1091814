#include "MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wavesmithy"));
    QApplication::setOrganizationName(QStringLiteral("Orvelle"));
    QApplication::setApplicationVersion(QStringLiteral("0.51"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Turns DVD and broadcast audio (VOB, AC3, MP2/MP3/MPA, WAV) into AAC."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Show the main window, save a picture of it to <file> once it is painted, and exit."),
        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(app);

    ws::MainWindow window;
    window.show();

    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        // Queued behind the first paint of the shown window.
        QTimer::singleShot(0, &window, [&] {
            QApplication::processEvents();
            if (!window.grab().save(file)) {
                std::fprintf(stderr, "Could not save the screenshot to %s\n", qPrintable(file));
                QCoreApplication::exit(1);
                return;
            }
            QCoreApplication::exit(0);
        });
    }
    return app.exec();
}
