#include "transfer_tests.h"

#include "transfer/date_test.h"

#include <fcntl.h>

// A device that is not there cannot be made for real: stat() answers this error for this path.
static std::pair<QByteArray, int> g_failing;

extern "C" int stat(const char *path, struct stat *buf) noexcept
{
    if (g_failing.second != 0 && g_failing.first == path) {
        errno = g_failing.second;
        return -1;
    }
    return ::fstatat(AT_FDCWD, path, buf, 0);
}

namespace quillfen::test {

using FileRoutines = TransferTest;
using DateRestriction = TransferTest;

TEST_F(FileRoutines, FileExistsAndCopyFileReportAsTheyShould)
{
    makeTree(root, {"plain", ".hidden", "folder/", "link->plain", "dangling->gone"});
    ::mkfifo(nativePath(root + "pipe").constData(), 0600);
    for (const char *name : {"plain", "link"})
        EXPECT_TRUE(sc_FileExists(root + name).found) << name;
    for (const char *name : {".hidden", "folder", "dangling", "pipe", "missing", "no/where"}) {
        EXPECT_FALSE(sc_FileExists(root + name).found) << name;
        EXPECT_FALSE(sc_FileExists(root + name).report) << name;
    }
    for (const int error : {ENXIO, EACCES}) {
        g_failing = {nativePath(root + "plain"), error};
        const Lookup lookup = sc_FileExists(root + "plain");
        g_failing = {};
        EXPECT_FALSE(lookup.found);
        const Report report = lookup.report.value_or(Report::place(Failure(0), ""));
        EXPECT_EQ(QString::number(report.failure.number()) + report.where,
            (error == ENXIO ? "68" : "70") + root + "plain");
    }
    for (const char *name : {"missing", "no/where", "link"})
        sc_DeleteFile(root + name);
    EXPECT_FALSE(present(root + "link"));
    EXPECT_TRUE(present(root + "plain"));

    // A missing source folder tries nothing; a missing file fails and replaces nothing.
    EXPECT_EQ(outcomeOf(sc_CopyFile("plain", root + "none/", "plain", root, false)), "no source folder");
    writeBytes(root + "plain", "old");
    for (const bool move : {false, true})
        EXPECT_EQ(outcomeOf(sc_CopyFile("missing", root, "plain", root, move)), "53");
    EXPECT_EQ(readBytes(root + "plain"), "old");
}

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
