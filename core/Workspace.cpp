#include "Workspace.h"

#include <QDir>
#include <QStorageInfo>
#include <QStringList>

namespace wsjob {

namespace {

// The workspaces of this process that exist now.
QStringList g_live;

} // namespace

Workspace::Workspace(const QString &parentFolder)
    : dir_(QDir(parentFolder).filePath(QStringLiteral("wavesmithy-XXXXXX")))
{
    if (dir_.isValid())
        g_live << dir_.path();
}

Workspace::~Workspace() { g_live.removeOne(dir_.path()); }

void Workspace::removeAll()
{
    for (const QString &path : std::as_const(g_live))
        QDir(path).removeRecursively();
    g_live.clear();
}

QString Workspace::path() const { return dir_.path() + QLatin1Char('/'); }

qint64 Workspace::bytesAvailable() const
{
    const QStorageInfo storage(dir_.path());
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

} // namespace wsjob
