// A job's private workspace: a fresh folder "wavesmithy-XXXXXX" inside the
// chosen temporary folder, readable by its user only, removed whole with
// everything in it when the job ends, whatever the outcome.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace wsjob {

class Workspace {
public:
    explicit Workspace(const QString &parentFolder);
    ~Workspace();
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    // Removes every workspace of this process at once, for an exit that
    // does not unwind the running job ("Exit" ends the program on the spot).
    static void removeAll();

    bool isValid() const { return dir_.isValid(); }
    QString error() const { return dir_.errorString(); }
    // The folder, ending with the path separator.
    QString path() const;
    // Bytes free on the workspace's file system; -1 when unknown.
    qint64 bytesAvailable() const;

private:
    QTemporaryDir dir_;
};

} // namespace wsjob
