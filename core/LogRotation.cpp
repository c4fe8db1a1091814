#include "LogRotation.h"

#include <QFile>
#include <QFileInfo>

namespace wsjob {

bool rotateLog(const QString &path, QString *error, qint64 limit)
{
    const QFileInfo log(path);
    if (!log.isFile() || log.size() <= limit)
        return true;
    const QString older = path + QStringLiteral(".1");
    QFile previous(older);
    if (previous.exists() && !previous.remove()) {
        *error = QStringLiteral("%1 could not be removed (%2)").arg(older, previous.errorString());
        return false;
    }
    QFile current(path);
    if (!current.rename(older)) {
        *error = QStringLiteral("%1 could not be moved to %2 (%3)").arg(path, older, current.errorString());
        return false;
    }
    return true;
}

} // namespace wsjob
