#include "transfer_tests.h"

#include "platform/host.h"

namespace quillfen::test {

using TransferLog = TransferTest;

// Writes one record as a run does, for `observer` to watch; answers the failure, 0 for none.
int writeRecord(RunObserver &observer, const char *record)
{
    return failureOf([&] { quillfen::TransferLog(&observer).sc_WriteLog(record); });
}

TEST_F(TransferLog, HeaderOnlyWhenTheFileIsMissingThenWholeRecordsOrItsOwnFailure)
{
    ASSERT_EQ(logFilePath(), store.appFolder() + "/filelog.txt");
    const std::pair<const char *, QString> rows[] = {{nullptr, logHeaderText() + "one\r\ntwo\r\n"},
        {"", "one\r\ntwo\r\n"}, {"old\r\n", "old\r\none\r\ntwo\r\n"}};
    for (const auto &[before, expected] : rows) {
        sc_DeleteFile(logFilePath());
        if (before)
            writeBytes(logFilePath(), before);
        writeRecord(recorder, "one");
        writeRecord(recorder, "two\r\nline");
        EXPECT_EQ(logText(), expected + "line\r\n");
    }
    EXPECT_TRUE(boxes.shown().isEmpty());

    // The observer is shown each record before the file gets it, so also one that never gets there.
    ::chmod(nativePath(logFilePath()).constData(), 0444);
    ReadOnlyFolder readOnly(src);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_EQ(writeRecord(recorder, "three"), failure_no::PermissionDenied);
    EXPECT_EQ(recorder.records.join(QString()), QString("one\r\ntwo\r\nline\r\n").repeated(3) + "three\r\n");
    EXPECT_EQ(logText(), "old\r\none\r\ntwo\r\nline\r\n");
    // A log folder that cannot be made is refused, not missing; a folder in the log's place is no log.
    host::setApplicationFolderOverride(src + "app/sub");
    EXPECT_EQ(writeRecord(recorder, "four"), failure_no::PermissionDenied);
    host::setApplicationFolderOverride(root + "other");
    QDir().mkpath(logFilePath());
    EXPECT_EQ(writeRecord(recorder, "four"), failure_no::PathFileAccessError);
}

} // namespace quillfen::test
