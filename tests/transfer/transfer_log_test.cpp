#include "support/test_support.h"

#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/file_routines.h"
#include "transfer/log_records.h"
#include "transfer/transfer_log.h"

#include <clocale>

using namespace quillfen;
using namespace quillfen::test;

namespace {

class TransferLogTest : public ::testing::Test, public RunObserver
{
protected:
    TransferLogTest() { std::setlocale(LC_TIME, "C"); }
    void putRecord(const QString &record) override { area.prepend(record); } // newest on top
    void sc_WriteLog(const QString &record) { quillfen::TransferLog(this).sc_WriteLog(record); }

    static QString logText() { return maskTimes(QString::fromUtf8(readBytes(logFilePath()))); }
    static QString header()
    {
        return q("#------------------------------------------------------------#\r\n"
                 "# This file was created by Marivale Quillfen       #\r\n"
                 "#------------------------------------------------------------#\r\n"
                 "# Created <now> on ")
            + sc_ComputerName() + "\r\n\r\n\r\n\r\n";
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    QString area;
};

TEST_F(TransferLogTest, HeaderOnlyWhenTheFileIsMissing)
{
    ASSERT_EQ(logFilePath(), store.appFolder() + "/filelog.txt");
    const std::tuple<const char *, const char *, QString> rows[] = {
        {"no log", nullptr, header() + "one\r\ntwo\r\n"},
        {"empty log", "", "one\r\ntwo\r\n"},
        {"earlier records", "old\r\n", "old\r\none\r\ntwo\r\n"},
    };
    for (const auto &[what, before, expected] : rows) {
        sc_DeleteFile(logFilePath());
        if (before)
            writeBytes(logFilePath(), before);
        sc_WriteLog("one");
        sc_WriteLog("two");
        EXPECT_EQ(logText(), expected) << what;
    }
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(TransferLogTest, SinkShowsNewestFirstEvenWhenTheAppendFails)
{
    sc_WriteLog("first");
    sc_WriteLog("second\r\nline");
    const QByteArray before = readBytes(logFilePath());
    ::chmod(nativePath(logFilePath()).constData(), 0444);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_EQ(failureOf([this] { sc_WriteLog("third"); }), failure_no::PermissionDenied);
    EXPECT_EQ(area, "third\r\nsecond\r\nline\r\nfirst\r\n");
    EXPECT_EQ(readBytes(logFilePath()), before);
}

TEST_F(TransferLogTest, NamesAreEscapedAndCannotForgeARecord)
{
    const std::pair<QString, const char *> rows[] = {
        {"plain name.txt", "plain name.txt"},
        {"café €.txt", "café €.txt"},
        {"a\rb\nc\td", "a\\rb\\nc\\td"},
        {q("x") + QChar(1) + QChar(0x1B) + QChar(0x7F) + QChar(0x85), "x\\x01\\x1B\\x7F\\x85"},
        {nameFromNative(QByteArray("raw\xFF\xE9")), "raw\\xFF\\xE9"},
        {"back\\slash", "back\\\\slash"},
    };
    for (const auto &[name, shown] : rows)
        EXPECT_EQ(log_records::escapeName(name), q(shown)) << qPrintable(name);

    const QString evil = "x.txt\r\nBegin Copy File \t01/01/99 00:00:00";
    sc_WriteLog(log_records::skip(log_records::actionLabel(false), "/src/", evil, "<now>"));
    EXPECT_EQ(logText(),
        header()
            + q("Copy File cancelled\t<now>\r\n\t/src/x.txt\\r\\nBegin Copy File \\t<now>\r\n"
                "File skipped due to date restrictions\r\n\r\n\r\n"));
}

} // namespace
