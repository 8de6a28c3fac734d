#include "transfer_tests.h"

#include "transfer/date_test.h"

namespace quillfen::test {

using DateRestriction = TransferTest;

TEST_F(DateRestriction, CountsUnitBoundariesCrossedOnWallClockFields)
{
    // 2025 unless the year is given; 01-04 is a Saturday, 01-05 a Sunday.
    struct Row
    {
        const char *file, *now;
        DateUnit unit;
        qint64 crossed;
    };
    const Row rows[] = {{"03-10 10:59:00", "03-10 11:00:00", DateUnit::Hour, 1},
        {"03-10 11:00:00", "03-10 11:59:59", DateUnit::Hour, 0},
        {"03-09 23:30:00", "03-10 00:10:00", DateUnit::Hour, 1},
        {"03-10 12:00:00", "03-10 11:59:59", DateUnit::Hour, -1},
        {"03-10 10:59:59", "03-10 11:00:00", DateUnit::Minute, 1},
        {"03-10 10:59:59", "03-10 11:00:01", DateUnit::Second, 2},
        {"03-10 00:00:00", "03-12 23:59:59", DateUnit::Day, 2},
        {"2000-02-29 12:00:00", "2000-03-01 12:00:00", DateUnit::Day, 1},
        {"01-01 12:00:00", "01-15 00:00:00", DateUnit::Week, 2},
        {"01-10 12:00:00", "01-01 12:00:00", DateUnit::Week, -1},
        {"01-04 23:00:00", "01-05 00:00:00", DateUnit::CalendarWeek, 1},
        {"01-05 00:00:00", "01-11 23:59:59", DateUnit::CalendarWeek, 0},
        {"2024-12-15 00:00:00", "02-28 23:59:59", DateUnit::Month, 2},
        {"2024-12-31 23:59:59", "07-01 00:00:00", DateUnit::Quarter, 3},
        {"2024-12-31 23:59:59", "01-01 00:00:00", DateUnit::Year, 1},
        {"2026-06-01 00:00:00", "12-31 23:59:59", DateUnit::Year, -1}};
    const auto local = [](const QString &text) {
        const QString full = text.size() < 15 ? "2025-" + text : text;
        return std::time_t(QDateTime::fromString(full, "yyyy-MM-dd HH:mm:ss").toSecsSinceEpoch());
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.file) + " to " + row.now);
        EXPECT_EQ(unitsBetween(local(row.file), local(row.now), row.unit), row.crossed);
    }
}

TEST_F(DateRestriction, TheRunsTestTakesALinksTargetTime)
{
    writeBytes(src + "f.txt", "x");
    setModified(src + "f.txt", QDateTime::currentDateTime().addDays(-3));
    makeTree(src, {"link->f.txt"});
    EXPECT_TRUE(sc_CheckFileDate(src + "link", 3, "d"));
    EXPECT_FALSE(sc_CheckFileDate(src + "link", 4, "d"));
    for (const auto &[name, unit, number] :
        {std::tuple {"f.txt", "hours", 5}, {"gone", "h", 53}, {"no/f", "h", 76}})
        EXPECT_EQ(failureOf([&] { sc_CheckFileDate(src + name, 1, unit); }), number) << name;
}

} // namespace quillfen::test
