// The tools' log is kept from growing without end: before a job writes to
// it, a log that has passed the limit is moved aside to NAME.1 (replacing an
// older one), and the job starts a new log.
#pragma once

#include <QString>

namespace wsjob {

constexpr qint64 kLogRotationBytes = 10'000'000; // 10 MB

// Moves `path` to `path` + ".1" when it is larger than `limit` bytes. True
// when nothing had to move or the move succeeded; otherwise false, with the
// reason in `error`.
bool rotateLog(const QString &path, QString *error, qint64 limit = kLogRotationBytes);

} // namespace wsjob
