// A run whose copy writes, renames, flushes or deletions fail, once or every time, loses no
// file and leaves none partial; each failure is reported and logged with its own number, and
// the run goes on with the next entry.

#include "faults_support.h"

#include "transfer/transfer_log.h"

namespace quillfen::faults {

struct Injection
{
    const char *calls;
    int error, number;
    const char *text;
    int failuresAlways; // of the run's four transfers: one copy, three moves across file systems
    bool inSource; // the calls fail on the move source rather than the destination
};

const Injection Injections[] = {
    // The copy's plain writes, where the kernel copy is not to be had.
    {"write", ENOSPC, 61, "Disk full", 4, false},
    {"copy_file_range", EIO, 57, "Device I/O error", 4, false},
    // A refused direct rename of a move falls back to copying, whose placing fails too.
    {"renameat2,linkat", EACCES, 70, "Permission denied", 4, false},
    // The flush before a copy takes its name, a move's or not.
    {"fsync", EROFS, 75, "Path/File access error", 4, false},
    // The copy's times, which a copy must not lose.
    {"futimens", EIO, 57, "Device I/O error", 4, false},
    // The source deletion of each move; the complete copy stays at the destination.
    {"unlink", EACCES, 70, "Permission denied", 3, true},
};

TEST(InjectedFailures, EveryFailureIsReportedWithoutLoss)
{
    const QByteArray one = randomContent(200 << 10), older = randomContent(3000), last = randomContent(5000);
    const QByteArrayList moved
        = {randomContent(100 << 10), randomContent(100 << 10), randomContent(90 << 10)};
    for (const Injection &injection : Injections) {
        for (const bool once : {false, true}) {
            SCOPED_TRACE(std::string(injection.calls) + (once ? " once" : " always"));
            TempStore store;
            const QString copySource = store.scratch("copy"), moveSource = store.scratch("move"),
                          lastSource = store.scratch("last"), dest = store.scratch("dest"),
                          lastDest = store.scratch("lastdest");
            storeEntries({{"one.dat", copySource, dest, false}, {"m*.dat", moveSource, dest, true},
                {"last.dat", lastSource, lastDest, false}});
            writeBytes(copySource + "one.dat", one);
            writeBytes(dest + "one.dat", older);
            writeBytes(lastSource + "last.dat", last);
            for (int k = 0; k < 3; ++k)
                writeBytes(moveSource + QStringLiteral("m%1.dat").arg(k), moved[k]);
            QString faults = QStringLiteral("%1=%2@").arg(injection.calls).arg(injection.error)
                + (injection.inSource ? moveSource : dest).chopped(1) + (once ? "!once" : "")
                + QStringLiteral(";renameat2=%1@").arg(EXDEV) + moveSource.chopped(1);
            if (injection.error == ENOSPC)
                faults += QStringLiteral(";copy_file_range=%1@").arg(ENOSYS) + dest.chopped(1);
            const ChildResult result = runChild(store, faults);

            const int expected = once ? 1 : injection.failuresAlways;
            const QString log = QString::fromUtf8(readBytes(logFilePath()));
            EXPECT_EQ(result.exitCode, 0) << qPrintable(result.errors);
            const QString box = QString::asprintf("[Error] Error: %s (%d)", injection.text, injection.number);
            const QString record = QString::asprintf(
                " failed: Error Number: %d  Error: %s\t", injection.number, injection.text);
            EXPECT_EQ(result.errors.count(box), expected) << qPrintable(result.errors);
            EXPECT_EQ(log.count(record), expected) << qPrintable(log);
            EXPECT_EQ(log.count(" failed: Error Number: "), expected);
            // Nothing lost, nothing partial under a final name, no temporary left behind.
            const QByteArray copied = readBytes(dest + "one.dat");
            const bool copyFailed = log.contains("Copy File  failed:");
            EXPECT_EQ(copied, copyFailed ? older : one);
            int sourcesLeft = 0;
            for (int k = 0; k < 3; ++k) {
                const QString name = QStringLiteral("m%1.dat").arg(k);
                const bool left = present(moveSource + name);
                sourcesLeft += left ? 1 : 0;
                EXPECT_TRUE(readBytes((left ? moveSource : dest) + name) == moved[k]) << qPrintable(name);
                if (present(dest + name)) {
                    EXPECT_TRUE(readBytes(dest + name) == moved[k]) << qPrintable(name);
                }
            }
            EXPECT_EQ(log.count("Move File  failed: "), sourcesLeft);
            EXPECT_EQ(namesIn(dest).filter(".quillfen-"), QStringList());
            // The failures did not end the run: the last entry was copied after them.
            EXPECT_EQ(readBytes(lastDest + "last.dat"), last);
        }
    }
    std::printf("injected faults: %d runs lost no file\n", int(std::size(Injections)) * 2);
}

// A log header or record that the disk takes only in part is finished, or cut back when the rest fails.
TEST(InjectedFailures, APartialWriteNeverLeavesATornFile)
{
    TempStore store;
    const QString src = store.scratch("src"), app = store.appFolder();
    storeEntries({{"f.dat", src, store.scratch("dest"), false}});
    writeBytes(src + "f.dat", "x");
    for (const QString &faults : {"write=0@" + app + "!once", "write=0@" + app + "!once;write=28@" + app}) {
        const QByteArray before = readBytes(logFilePath());
        const ChildResult result = runChild(store, faults);
        const QByteArray after = readBytes(logFilePath());
        EXPECT_TRUE(wholeLog(after)) << after.constData();
        EXPECT_EQ(after == before, faults.contains("=28"));
        EXPECT_EQ(result.errors.contains("Disk full (61)"), faults.contains("=28"))
            << qPrintable(result.errors);
    }
}

} // namespace quillfen::faults
