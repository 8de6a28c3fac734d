#include "transfer_test_support.h"

#include "platform/failure.h"
#include "settings/keys.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/transfer_log.h"
#include "transfer/transfer_run.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace quillfen;
using namespace quillfen::test;

namespace {

struct Entry
{
    QString file, source, dest, move;
};

class TransferRun : public ::testing::Test
{
protected:
    void SetUp() override { std::setlocale(LC_TIME, "C"); }
    void TearDown() override { sc_ClosePendingRun(); }

    void storeEntries(const QList<Entry> &entries)
    {
        for (int n = 1; n <= entries.size(); ++n) {
            const Entry &e = entries[n - 1];
            for (const auto &[stem, value] : {std::pair {keys::FileStem, e.file}, {keys::PathStem, e.source},
                     {keys::DestStem, e.dest}, {keys::MoveStem, e.move}})
                store.set(keys::entryKey(stem, n), value);
        }
        store.set(q(keys::Files), QString::number(entries.size()));
    }

    // The failure number that ended the run, 0 when it ran to its end.
    static int run() { return failureOf(sc_TransferFiles); }

    QString log() const { return maskTimes(q(readBytes(logFilePath()))); }

    // The source path of every handled file, from its begin or skip record, in log order.
    QStringList handled() const
    {
        QStringList paths;
        for (const QString &line : log().split(q("\r\n"))) {
            if (line.startsWith(q("\tFrom: \t")))
                paths << line.mid(8);
            else if (line.startsWith(QLatin1Char('\t')) && !line.startsWith(q("\tTo:")))
                paths << line.mid(1);
        }
        return paths;
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString root = store.root() + QLatin1Char('/');
    const QString src = store.scratch(q("src"));
    const QString dst = root + q("dst/");
    const QString bad = root + q("no/dst/"); // its parent is missing too
};

TEST_F(TransferRun, WholeLogOfACopyAMoveASkipAndAFailedCopy)
{
    ProgressRecorder progress;
    writeAged(src + q("old.txt"), "old", 2);
    writeAged(src + q("mv.txt"), "mv", 2);
    writeAged(src + q("new.txt"), "new", -2);
    storeEntries({{q("old.txt"), src, dst, q("0")}, {q("mv.txt"), src, dst, q("1")},
        {q("new.txt"), src, dst, q("0")}, {q("old.txt"), src, bad, q("0")}});

    ASSERT_EQ(run(), 0);
    EXPECT_EQ(log(),
        q("#------------------------------------------------------------#\r\n"
          "# This file was created by Marivale Quillfen       #\r\n"
          "#------------------------------------------------------------#\r\n"
          "# Created <now> on {host}\r\n\r\n\r\n\r\n"
          "Begin Copy File \t<now>\r\n\tFrom: \t{src}old.txt\r\n"
          "\tTo:   {dst}old.txt\r\nCopy File successful\t<now>\r\n\r\n\r\n"
          "Begin Move File \t<now>\r\n\tFrom: \t{src}mv.txt\r\n"
          "\tTo:   {dst}mv.txt\r\nMove File successful\t<now>\r\n\r\n\r\n"
          "Copy File cancelled\t<now>\r\n\t{src}new.txt\r\nFile skipped due to date restrictions\r\n\r\n\r\n"
          "Begin Copy File \t<now>\r\n\tFrom: \t{src}old.txt\r\n"
          "\tTo:   {bad}old.txt\r\nCopy File  failed: Error Number: 76  Error: Path not "
          "found\t<now>\r\n\r\n\r\n")
            .replace(q("{host}"), QSysInfo::machineHostName())
            .replace(q("{src}"), src)
            .replace(q("{dst}"), dst)
            .replace(q("{bad}"), bad));
    EXPECT_EQ(boxes.texts(),
        QStringList {q("Error: Path not found (76)\r\n\r\nCheck the path to \r\n") + bad
            + q("\r\nYou may need to create the file manually.")});
    EXPECT_EQ(readBytes(dst + q("old.txt")), QByteArray("old"));
    EXPECT_EQ(readBytes(dst + q("mv.txt")), QByteArray("mv"));
    EXPECT_FALSE(present(src + q("mv.txt")));
    EXPECT_FALSE(present(dst + q("new.txt")));
    EXPECT_EQ(progress.events.mid(0, 3),
        QStringList({q("planned 4"), q("started ") + src + q("old.txt"), q("finished")}));
    EXPECT_EQ(progress.events.count(q("finished")), 4);
}

TEST_F(TransferRun, EmptyListWritesNothingAndStoresTheDefaults)
{
    ASSERT_EQ(run(), 0);
    EXPECT_FALSE(present(logFilePath()));
    const std::pair<const char *, const char *> stored[]
        = {{keys::Files, "0"}, {keys::Timer, "10"}, {keys::AutoStart, "0"}, {keys::DefaultFileExt, "*.txt"},
            {keys::CompareInterval, "1"}, {keys::CompareIntType, "h"}};
    for (const auto &[key, value] : stored)
        EXPECT_EQ(store.value(q(key)), q(value)) << key;
}

TEST_F(TransferRun, MissingSingleFileEndsTheRunAndDefersTheSave)
{
    writeAged(src + q("a.txt"), "a", 2);
    writeAged(src + q("c.txt"), "c", 2);
    storeEntries(
        {{q("a.txt"), src, dst, q("0")}, {q("b.txt"), src, dst, q("0")}, {q("c.txt"), src, dst, q("0")}});

    EXPECT_EQ(run(), failure_no::FileNotFound);
    EXPECT_EQ(handled(), QStringList {src + q("a.txt")});
    EXPECT_TRUE(present(dst + q("a.txt")));
    EXPECT_FALSE(present(dst + q("c.txt")));
    EXPECT_FALSE(store.has(q(keys::Timer)));
    sc_ClosePendingRun();
    EXPECT_EQ(store.value(q(keys::Timer)), q("10"));
}

TEST_F(TransferRun, UnusableSettingsEndTheRunBeforeAnyFile)
{
    writeAged(src + q("a.txt"), "a", 2);
    const std::tuple<const char *, const char *, int> rows[] = {
        {keys::CompareInterval, "abc", failure_no::TypeMismatch},
        {keys::CompareInterval, "", failure_no::TypeMismatch},
        {keys::CompareInterval, "40000", failure_no::Overflow},
        {keys::CompareIntType, "hours", failure_no::InvalidArgument},
        {"sc_Move1", "maybe", failure_no::TypeMismatch},
        {"sc_Move1", "", failure_no::TypeMismatch},
    };
    for (const auto &[key, value, number] : rows) {
        storeEntries({{q("a.txt"), src, dst, q("1")}});
        store.set(q(keys::CompareInterval), q("1"));
        store.set(q(keys::CompareIntType), q("h"));
        store.set(q(key), q(value));
        EXPECT_EQ(run(), number) << key << '=' << value;
        EXPECT_TRUE(present(src + q("a.txt")));
        EXPECT_FALSE(present(logFilePath()));
    }
}

TEST_F(TransferRun, MoveFlagsAsTruthValues)
{
    const std::pair<const char *, bool> rows[]
        = {{"1", true}, {"2", true}, {"-1", true}, {"0", false}, {"TRUE", true}, {"false", false}};
    for (const auto &[flag, moves] : rows) {
        writeAged(src + q("f.txt"), "f", 2);
        storeEntries({{q("f.txt"), src, dst, q(flag)}});
        ASSERT_EQ(run(), 0) << flag;
        EXPECT_EQ(present(src + q("f.txt")), !moves) << flag;
        EXPECT_TRUE(present(dst + q("f.txt"))) << flag;
    }
}

TEST_F(TransferRun, QuestionMarkWithoutStarIsASingleFile)
{
    writeAged(src + q("a?c.txt"), "literal", 2);
    writeAged(src + q("abc.txt"), "other", 2);
    storeEntries({{q("a?c.txt"), src, dst, q("0")}});
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(QDir(dst).entryList(QDir::Files), QStringList {q("a?c.txt")});
}

TEST_F(TransferRun, FailedCopyInTheSecondEntryStillHandlesTheThird)
{
    writeAged(src + q("a.txt"), "a", 2);
    storeEntries({{q("a.txt"), src, dst, q("0")}, {q("a.txt"), src, bad, q("0")},
        {q("a.txt"), src, dst + q("third/"), q("0")}});
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(log().count(q("Copy File successful")), 2);
    EXPECT_EQ(log().count(q("Copy File  failed: Error Number: 76  Error: Path not found")), 1);
    EXPECT_TRUE(present(dst + q("third/a.txt")));
}

TEST_F(TransferRun, PatternEntriesHandleEveryListedFileOnceInOrder)
{
    for (const char *name : {"b.txt", "A.TXT", "c.log", ".hidden.txt", "b.dat"})
        writeAged(src + q(name), "x", 2);
    writeAged(src + q("z.txt"), "future", -2);
    QDir().mkpath(src + q("sub.txt"));
    storeEntries(
        {{q("*.txt"), src, dst, q("1")}, {q("*.dat;B*"), src, dst, q("0")}, {q("*.none"), src, dst, q("0")}});

    ASSERT_EQ(run(), 0);
    EXPECT_EQ(
        handled(), QStringList({src + q("A.TXT"), src + q("b.txt"), src + q("z.txt"), src + q("b.dat")}));
    EXPECT_EQ(log().count(q("Move File cancelled")), 1);
    EXPECT_TRUE(present(src + q(".hidden.txt")));
    EXPECT_FALSE(present(dst + q(".hidden.txt")));
    EXPECT_FALSE(present(src + q("b.txt")));
    EXPECT_TRUE(present(src + q("z.txt")));
}

TEST_F(TransferRun, MissingPatternSourceFolderEndsTheRunWith76)
{
    writeAged(src + q("a.txt"), "a", 2);
    storeEntries({{q("a.txt"), src, dst, q("0")}, {q("*.txt"), root + q("nowhere/"), dst, q("0")},
        {q("a.txt"), src, dst + q("later/"), q("0")}});
    EXPECT_EQ(run(), failure_no::PathNotFound);
    EXPECT_TRUE(present(dst + q("a.txt")));
    EXPECT_FALSE(present(dst + q("later")));
}

TEST_F(TransferRun, MoveWhoseDeletionIsRefusedIsLoggedAsFailedWithTheCopyPresent)
{
    writeAged(src + q("f.txt"), "f", 2);
    storeEntries({{q("f.txt"), src, dst, q("1")}});
    ::chmod(nativePath(src).constData(), 0555);
    int number = -1;
    {
        WithoutRootOverride user;
        if (!user.active())
            GTEST_SKIP() << "cannot drop the permission override";
        number = run();
    }
    ::chmod(nativePath(src).constData(), 0755);
    ASSERT_EQ(number, 0);
    EXPECT_TRUE(log().contains(q("\r\nMove File  failed: Error Number: 70  Error: Permission denied\t")));
    EXPECT_EQ(boxes.texts(), QStringList {q("Error: Permission denied (70)")});
    EXPECT_EQ(readBytes(dst + q("f.txt")), QByteArray("f"));
    EXPECT_TRUE(present(src + q("f.txt")));
}

TEST_F(TransferRun, UnwritableLogEndsTheRunBeforeAnyTransfer)
{
    writeAged(src + q("f.txt"), "f", 2);
    storeEntries({{q("f.txt"), src, dst, q("0")}});
    QDir().mkpath(logFilePath()); // a folder where the log should be
    EXPECT_EQ(run(), failure_no::PathFileAccessError);
    EXPECT_FALSE(present(dst + q("f.txt")));
}

} // namespace
