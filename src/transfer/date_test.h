#pragma once

#include "safe_copy.h"

#include <QString>

#include <ctime>

namespace quillfen {

// The units of the date restriction.
enum class DateUnit { Year, Quarter, Month, Day, Week, CalendarWeek, Hour, Minute, Second };

// The unit of a code (letter case ignored): yyyy q m y d w ww h n s. Throws Failure 5 for any
// other code.
DateUnit dateUnitOf(const QString &code);

// Unit boundaries crossed from `from` to `to`, counted on their local wall-clock fields;
// negative when `from` lies later.
qint64 unitsBetween(std::time_t from, std::time_t to, DateUnit unit);

// True when the file at `path` (for a link, the file it leads to) is at least `threshold` units
// old, counting unit boundaries crossed between its modification time and now. Throws Failure 53
// (or 76) when the file cannot be found, then 5 for an unknown unit code. `found` and `age`, when
// given, receive the file as the test found it and its age in the unit.
bool sc_CheckFileDate(const QString &path, qint16 threshold, const QString &unit,
    safe_copy::Known *found = nullptr, qint64 *age = nullptr);

} // namespace quillfen
