// Where the user guide (guide.html) lies, in the build tree or installed.
#pragma once

#include <QString>
#include <QUrl>

namespace ws {

// The first of these that exists: <program folder>/../share/doc/wavesmithy/
// guide.html (an installed, relocated program), the guide in the source tree
// the program was built from, and the guide under the configured install
// prefix. When none exists, the path under the install prefix.
QString guidePath();

// The guide as a file URL, optionally with a section (such as
// "companion-tools") as its fragment.
QUrl guideUrl(const QString &section = QString());

} // namespace ws
