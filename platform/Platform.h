// Thin layer over the operating system: file identity, program lookup,
// process priorities and the program's folders. Qt Core only.
#pragma once

#include <QString>
#include <QStringList>

class QProcess;

namespace wsplatform {

// Priority classes as the option model names them (process creation flags).
enum PriorityClass : quint32 {
    NormalPriorityClass = 0x20,
    IdlePriorityClass = 0x40,
    HighPriorityClass = 0x80,
    RealTimePriorityClass = 0x100,
};

// Whether both paths name one existing file (the same device and inode, so
// hard links, symbolic links and other spellings count).
bool sameFile(const QString &a, const QString &b);

// Full path of the program to start, or an empty text when there is none.
// A name with a folder in it is taken relative to the current folder. A bare
// name is looked for in the folder of the running program, then in the
// current folder, then along PATH. Only executable files count.
QString findProgram(const QString &name);
// The file that findProgram would have taken if it were executable: the
// first plain file of that name in the same places; empty when there is none.
QString findNonExecutable(const QString &name);

// The nice value a priority class asks for: idle 19, normal 0, high -5,
// real-time -10. Flags without a known class count as normal; when several
// classes are given the lowest priority among them wins.
int niceForPriorityClass(quint32 flags);

// Makes `process` start its program at the nice value of `flags`, and (on
// Linux) end with this program: it gets SIGTERM when this program dies, even
// through SIGKILL. A nice value that the system does not allow (raising
// priority without the right to) falls back to normal, and failing that to
// the inherited priority; it never keeps the program from starting.
void setUpToolProcess(QProcess &process, quint32 flags);

// Folder that holds the running program, without a trailing separator.
QString programFolder();

// The per-user data folder of the program; created when missing.
QString userDataFolder();

// The platform's path separator: "/" on Linux, "\" on Windows.
QString pathSeparator();

} // namespace wsplatform
