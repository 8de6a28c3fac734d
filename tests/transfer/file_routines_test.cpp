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
    // File time, now (2025 unless named), unit code, boundaries crossed: up to that threshold the
    // file passes. 01-04 is a Saturday, 01-05 a Sunday.
    const char *const rows[] = {"03-10 10:59:00|03-10 11:00:00|h|1", "03-10 11:00:00|03-10 11:59:59|H|0",
        "03-09 23:30:00|03-10 00:10:00|h|1", "03-10 12:00:00|03-10 11:59:59|h|-1",
        "03-10 10:59:59|03-10 11:00:00|n|1", "03-10 10:59:59|03-10 11:00:01|s|2",
        "03-10 00:00:00|03-12 23:59:59|y|2", "2000-02-29 12:00:00|2000-03-01 12:00:00|d|1",
        "01-01 12:00:00|01-15 00:00:00|w|2", "01-10 12:00:00|01-01 12:00:00|w|-1",
        "01-04 23:00:00|01-05 00:00:00|ww|1", "01-05 00:00:00|01-11 23:59:59|WW|0",
        "2024-12-15 00:00:00|02-28 23:59:59|m|2", "2024-12-31 23:59:59|07-01 00:00:00|q|3",
        "2024-12-31 23:59:59|01-01 00:00:00|yyyy|1", "2026-06-01 00:00:00|12-31 23:59:59|YYYY|-1"};
    const QString path = src + "f.txt";
    writeBytes(path, "x");
    const auto local = [](const QString &text) {
        return QDateTime::fromString(text.size() < 15 ? "2025-" + text : text, "yyyy-MM-dd HH:mm:ss");
    };
    for (const char *row : rows) {
        SCOPED_TRACE(row);
        const QStringList c = q(row).split('|');
        setModified(path, local(c[0]));
        EXPECT_TRUE(sc_CheckFileDate(path, qint16(c[3].toInt()), c[2], local(c[1])));
        EXPECT_FALSE(sc_CheckFileDate(path, qint16(c[3].toInt() + 1), c[2], local(c[1])));
    }
    for (const auto &[name, unit, number] :
        {std::tuple {"f.txt", "hours", 5}, {"gone", "h", 53}, {"no/f", "h", 76}})
        EXPECT_EQ(failureOf([&] { sc_CheckFileDate(src + name, 1, unit); }), number) << name;
}

} // namespace quillfen::test
