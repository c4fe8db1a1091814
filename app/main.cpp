#include "MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QWindow>
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
        // Once the window is on screen and its layout has settled (size
        // hints of combo boxes arrive after the first show), grab it.
        QTimer::singleShot(0, &window, [&window, file] {
            QElapsedTimer waited;
            waited.start();
            while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            for (int pass = 0; pass < 5; ++pass) {
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents();
            }
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
