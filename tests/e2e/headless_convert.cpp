// `wavesmithy --convert` with --title, run through the same headless job
// (cli/), for the disc tests: the program's own command line is read in
// gui/main.cpp.
#include "HeadlessJob.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Wavesmithy"));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvelle"));
    QCommandLineParser parser;
    const QCommandLineOption convert(QStringLiteral("convert"), {}, QStringLiteral("input"));
    const QCommandLineOption output(QStringLiteral("output"), {}, QStringLiteral("file"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"));
    const QCommandLineOption substream(QStringLiteral("substream"), {}, QStringLiteral("id"));
    const QCommandLineOption title(QStringLiteral("title"), {}, QStringLiteral("n"));
    parser.addOptions({convert, output, overwrite, substream, title});
    if (!parser.parse(app.arguments()) || !parser.isSet(convert))
        return 2;
    wsjob::HeadlessRequest request;
    request.input = parser.value(convert);
    request.output = parser.value(output);
    request.overwrite = parser.isSet(overwrite);
    request.substream = parser.value(substream);
    bool ok = true;
    if (parser.isSet(title))
        request.title = parser.value(title).toInt(&ok);
    if (!ok)
        return 2;
    QTextStream out(stdout), err(stderr);
    return wsjob::runHeadless(request, out, err);
}
