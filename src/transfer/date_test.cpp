#include "date_test.h"

#include "platform/failure.h"
#include "platform/native_names.h"

#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace quillfen {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
qint64 dayNumber(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Fields
{
    qint64 year;
    int month; // 1 to 12
    qint64 day; // days since 1970-01-01
    int weekday; // 0 = Sunday
    int hour, minute, second;
};

Fields localFields(std::time_t when)
{
    std::tm local {};
    ::localtime_r(&when, &local);
    const qint64 year = qint64(local.tm_year) + 1900;
    return {year, local.tm_mon + 1, dayNumber(year, local.tm_mon + 1, local.tm_mday), local.tm_wday,
        local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace

DateUnit dateUnitOf(const QString &code)
{
    struct Code
    {
        const char *text;
        DateUnit unit;
    };
    static constexpr Code Codes[]
        = {{"yyyy", DateUnit::Year}, {"q", DateUnit::Quarter}, {"m", DateUnit::Month}, {"y", DateUnit::Day},
            {"d", DateUnit::Day}, {"w", DateUnit::Week}, {"ww", DateUnit::CalendarWeek},
            {"h", DateUnit::Hour}, {"n", DateUnit::Minute}, {"s", DateUnit::Second}};
    for (const Code &known : Codes) {
        if (code.compare(QLatin1String(known.text), Qt::CaseInsensitive) == 0)
            return known.unit;
    }
    throw Failure(failure_no::InvalidArgument);
}

qint64 unitsBetween(std::time_t from, std::time_t to, DateUnit unit)
{
    // A run compares every file with the same moment: its fields are worked out once.
    thread_local std::pair<std::time_t, Fields> now {-1, localFields(-1)};
    if (now.first != to)
        now = {to, localFields(to)};
    const Fields a = localFields(from);
    const Fields &b = now.second;
    const qint64 days = b.day - a.day;
    const qint64 hours = days * 24 + (b.hour - a.hour);
    const qint64 minutes = hours * 60 + (b.minute - a.minute);
    switch (unit) {
    case DateUnit::Year:
        return b.year - a.year;
    case DateUnit::Quarter:
        return (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
    case DateUnit::Month:
        return (b.year * 12 + b.month) - (a.year * 12 + a.month);
    case DateUnit::Day:
        return days;
    case DateUnit::Week:
        return days / 7; // truncated toward zero, also for a file time in the future
    case DateUnit::CalendarWeek:
        // Sundays passed: the weeks between the Sundays that start the two weeks.
        return ((b.day - b.weekday) - (a.day - a.weekday)) / 7;
    case DateUnit::Hour:
        return hours;
    case DateUnit::Minute:
        return minutes;
    case DateUnit::Second:
        return minutes * 60 + (b.second - a.second);
    }
    return 0;
}

bool sc_CheckFileDate(
    const QString &path, qint16 threshold, const QString &unit, safe_copy::Known *found, qint64 *age)
{
    safe_copy::Known own;
    safe_copy::Known &known = found ? *found : own;
    known.path = nativePath(path);
    const QByteArray &native = known.path;
    if (::lstat(native.constData(), &known.itself) != 0)
        throw Failure::fromErrno(errno, native);
    known.file = known.itself;
    if (S_ISLNK(known.itself.st_mode) && ::stat(native.constData(), &known.file) != 0)
        throw Failure::fromErrno(errno, native);
    const qint64 units = unitsBetween(known.file.st_mtim.tv_sec, std::time(nullptr), dateUnitOf(unit));
    if (age)
        *age = units;
    return units >= threshold;
}

} // namespace quillfen
