#include "date_test.h"

#include "platform/native_names.h"

#include "platform/failure.h"

#include <cerrno>
#include <sys/stat.h>

namespace quillfen {

namespace {

enum class Unit { Year, Quarter, Month, Day, Week, CalendarWeek, Hour, Minute, Second };

Unit unitOf(const QString &code)
{
    struct Code
    {
        const char *text;
        Unit unit;
    };
    static constexpr Code Codes[] = {{"yyyy", Unit::Year}, {"q", Unit::Quarter}, {"m", Unit::Month},
        {"y", Unit::Day}, {"d", Unit::Day}, {"w", Unit::Week}, {"ww", Unit::CalendarWeek}, {"h", Unit::Hour},
        {"n", Unit::Minute}, {"s", Unit::Second}};
    for (const Code &known : Codes) {
        if (code.compare(QLatin1String(known.text), Qt::CaseInsensitive) == 0)
            return known.unit;
    }
    throw Failure(failure_no::InvalidArgument);
}

QDateTime modificationTime(const QString &path)
{
    struct stat st = {};
    if (::stat(nativePath(path).constData(), &st) != 0)
        throw Failure::fromErrno(errno, path);
    return QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
}

// The Sunday that starts the calendar week of `date`.
QDate weekStart(const QDate &date)
{
    return date.addDays(-(date.dayOfWeek() % 7));
}

// Unit boundaries crossed from `from` to `to`, on their local wall-clock fields.
qint64 boundariesCrossed(const QDateTime &from, const QDateTime &to, Unit unit)
{
    const QDate a = from.date();
    const QDate b = to.date();
    const QTime ta = from.time();
    const QTime tb = to.time();
    const qint64 days = a.daysTo(b);
    const qint64 hours = days * 24 + (tb.hour() - ta.hour());
    const qint64 minutes = hours * 60 + (tb.minute() - ta.minute());
    switch (unit) {
    case Unit::Year:
        return b.year() - a.year();
    case Unit::Quarter:
        return (qint64(b.year()) * 4 + (b.month() - 1) / 3) - (qint64(a.year()) * 4 + (a.month() - 1) / 3);
    case Unit::Month:
        return (qint64(b.year()) * 12 + b.month()) - (qint64(a.year()) * 12 + a.month());
    case Unit::Day:
        return days;
    case Unit::Week:
        return days / 7; // truncated toward zero, also for a file time in the future
    case Unit::CalendarWeek:
        return weekStart(a).daysTo(weekStart(b)) / 7;
    case Unit::Hour:
        return hours;
    case Unit::Minute:
        return minutes;
    case Unit::Second:
        return minutes * 60 + (tb.second() - ta.second());
    }
    return 0;
}

} // namespace

bool sc_CheckFileDate(const QString &path, qint16 threshold, const QString &unit, const QDateTime &now)
{
    const QDateTime fileTime = modificationTime(path);
    const Unit parsed = unitOf(unit);
    return boundariesCrossed(fileTime, now.toLocalTime(), parsed) >= threshold;
}

} // namespace quillfen
