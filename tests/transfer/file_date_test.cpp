#include "transfer_test_support.h"

#include "platform/failure.h"
#include "support/temp_store.h"
#include "transfer/date_test.h"

#include <gtest/gtest.h>

using namespace quillfen;
using namespace quillfen::test;

namespace {

struct DateCase
{
    const char *file; // local wall-clock time, "yyyy-MM-dd HH:mm:ss"
    const char *now;
    int threshold;
    const char *unit;
    bool passes;
};

QDateTime local(const char *text)
{
    return QDateTime::fromString(q(text), q("yyyy-MM-dd HH:mm:ss"));
}

class DateRestriction : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(DateRestriction, CountsUnitBoundariesCrossed)
{
    const DateCase &c = GetParam();
    TempStore store;
    const QString path = store.scratch() + q("f.txt");
    writeBytes(path, "x");
    setModified(path, local(c.file));
    EXPECT_EQ(sc_CheckFileDate(path, qint16(c.threshold), q(c.unit), local(c.now)), c.passes)
        << c.file << " -> " << c.now << ", " << c.threshold << ' ' << c.unit;
}

// 2025-01-04 is a Saturday, 2025-01-05 a Sunday.
INSTANTIATE_TEST_SUITE_P(Boundaries, DateRestriction,
    ::testing::Values(DateCase {"2025-03-10 10:59:00", "2025-03-10 11:00:00", 1, "h", true},
        DateCase {"2025-03-10 11:00:00", "2025-03-10 11:59:59", 1, "h", false},
        DateCase {"2025-03-10 11:00:00", "2025-03-10 12:00:00", 1, "h", true},
        DateCase {"2025-03-10 10:59:00", "2025-03-10 11:00:00", 1, "H", true},
        DateCase {"2025-03-09 23:30:00", "2025-03-10 00:10:00", 1, "h", true},
        DateCase {"2025-03-10 11:45:00", "2025-03-10 11:00:00", 0, "h", true},
        DateCase {"2025-03-10 12:00:00", "2025-03-10 11:59:59", 0, "h", false},
        DateCase {"2025-03-10 12:00:00", "2025-03-10 11:59:59", -1, "h", true},
        DateCase {"2025-03-10 10:59:59", "2025-03-10 11:00:00", 1, "n", true},
        DateCase {"2025-03-10 10:59:00", "2025-03-10 10:59:59", 1, "n", false},
        DateCase {"2025-03-10 10:59:59", "2025-03-10 11:00:00", 1, "s", true},
        DateCase {"2025-03-10 11:00:00", "2025-03-10 11:00:00", 1, "S", false},
        DateCase {"2025-03-10 23:59:59", "2025-03-11 00:00:00", 1, "d", true},
        DateCase {"2025-03-10 00:00:00", "2025-03-10 23:59:59", 1, "d", false},
        DateCase {"2025-03-10 23:59:59", "2025-03-11 00:00:00", 1, "y", true},
        DateCase {"2025-01-01 12:00:00", "2025-01-07 12:00:00", 1, "w", false},
        DateCase {"2025-01-01 12:00:00", "2025-01-08 00:00:00", 1, "w", true},
        DateCase {"2025-01-10 12:00:00", "2025-01-01 12:00:00", -1, "w", true},
        DateCase {"2025-01-04 23:00:00", "2025-01-05 00:00:00", 1, "ww", true},
        DateCase {"2025-01-05 00:00:00", "2025-01-11 23:59:59", 1, "ww", false},
        DateCase {"2025-01-05 00:00:00", "2025-01-12 00:00:00", 1, "WW", true},
        DateCase {"2025-01-04 12:00:00", "2025-01-12 12:00:00", 2, "ww", true},
        DateCase {"2025-01-31 23:59:59", "2025-02-01 00:00:00", 1, "m", true},
        DateCase {"2025-02-01 00:00:00", "2025-02-28 23:59:59", 1, "m", false},
        DateCase {"2025-03-31 23:59:59", "2025-04-01 00:00:00", 1, "q", true},
        DateCase {"2025-01-01 00:00:00", "2025-03-31 23:59:59", 1, "q", false},
        DateCase {"2024-12-31 23:59:59", "2025-01-01 00:00:00", 1, "yyyy", true},
        DateCase {"2025-01-01 00:00:00", "2025-12-31 23:59:59", 1, "YYYY", false},
        DateCase {"2026-06-01 00:00:00", "2025-06-01 00:00:00", 0, "yyyy", false}));

TEST(DateRestrictionFailures, UnknownUnitsAndMissingFiles)
{
    TempStore store;
    const QString dir = store.scratch();
    writeBytes(dir + q("f.txt"), "x");
    const std::tuple<QString, const char *, int> rows[] = {
        {dir + q("f.txt"), "hours", failure_no::InvalidArgument},
        {dir + q("f.txt"), "", failure_no::InvalidArgument},
        {dir + q("f.txt"), " h", failure_no::InvalidArgument},
        {dir + q("missing.txt"), "h", failure_no::FileNotFound},
        {dir + q("nowhere/f.txt"), "h", failure_no::PathNotFound},
    };
    for (const auto &[path, unit, number] : rows)
        EXPECT_EQ(failureOf([&] { sc_CheckFileDate(path, 1, q(unit)); }), number) << qPrintable(path) << unit;
}

} // namespace
