#include "transfer_test_support.h"

#include "platform/failure.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/file_routines.h"
#include "transfer/log_records.h"
#include "transfer/transfer_log.h"

#include <gtest/gtest.h>

#include <clocale>
#include <sys/stat.h>

using namespace quillfen;
using namespace quillfen::test;

namespace {

const char *const Header = "#------------------------------------------------------------#\r\n"
                           "# This file was created by Marivale Quillfen       #\r\n"
                           "#------------------------------------------------------------#\r\n"
                           "# Created <now> on {host}\r\n"
                           "\r\n"
                           "\r\n"
                           "\r\n";

QString header()
{
    return q(Header).replace(q("{host}"), sc_ComputerName());
}

struct RecordingSink final : LogSink
{
    QString area; // as the main window's message area shows them: newest on top
    RecordingSink() { setLogSink(this); }
    ~RecordingSink() override { setLogSink(nullptr); }
    void putRecord(const QString &record) override { area.prepend(record); }
};

class TransferLog : public ::testing::Test
{
protected:
    void SetUp() override { std::setlocale(LC_TIME, "C"); }
    QString logText() const { return q(readBytes(logFilePath())); }

    TempStore store;
    ScriptedMessageBoxes boxes;
    RecordingSink sink;
};

TEST_F(TransferLog, HeaderOnlyWhenTheFileIsMissing)
{
    ASSERT_EQ(logFilePath(), store.appFolder() + q("/filelog.txt"));
    const std::tuple<const char *, const char *, QString> rows[] = {
        {"no log", nullptr, header() + q("one\r\ntwo\r\n")},
        {"empty log", "", q("one\r\ntwo\r\n")},
        {"earlier records", "old\r\n", q("old\r\none\r\ntwo\r\n")},
    };
    for (const auto &[what, before, expected] : rows) {
        sc_DeleteFile(logFilePath());
        if (before)
            writeBytes(logFilePath(), before);
        sc_WriteLog(q("one"));
        sc_WriteLog(q("two"));
        EXPECT_EQ(maskTimes(logText()), expected) << what;
    }
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(TransferLog, SinkShowsNewestFirstEvenWhenTheAppendFails)
{
    sc_WriteLog(q("first"));
    sc_WriteLog(q("second\r\nline"));
    EXPECT_EQ(sink.area, q("second\r\nline\r\nfirst\r\n"));

    const QByteArray before = readBytes(logFilePath());
    ::chmod(nativePath(logFilePath()).constData(), 0444);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_EQ(failureOf([] { sc_WriteLog(q("third")); }), failure_no::PermissionDenied);
    EXPECT_EQ(sink.area, q("third\r\nsecond\r\nline\r\nfirst\r\n"));
    EXPECT_EQ(readBytes(logFilePath()), before);
}

TEST(LogEscaping, ControlCharactersAndRawBytesOfNames)
{
    const std::pair<QString, const char *> rows[] = {
        {q("plain name.txt"), "plain name.txt"},
        {q("café €.txt"), "café €.txt"},
        {q("a\rb\nc\td"), "a\\rb\\nc\\td"},
        {q("x") + QChar(1) + QChar(0x1B) + QChar(0x7F) + QChar(0x85), "x\\x01\\x1B\\x7F\\x85"},
        {nameFromNative(QByteArray("raw\xFF\xE9")), "raw\\xFF\\xE9"},
        {q("back\\slash"), "back\\slash"},
    };
    for (const auto &[name, shown] : rows)
        EXPECT_EQ(log_records::escapeName(name), q(shown)) << qPrintable(name);
}

TEST_F(TransferLog, ANameCannotForgeARecord)
{
    const QString evil = q("x.txt\r\nBegin Copy File \t01/01/99 00:00:00");
    sc_WriteLog(log_records::skip(log_records::actionLabel(false), q("/src/"), evil, q("<now>")));
    EXPECT_EQ(maskTimes(logText()),
        header()
            + q("Copy File cancelled\t<now>\r\n"
                "\t/src/x.txt\\r\\nBegin Copy File \\t<now>\r\n"
                "File skipped due to date restrictions\r\n\r\n\r\n"));
    EXPECT_EQ(readBytes(logFilePath()).count("Begin"), 1);
}

} // namespace
