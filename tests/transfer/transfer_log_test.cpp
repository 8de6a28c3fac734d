#include "platform/host.h"
#include "transfer_tests.h"

namespace quillfen::test {

using TransferLog = TransferTest;

// Writes one record as a run does, for `observer` to watch; answers the failure as it reads.
QString writeRecord(RunObserver &observer, const char *record)
{
    const int number = failureOf([&] { quillfen::TransferLog(&observer).sc_WriteLog(record); });
    return number == 0 ? QString() : Failure(number).what();
}

TEST_F(TransferLog, WritesItsHeaderOnceThenWholeRecords)
{
    ASSERT_EQ(logFilePath(), store.appFolder() + "/filelog.txt");
    // A record that a killed writer left cut short goes, and all from zeros a crash left on;
    // begin records without a result stay.
    const QString begun = "x\r\n\r\n\r\nBegin A\r\n\tFrom: \tp\r\nBegin B\r\n\tFrom: \tq\r\n";
    const std::pair<QByteArray, QString> rows[] = {{{}, logHeaderText() + "one\r\ntwo\r\n"},
        {"x\r\n\r\n\r\nBegin A\r\n" + QByteArray(2, 0) + "\r\n\r\n\r\n", "x\r\n\r\n\r\none\r\ntwo\r\n"},
        {"", "one\r\ntwo\r\n"}, {"x\r\n\r\n\r\nBegin Move File \t0", "x\r\n\r\n\r\none\r\ntwo\r\n"},
        {"x\r\n\r\n\r\nCopy File cancel", "x\r\n\r\n\r\none\r\ntwo\r\n"},
        {"x\r\n\r\n\r\nBegin A\r\n\tFrom: \tp\r\nBegin B\r\n\tFrom: \tq\r\n\tTo:   r\r\nMove File succ",
            begun + "one\r\ntwo\r\n"},
        {"old\r\n", "old\r\none\r\ntwo\r\n"}};
    ASSERT_EQ(::mkfifo(nativePath(logFilePath()).constData(), 0600), 0);
    writeRecord(recorder, "one");
    EXPECT_EQ(logText(), logHeaderText() + "one\r\n") << "a pipe in the log's place gives way";
    for (const auto &[before, expected] : rows) {
        sc_DeleteFile(logFilePath());
        if (!before.isNull())
            writeBytes(logFilePath(), before);
        writeRecord(recorder, "one");
        writeRecord(recorder, "two\r\nline");
        EXPECT_EQ(logText(), expected + "line\r\n");
    }
    EXPECT_TRUE(boxes.shown().isEmpty());

    // The observer is shown each record before the file gets it, so also one that never gets there.
    // A read-only log, a log folder that cannot be made below a read-only folder (refused, not
    // missing) and a folder in the log's place (no log) each fail as such.
    ::chmod(nativePath(logFilePath()).constData(), 0444);
    QDir().mkpath(root + "other/filelog.txt");
    ReadOnlyFolder readOnly(src);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    const std::pair<QString, const char *> failing[] = {{store.appFolder(), "Permission denied (70)"},
        {src + "app/sub", "Permission denied (70)"}, {root + "other", "Path/File access error (75)"}};
    for (const auto &[folder, failure] : failing) {
        Installed<host::setApplicationFolderOverride> appFolder(folder);
        EXPECT_EQ(writeRecord(recorder, "three"), q(failure)) << qPrintable(folder);
    }
    EXPECT_EQ(recorder.records.join(QString()),
        "one\r\n" + QString("one\r\ntwo\r\nline\r\n").repeated(std::size(rows))
            + QString("three\r\n").repeated(2));
    EXPECT_EQ(readBytes(store.appFolder() + "/filelog.txt"), "old\r\none\r\ntwo\r\nline\r\n");
}

} // namespace quillfen::test
