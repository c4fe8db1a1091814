// Small helpers shared by the test programs.
#pragma once

#include "QtPrinters.h"

#include <QString>

namespace wstest {

// Folder that holds the built programs (wavesmithy and the companion tools).
QString binDir();

// Runs a program with arguments (no shell) and returns its exit code; the
// standard output and error are returned through the optional pointers.
int runProgram(const QString &program, const QStringList &args,
               QString *out = nullptr, QString *err = nullptr, int timeoutMs = 300000);

// Makes a fixture with the ffmpeg command-line program; returns true when it
// exited 0 and the file exists.
bool ffmpeg(const QStringList &args);

} // namespace wstest
