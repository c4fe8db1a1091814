#include "HeadlessJob.h"
#include "MainWindow.h"
#include "ProcessRunner.h"
#include "TerminationSignals.h"
#include "Workspace.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Wavesmithy"));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvelle"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.51"));
}

struct Options {
    QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                  QStringLiteral("Show the main window, save a picture of it to <file> once it is "
                                                 "painted, and exit."),
                                  QStringLiteral("file")};
    QCommandLineOption convert{QStringLiteral("convert"),
                               QStringLiteral("Convert <input> to AAC without a window, with the stored options, "
                                              "printing each status and command line. Exits 0 only when the AAC "
                                              "file was made; the options are not saved."),
                               QStringLiteral("input")};
    QCommandLineOption output{QStringLiteral("output"),
                              QStringLiteral("With --convert: the AAC file to write (default: the input name with "
                                             "the extension aac)."),
                              QStringLiteral("file")};
    QCommandLineOption overwrite{QStringLiteral("overwrite"),
                                 QStringLiteral("With --convert: replace an existing output file (otherwise the "
                                                "conversion stops)."),
                                 };
    QCommandLineOption substream{QStringLiteral("substream"),
                                 QStringLiteral("With --convert of a VOB or a disc: the audio substream to take, "
                                                "such as 0x80 (AC3), 0x88 (DTS), 0xA0 (LPCM) or 0xC0 (MPEG audio); "
                                                "by default DVD audio stream number 0."),
                                 QStringLiteral("id")};
    QCommandLineOption title{QStringLiteral("title"),
                             QStringLiteral("With --convert of a disc (a VIDEO_TS folder, the folder holding one, "
                                            "or an .iso image): the title to take, from 1; by default the longest."),
                             QStringLiteral("n")};
    QCommandLineOption batch{QStringLiteral("batch"),
                             QStringLiteral("Open the batch window, with the files given after the options in its "
                                            "list.")};
};

// Grabs the window once it is on screen, its layout has settled and the
// input's titles are listed.
void screenshotWhenShown(ws::MainWindow &window, const QString &file)
{
    QTimer::singleShot(0, &window, [&window, file] {
        QElapsedTimer waited;
        waited.start();
        while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        // The titles and tracks of a disc input fill their combos first.
        while (window.listingPending() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
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

// The options every Qt program takes (QGuiApplication and QApplication);
// hidden from the help.
QList<QCommandLineOption> qtStandardOptions()
{
    QList<QCommandLineOption> options;
    for (const char *withValue : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                  "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style",
                                  "stylesheet", "qmljsdebugger"})
        options << QCommandLineOption(QLatin1String(withValue), QString(), QStringLiteral("value"));
    for (const char *flag : {"reverse", "widgetcount"})
        options << QCommandLineOption(QLatin1String(flag));
    for (QCommandLineOption &o : options)
        o.setFlags(QCommandLineOption::HiddenFromHelp);
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Turns DVD and broadcast audio (VOB, AC3, MP2/MP3/MPA, WAV) into AAC.\n"
                       "Without options the main window opens."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption(o.screenshot);
    parser.addOption(o.convert);
    parser.addOption(o.output);
    parser.addOption(o.overwrite);
    parser.addOption(o.substream);
    parser.addOption(o.title);
    parser.addOption(o.batch);
    // Qt's standard options ("-platform offscreen", "-style fusion", ...) are
    // taken here too, so the application object can act on them.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption &qt : qtStandardOptions())
        parser.addOption(qt);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Sources for the batch window (VOB, AC3, MP2/MP3/MPA, WAV)."),
                                 QStringLiteral("[files...]"));
    const bool parsed = parser.parse(arguments);

    // Work that needs no window runs without a display.
    if (!parsed || parser.isSet(help) || parser.isSet(version) || parser.isSet(o.convert)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        if (!parsed) {
            std::fprintf(stderr, "wavesmithy: %s\n", qPrintable(parser.errorText()));
            return 2;
        }
        if (parser.isSet(help))
            parser.showHelp(0);
        if (parser.isSet(version))
            parser.showVersion();
        QTextStream out(stdout);
        QTextStream err(stderr);
        wsjob::HeadlessRequest request;
        request.input = parser.value(o.convert);
        request.output = parser.value(o.output);
        request.overwrite = parser.isSet(o.overwrite);
        request.substream = parser.value(o.substream);
        if (parser.isSet(o.title)) {
            bool number = false;
            request.title = parser.value(o.title).toInt(&number);
            if (!number || request.title < 1) {
                std::fprintf(stderr, "wavesmithy: --title takes a title number from 1, not \"%s\".\n",
                             qPrintable(parser.value(o.title)));
                return 2;
            }
        }
        return wsjob::runHeadless(request, out, err);
    }

    QApplication app(argc, argv);
    nameApplication();
    ws::MainWindow window;
    // SIGINT, SIGTERM and SIGHUP act as Stop, then end the program.
    wsplatform::TerminationSignals stopSignals;
    QObject::connect(&stopSignals, &wsplatform::TerminationSignals::received, [](int number) {
        ProcessRunner::stopCurrent();
        QCoreApplication::exit(wsplatform::TerminationSignals::exitCode(number));
    });
    window.show();
    // Files given on the command line (as the desktop's launcher passes the
    // dropped or chosen ones) go to the batch window.
    if (parser.isSet(o.batch) || !parser.positionalArguments().isEmpty())
        window.openBatch(parser.positionalArguments());
    if (parser.isSet(o.screenshot))
        screenshotWhenShown(window, parser.value(o.screenshot));
    const int code = app.exec();
    if (const int number = wsplatform::TerminationSignals::first()) {
        wsjob::Workspace::removeAll();
        std::fprintf(stderr, "wavesmithy: interrupted by %s; any running conversion was stopped.\n",
                     qPrintable(wsplatform::TerminationSignals::name(number)));
        return wsplatform::TerminationSignals::exitCode(number);
    }
    return code;
}
