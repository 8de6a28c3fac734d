#pragma once

#include <QDateTime>
#include <QString>

namespace quillfen {

// True when the file at `path` is at least `threshold` units old, counting unit
// boundaries crossed on local wall-clock fields between its modification time and `now`.
// Unit codes (letter case ignored): yyyy q m y d w ww h n s. Throws Failure 5 for any
// other code and 53 (or 76) when the file cannot be found.
bool sc_CheckFileDate(const QString &path, qint16 threshold, const QString &unit,
    const QDateTime &now = QDateTime::currentDateTime());

} // namespace quillfen
