#include "transfer_tests.h"

#include <QTemporaryDir>

namespace quillfen::test {

using SafeCopy = TransferTest;

static struct stat statOf(const QString &path)
{
    struct stat st = {};
    ::lstat(nativePath(path).constData(), &st);
    return st;
}

TEST_F(SafeCopy, ReplacesWithAFaithfulCopy)
{
    // Destinations on this file system and, where /dev/shm is another one, on that.
    const QTemporaryDir shm("/dev/shm/quillfen-test-XXXXXX");
    const QStringList dests = QStringList {store.scratch("dest")}
        + (shm.isValid() && statOf(shm.path()).st_dev != statOf(root).st_dev ? QStringList {shm.path() + "/"}
                                                                             : QStringList());
    writeBytes(root + "target", "content");
    QByteArray payload; // over two progress chunks, no two blocks alike
    for (int k = 0; k <= 2 * safe_copy::ProgressChunk / 4096; ++k)
        payload += QByteArray(4096, char(k)) + char(k >> 8);
    // The kernel copies within one file system, reads and writes across two; a move is a rename
    // within one file system and a copy across two.
    for (const QString &dest : dests) {
        // A link is copied as its file and moved as a link.
        ASSERT_TRUE(QFile::link(root + "target", src + "link"));
        ASSERT_EQ(outcomeOf(sc_CopyFile("link", src, "copy", dest, false)), "done");
        ASSERT_EQ(outcomeOf(sc_CopyFile("link", src, "moved", dest, true)), "done");
        EXPECT_TRUE(S_ISREG(statOf(dest + "copy").st_mode));
        EXPECT_FALSE(present(src + "link"));
        EXPECT_EQ(readBytes(dest + "copy"), "content");
        EXPECT_EQ(QFileInfo(dest + "moved").symLinkTarget(), root + "target");
        for (const bool move : {false, true}) {
            SCOPED_TRACE(qPrintable(dest + QString::number(move)));
            writeBytes(src + "f", payload);
            writeBytes(dest + "f", "old");
            ::chmod(nativePath(src + "f").constData(), 0666);
            setModified(src + "f", QDateTime::currentDateTime().addDays(-3).addMSecs(-250));
            const struct stat before = statOf(src + "f");
            safe_copy::Session session;
            QList<qint64> done, totals;
            session.progress = [&](qint64 bytes, qint64 total) {
                done << bytes;
                totals << total;
            };
            safe_copy::Outcome outcome;

            ASSERT_EQ(outcomeOf(sc_CopyFile("f", src, "f", dest, move, session, outcome)), "done");
            const struct stat after = statOf(dest + "f");
            const bool renamed = move && dest == dests.first();
            EXPECT_EQ(readBytes(dest + "f"), payload);
            EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
            EXPECT_EQ(after.st_mode & 07777, mode_t(0666));
            EXPECT_EQ(present(src + "f"), !move);
            EXPECT_EQ(after.st_ino == before.st_ino, renamed);
            EXPECT_EQ(hiddenEntries(dest), QStringList());
            EXPECT_EQ(std::adjacent_find(done.begin(), done.end(), std::greater_equal<>()), done.end());
            EXPECT_EQ(done.size() >= 2, !renamed);
            EXPECT_EQ(done.isEmpty(), renamed);
            EXPECT_EQ(done.value(done.size() - 1), renamed ? 0 : payload.size());
            EXPECT_EQ(totals, QList<qint64>(done.size(), payload.size()));
        }
    }
}

TEST_F(SafeCopy, TheSameFileUnderAnotherNameIsRefused)
{
    const QString dir = store.scratch("same");
    writeBytes(dir + "f", "precious");
    ::link(nativePath(dir + "f").constData(), nativePath(dir + "twin").constData());
    makeTree(root, {"same/alias->f"});
    for (const auto &[folder, name] :
        {std::pair {dir, "f"}, {dir + "../same/", "f"}, {dir, "twin"}, {dir, "alias"}}) {
        for (const bool move : {false, true}) {
            SCOPED_TRACE(qPrintable(folder + name + QString::number(move)));
            EXPECT_EQ(outcomeOf(sc_CopyFile("f", dir, name, folder, move)), "70");
            EXPECT_EQ(readBytes(folder + name), "precious");
            EXPECT_EQ(hiddenEntries(dir), QStringList());
        }
    }
}

TEST_F(SafeCopy, ASourceRewrittenInPlaceIsNeverTakenTorn)
{
    const QTemporaryDir shm("/dev/shm/quillfen-test-XXXXXX");
    if (!shm.isValid() || statOf(shm.path()).st_dev == statOf(root).st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm to copy across";
    // A copy tries once more; a move keeps its source.
    const struct
    {
        const char *name;
        bool move, everyTime;
        const char *outcome, *copied;
    } rows[] = {{"a move", true, false, "55", nullptr}, {"a copy", false, false, "done", "n"},
        {"a copy of a file still being written", false, true, "55", "none"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        writeBytes(src + "f", QByteArray(2 * safe_copy::ProgressChunk, 'o'));
        setModified(src + "f", QDateTime::currentDateTime().addDays(-3));
        safe_copy::Session session;
        session.progress = [&, rewritten = false](qint64, qint64) mutable {
            if (!std::exchange(rewritten, !row.everyTime))
                writeBytes(src + "f", QByteArray(2 * safe_copy::ProgressChunk, 'n'));
        };
        safe_copy::Outcome outcome;
        const QString dest = shm.path() + "/f";
        EXPECT_EQ(
            outcomeOf(sc_CopyFile("f", src, "f", shm.path() + "/", row.move, session, outcome)), row.outcome);
        EXPECT_EQ(readBytes(src + "f").left(1), "n");
        if (row.copied) {
            EXPECT_EQ(present(dest) ? readBytes(dest).left(1) : "none", row.copied);
        }
        QFile::remove(dest);
    }
}

} // namespace quillfen::test
