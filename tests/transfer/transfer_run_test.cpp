#include "transfer_tests.h"

#include <QThread>

#include <climits>
#include <fcntl.h>

namespace quillfen::test {

using TransferRun = TransferTest;

TEST_F(TransferRun, EachFileIsLoggedInOrderWithItsOutcome)
{
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    EXPECT_FALSE(present(logFilePath()));
    // The parent of bad is missing too; stuck refuses changes: its file's move is a copy and no
    // folder can be made in it.
    const QString dst = root + "dst/", bad = root + "no/dst/", stuck = store.scratch("src/stuck");
    writeAged(src + "old.txt", "old");
    writeAged(src + "mv.txt", "mv");
    writeAged(stuck + "st.txt", "st");
    writeAged(src + "new.txt", "new", -2);
    storeEntries({{"old.txt", src, dst, "0"}, {"old.txt", src, bad, "0"}, {"mv.txt", src, dst, "1"},
        {"st.txt", stuck, dst, "1"}, {"old.txt", src, stuck + "d/", "0"}, {"new.txt", src, dst, "0"}});
    ReadOnlyFolder readOnly(stuck);
    WithoutRootOverride user;
    if (!readOnly.active() && !user.active())
        GTEST_SKIP() << "cannot make a folder read-only";
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);

    const QString body = q("Begin Copy File \t<now>\r\n\tFrom: \t%1old.txt\r\n"
                           "\tTo:   %2old.txt\r\nCopy File successful\t<now>\r\n\r\n\r\n"
                           "Begin Copy File \t<now>\r\n\tFrom: \t%1old.txt\r\n\tTo:   %3old.txt\r\n"
                           "Copy File  failed: Error Number: 76  Error: Path not found\t<now>\r\n\r\n\r\n"
                           "Begin Move File \t<now>\r\n\tFrom: \t%1mv.txt\r\n"
                           "\tTo:   %2mv.txt\r\nMove File successful\t<now>\r\n\r\n\r\n"
                           "Begin Move File \t<now>\r\n\tFrom: \t%1stuck/st.txt\r\n\tTo:   %2st.txt\r\n"
                           "Move File  failed: Error Number: 70  Error: Permission denied\t<now>\r\n\r\n\r\n"
                           "Begin Copy File \t<now>\r\n\tFrom: \t%1old.txt\r\n\tTo:   %1stuck/d/old.txt\r\n"
                           "Copy File  failed: Error Number: 70  Error: Permission denied\t<now>\r\n\r\n\r\n"
                           "Copy File cancelled\t<now>\r\n\t%1new.txt\r\n"
                           "File skipped due to date restrictions\r\n\r\n\r\n")
                             .arg(src, dst, bad);
    EXPECT_EQ(logText(), logHeaderText() + body);
    EXPECT_EQ(maskTimes(recorder.records.join(QString())), body);
    EXPECT_EQ(recorder.events.replaceInStrings(src, ""),
        QStringList({"planned 6", "started old.txt", "finished", "started old.txt", "finished",
            "started mv.txt", "finished", "started stuck/st.txt", "finished", "started old.txt", "finished",
            "started new.txt", "finished"}));
    EXPECT_EQ(boxesSeen(boxes),
        QStringList {"Error | Error: Path not found (76)\r\n\r\nCheck the path to \r\n" + bad
            + "\r\nYou may need to create the file manually. | Critical Ok"}
            + QStringList(2, "Error | Error: Permission denied (70) | Critical Ok"));
    EXPECT_EQ(readBytes(dst + "old.txt") + readBytes(dst + "mv.txt") + readBytes(dst + "st.txt"), "oldmvst");
    EXPECT_FALSE(present(src + "mv.txt"));
    EXPECT_FALSE(present(dst + "new.txt"));
    EXPECT_TRUE(present(stuck + "st.txt"));
}

TEST_F(TransferRun, UnusableSettingsEndTheRunBeforeAnyFile)
{
    const struct
    {
        const char *key, *value;
        int failure;
        bool kept, arrived; // the file in its source folder, in its destination
    } rows[] = {{"sc_Move1", "false", 0, true, true}, {"sc_Move1", "maybe", 13, true, false},
        {"sc_CompareInterval", "abc", 13, true, false}, {"sc_CompareInterval", "40000", 6, true, false},
        {"sc_CompareIntType", "hours", 5, true, false}, {"sc_CompareIntType", "H", 0, false, true}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.value);
        const QString dst = root + row.value + "/";
        writeAged(src + "f.txt", "f");
        storeEntries({{"f.txt", src, dst, "1"}});
        store.set(keys::CompareInterval, "1");
        store.set(keys::CompareIntType, "h");
        store.set(row.key, row.value);
        EXPECT_EQ(failureOf(sc_TransferFiles), row.failure);
        EXPECT_EQ(present(src + "f.txt"), row.kept);
        EXPECT_EQ(present(dst + "f.txt"), row.arrived);
    }
}

TEST_F(TransferRun, HostileNamesComeThroughUnharmed)
{
    const std::pair<QByteArray, const char *> names[] // on disk, as logged
        = {{"new\nline", "new\\nline"}, {"carriage\rreturn", "carriage\\rreturn"},
            {"tab\tname", "tab\\tname"}, {"ctl\x01\x1b\x7f\xc2\x85", "ctl\\x01\\x1B\\x7F\\x85"},
            {"back\\slash", "back\\\\slash"}, {"bad\xff\xfe", "bad\\xFF\\xFE"},
            {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"}, {QByteArray(255, 'x'), nullptr}};
    const QString copies = store.scratch("copies"), moved = store.scratch("moved");
    for (const auto &[raw, logged] : names)
        writeBytes(src + nameFromNative(raw), raw);
    ::mkfifo(nativePath(src + "pipe").constData(), 0600);
    store.set(keys::CompareInterval, "0");
    storeEntries({{"*", src, copies, "0"}, {"*", src, moved, "1"}, {"pipe", src, moved, "1"}});
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);

    EXPECT_EQ(boxes.texts(), QStringList {"Error: Path/File access error: not a plain file (75)"});
    EXPECT_EQ(QDir(src).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
        QStringList {"pipe"});
    const QString log = QString::fromUtf8(readBytes(logFilePath()));
    for (const auto &[raw, logged] : names) {
        EXPECT_EQ(
            readBytes(copies + nameFromNative(raw)) + readBytes(moved + nameFromNative(raw)), raw + raw);
        if (logged) {
            EXPECT_TRUE(log.contains("\tFrom: \t" + src + q(logged) + "\r\n")) << logged;
        }
    }
    // CR and LF come only as the records' line ends, TABs only where the records put them: five a file.
    const qsizetype lineEnds = log.count("\r\n"), files = 2 * std::size(names) + 1;
    EXPECT_EQ(
        QList({log.count('\r'), log.count('\n'), log.count('\t')}), QList({lineEnds, lineEnds, 5 * files}));
}

// When the file at `path` was made, in nanoseconds; 0 where the file system does not say.
qint64 bornAt(const QByteArray &path)
{
    struct statx st = {};
    if (::statx(AT_FDCWD, path.constData(), 0, STATX_BTIME, &st) != 0 || !(st.stx_mask & STATX_BTIME))
        return 0;
    return st.stx_btime.tv_sec * qint64(1000000000) + st.stx_btime.tv_nsec;
}

// When the complete copy of `source` that a run of this process made ahead, and holds open, in
// `folder` was made; 0 when none comes within seconds.
qint64 madeAhead(const QString &folder, const QString &source)
{
    struct stat wanted = {}, st = {};
    ::stat(nativePath(source).constData(), &wanted);
    char target[PATH_MAX];
    for (int tries = 0; tries < 500; ++tries) {
        for (int fd = 3; fd < 256; ++fd) {
            const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
            const ssize_t length = ::readlink(link.constData(), target, sizeof target);
            if (length > 0 && QByteArrayView(target, length).startsWith(nativePath(folder))
                && ::stat(link.constData(), &st) == 0 && st.st_size == wanted.st_size
                && st.st_mtim.tv_sec == wanted.st_mtim.tv_sec && st.st_mtim.tv_nsec == wanted.st_mtim.tv_nsec)
                return bornAt(link);
        }
        QThread::msleep(10);
    }
    return 0;
}

// Copies a.dat and b.dat into `dest`; `meanwhile` runs as a.dat's turn comes, once the copy of
// b.dat was made ahead. Answers when that copy was made, 0 when none was.
qint64 runMakingAhead(const QString &src, const QString &dest, const std::function<void()> &meanwhile)
{
    writeAged(src + "a.dat", "a");
    writeAged(src + "b.dat", "first");
    storeEntries({{"*.dat", src, dest, "0"}});
    qint64 made = 0;
    RunRecorder recorder;
    recorder.onStart = [&](const QString &path) {
        if (!path.endsWith("a.dat"))
            return;
        made = madeAhead(dest, src + "b.dat");
        if (made != 0)
            meanwhile();
    };
    EXPECT_EQ(failureOf(sc_TransferFiles), 0);
    return made;
}

TEST_F(TransferRun, ACopyMadeAheadIsPlacedOnlyWhileItsSourceIsUnchanged)
{
    struct Row
    {
        const char *name;
        QByteArray written; // into the source before its turn, after its copy was made
    };
    for (const Row &row :
        {Row {.name = "unchanged", .written = {}}, Row {.name = "written", .written = "2"}}) {
        SCOPED_TRACE(row.name);
        const QString dest = store.scratch(row.name);
        const qint64 made = runMakingAhead(src, dest, [&] {
            if (!row.written.isNull())
                writeAged(src + "b.dat", row.written);
        });
        if (made == 0)
            GTEST_SKIP() << "no copy was made ahead with its birth time: little room under "
                         << qPrintable(root);
        EXPECT_EQ(readBytes(dest + "b.dat"), row.written.isNull() ? "first" : row.written);
        EXPECT_EQ(bornAt(nativePath(dest + "b.dat")) == made, row.written.isNull());
    }
}

TEST_F(TransferRun, CopiesMadeAheadHaveNoNameBeforeTheirTurn)
{
    const QString dest = store.scratch("dest");
    QStringList seen {"not looked at"};
    const auto look = [&] { seen = QDir(dest).entryList(QDir::AllEntries | QDir::Hidden | QDir::System); };
    if (runMakingAhead(src, dest, look) == 0)
        GTEST_SKIP() << "no copy was made ahead: too little room under " << qPrintable(root) << "?";
    EXPECT_EQ(seen, QStringList({".", ".."}));
}

} // namespace quillfen::test
