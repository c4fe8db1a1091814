#include "UserGuide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ws {

QString guidePath()
{
    const QString installed = QStringLiteral(WS_GUIDE_INSTALL_PATH);
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QDir::cleanPath(QCoreApplication::applicationDirPath()
                                      + QStringLiteral("/../share/doc/wavesmithy/guide.html"));
    candidates << QStringLiteral(WS_GUIDE_SOURCE_PATH) << installed;
    for (const QString &c : candidates) {
        if (QFileInfo(c).isFile())
            return c;
    }
    return installed;
}

QUrl guideUrl(const QString &section)
{
    QUrl url = QUrl::fromLocalFile(guidePath());
    if (!section.isEmpty())
        url.setFragment(section);
    return url;
}

} // namespace ws
