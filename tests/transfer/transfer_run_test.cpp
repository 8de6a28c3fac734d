#include "support/test_support.h"

#include "settings/keys.h"
#include "settings/store.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/file_routines.h"
#include "transfer/transfer_log.h"

#include <clocale>

using namespace quillfen;
using namespace quillfen::test;

namespace {

class TransferRun : public ::testing::Test
{
protected:
    void SetUp() override { std::setlocale(LC_TIME, "C"); }
    void TearDown() override { sc_ClosePendingRun(); }

    // Rows of file, source, destination, move flag.
    void storeEntries(const QList<QStringList> &entries)
    {
        for (int n = 1; n <= entries.size(); ++n) {
            for (int k = 0; k < 4; ++k)
                store.set(keys::entryKey(keys::EntryStems[k], n), entries[n - 1][k]);
        }
        store.set(keys::Files, QString::number(entries.size()));
    }

    // The failure number that ended the run, 0 when it ran to its end.
    static int run() { return failureOf(sc_TransferFiles); }
    static QString log() { return maskTimes(QString::fromUtf8(readBytes(logFilePath()))); }

    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString root = store.root() + QLatin1Char('/');
    const QString src = store.scratch("src"), dst = root + "dst/";
    const QString bad = root + "no/dst/"; // its parent is missing too
};

TEST_F(TransferRun, WholeLogOfACopyAFailedCopyAMoveAndASkip)
{
    ProgressRecorder progress;
    writeAged(src + "old.txt", "old");
    writeAged(src + "mv.txt", "mv");
    writeAged(src + "new.txt", "new", -2);
    storeEntries({{"old.txt", src, dst, "0"}, {"old.txt", src, bad, "0"}, {"mv.txt", src, dst, "1"},
        {"new.txt", src, dst, "0"}});

    ASSERT_EQ(run(), 0);
    EXPECT_EQ(log(),
        q("#------------------------------------------------------------#\r\n"
          "# This file was created by Marivale Quillfen       #\r\n"
          "#------------------------------------------------------------#\r\n"
          "# Created <now> on {host}\r\n\r\n\r\n\r\n"
          "Begin Copy File \t<now>\r\n\tFrom: \t{src}old.txt\r\n"
          "\tTo:   {dst}old.txt\r\nCopy File successful\t<now>\r\n\r\n\r\n"
          "Begin Copy File \t<now>\r\n\tFrom: \t{src}old.txt\r\n"
          "\tTo:   {bad}old.txt\r\nCopy File  failed: Error Number: 76  Error: Path not "
          "found\t<now>\r\n\r\n\r\n"
          "Begin Move File \t<now>\r\n\tFrom: \t{src}mv.txt\r\n"
          "\tTo:   {dst}mv.txt\r\nMove File successful\t<now>\r\n\r\n\r\n"
          "Copy File cancelled\t<now>\r\n\t{src}new.txt\r\nFile skipped due to date restrictions\r\n\r\n\r\n")
            .replace("{host}", QSysInfo::machineHostName())
            .replace("{src}", src)
            .replace("{dst}", dst)
            .replace("{bad}", bad));
    EXPECT_EQ(boxes.texts(),
        QStringList {"Error: Path not found (76)\r\n\r\nCheck the path to \r\n" + bad
            + "\r\nYou may need to create the file manually."});
    EXPECT_EQ(readBytes(dst + "old.txt"), "old");
    EXPECT_EQ(readBytes(dst + "mv.txt"), "mv");
    EXPECT_FALSE(present(src + "mv.txt"));
    EXPECT_FALSE(present(dst + "new.txt"));
    EXPECT_EQ(
        progress.events.mid(0, 3), QStringList({"planned 4", "started " + src + "old.txt", "finished"}));
    EXPECT_EQ(progress.events.count("finished"), 4);
}

TEST_F(TransferRun, EmptyListWritesNothingAndStoresTheDefaults)
{
    ASSERT_EQ(run(), 0);
    EXPECT_FALSE(present(logFilePath()));
    for (const keys::Key &key : {keys::Files, keys::Timer, keys::AutoStart, keys::DefaultFileExt,
             keys::CompareInterval, keys::CompareIntType})
        EXPECT_EQ(store.value(key), q(key.fallback)) << key.name;
}

TEST_F(TransferRun, MissingSourceEndsTheRunAfterTheEntriesBeforeItAndDefersTheSave)
{
    writeAged(src + "a.txt", "a");
    writeAged(src + "c.txt", "c");
    const std::pair<QStringList, int> rows[] = {
        {{"b.txt", src}, failure_no::FileNotFound}, {{"*.txt", root + "nowhere/"}, failure_no::PathNotFound}};
    for (const auto &[second, number] : rows) {
        storeEntries({{"a.txt", src, dst, "0"}, second + QStringList {dst, "0"}, {"c.txt", src, dst, "0"}});
        EXPECT_EQ(run(), number);
        EXPECT_EQ(QDir(dst).entryList(QDir::Files), QStringList {"a.txt"});
        EXPECT_FALSE(store.has(keys::Timer));
        sc_ClosePendingRun();
        EXPECT_EQ(store.value(keys::Timer), "10");
        store::remove(keys::Timer);
    }
}

TEST_F(TransferRun, SettingsAreReadAfreshAndUnusableOnesEndTheRunBeforeAnyFile)
{
    const std::tuple<const char *, const char *, int> rows[] = {
        {"sc_Move1", "1", 0},
        {"sc_Move1", "2", 0},
        {"sc_Move1", "-1", 0},
        {"sc_Move1", "TRUE", 0},
        {"sc_Move1", "0", -1},
        {"sc_Move1", "false", -1}, // -1: copied
        {"sc_Move1", "maybe", failure_no::TypeMismatch},
        {"sc_Move1", "", failure_no::TypeMismatch},
        {"sc_CompareInterval", "abc", failure_no::TypeMismatch},
        {"sc_CompareInterval", "", failure_no::TypeMismatch},
        {"sc_CompareInterval", "40000", failure_no::Overflow},
        {"sc_CompareIntType", "hours", failure_no::InvalidArgument},
    };
    for (const auto &[key, value, number] : rows) {
        sc_DeleteFile(dst + "f.txt");
        writeAged(src + "f.txt", "f");
        storeEntries({{"f.txt", src, dst, "1"}});
        store.set(keys::CompareInterval, "1");
        store.set(keys::CompareIntType, "h");
        store.set(q(key), q(value));
        EXPECT_EQ(run(), std::max(number, 0)) << key << '=' << value;
        EXPECT_EQ(present(src + "f.txt"), number != 0) << key << '=' << value;
        EXPECT_EQ(present(dst + "f.txt"), number <= 0) << key << '=' << value;
        EXPECT_EQ(present(logFilePath()), number <= 0) << key << '=' << value;
        sc_DeleteFile(logFilePath());
    }
}

TEST_F(TransferRun, QuestionMarkWithoutStarIsASingleFile)
{
    writeAged(src + "a?c.txt", "literal");
    writeAged(src + "abc.txt", "other");
    storeEntries({{"a?c.txt", src, dst, "0"}});
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(QDir(dst).entryList(QDir::Files), QStringList {"a?c.txt"});
}

TEST_F(TransferRun, PatternEntriesHandleEveryListedFileOnceInOrder)
{
    for (const char *name : {"b.txt", "A.TXT", "c.log", ".hidden.txt", "b.dat"})
        writeAged(src + q(name), "x");
    writeAged(src + "z.txt", "future", -2);
    QDir().mkpath(src + "sub.txt");
    storeEntries({{"*.txt", src, dst, "1"}, {"*.dat;B*", src, dst, "0"}, {"*.none", src, dst, "0"}});

    ASSERT_EQ(run(), 0);
    QStringList handled; // the source of every begin or skip record, in log order
    for (const auto &match : QRegularExpression("\r\n\t(From: \t)?(/[^\r]*)").globalMatch(log()))
        handled << match.captured(2);
    EXPECT_EQ(handled, QStringList({src + "A.TXT", src + "b.txt", src + "z.txt", src + "b.dat"}));
    EXPECT_EQ(log().count("Move File cancelled"), 1);
    EXPECT_TRUE(present(src + ".hidden.txt"));
    EXPECT_FALSE(present(dst + ".hidden.txt"));
    EXPECT_FALSE(present(src + "b.txt"));
    EXPECT_TRUE(present(src + "z.txt"));
}

TEST_F(TransferRun, MoveWhoseDeletionIsRefusedIsLoggedAsFailedWithTheCopyPresent)
{
    writeAged(src + "f.txt", "f");
    storeEntries({{"f.txt", src, dst, "1"}});
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
    EXPECT_TRUE(log().contains("\r\nMove File  failed: Error Number: 70  Error: Permission denied\t"));
    EXPECT_EQ(boxes.texts(), QStringList {"Error: Permission denied (70)"});
    EXPECT_EQ(readBytes(dst + "f.txt"), "f");
    EXPECT_TRUE(present(src + "f.txt"));
}

TEST_F(TransferRun, UnwritableLogEndsTheRunBeforeAnyTransfer)
{
    writeAged(src + "f.txt", "f");
    storeEntries({{"f.txt", src, dst, "0"}});
    QDir().mkpath(logFilePath()); // a folder where the log should be
    EXPECT_EQ(run(), failure_no::PathFileAccessError);
    EXPECT_FALSE(present(dst + "f.txt"));
}

} // namespace
