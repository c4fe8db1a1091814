// Helpers for the installation tests: running programs with a chosen
// environment, installing the build into a temporary prefix, reading the
// installed desktop entry and manual pages, and converting a generated AC3
// with an installed copy of the program.
#pragma once

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace wsinstall {

struct RunResult {
    int code = -1; // exit code; -1 not started, -2 crashed or timed out
    QString out;
    QString err;
};

RunResult run(const QString &program, const QStringList &args,
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
              int timeoutMs = 600000);

// Full path of a program on PATH, empty when there is none.
QString onPath(const QString &name);

// The build folder the tests belong to (holds CMakeCache.txt), or empty.
QString buildDir();

// The four programs that the installation carries.
const QStringList &programNames();

// Installs the build once per test program into a temporary prefix and
// returns that prefix; on failure returns empty and sets *why.
QString installedPrefix(QString *why);

QString readText(const QString &path);

// A desktop entry's [Desktop Entry] group as key -> value.
QMap<QString, QString> desktopEntry(const QString &path);

// The switches a program's usage text names: words that begin with one or
// two dashes and a letter (a trailing "(" of a group name is kept).
QStringList switchesIn(const QString &usage);

// A manual page formatted as plain text by groff, as a reader sees it; the
// warnings groff gave go to *warnings. Empty when groff fails.
QString renderManPage(const QString &groff, const QString &page, QString *warnings);

// Does `program --help` offer the window-less conversion?
bool offersConvert(const QString &program);

// Why the programs in `bin` cannot run a conversion test (a program not
// built, no --convert yet, no ffmpeg to make the source); empty when they can.
QString whyNotConvertible(const QString &bin);

struct Probe {
    QString codec;
    int channels = 0;
    int sampleRate = 0;
    double seconds = 0; // from the number of decoded samples
};
// The first audio stream of a file, decoded in full with ffmpeg/ffprobe.
bool probeAudio(const QString &file, Probe *p, QString *why);

// Makes a 5.1 AC3 file of the given length with ffmpeg.
bool makeAc3(const QString &file, double seconds);

struct Conversion {
    RunResult result;
    QString output;  // the AAC file asked for
    QString dataHome; // XDG_DATA_HOME the program ran with
};
// Runs `program --convert input --output <work>/out.aac --overwrite` with
// private settings, data and temporary folders, no display, and a PATH that
// holds none of the companion tools, so they must be found beside the
// program.
Conversion convertWith(const QString &program, const QString &input, const QString &work);

} // namespace wsinstall
