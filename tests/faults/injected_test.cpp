// A run whose copy writes, renames, flushes or deletions fail, once or every time, loses no
// file and leaves none partial; each failure is reported and logged with its number, and
// the run goes on with the next entry.

#include "faults_support.h"

#include "transfer/transfer_log.h"

using namespace quillfen;
using namespace quillfen::faults;

namespace {

struct Injection
{
    const char *calls;
    const char *error;
    const char *text; // as the log and the box show it
    int failuresAlways; // of the run's four transfers: one copy, three moves across file systems
    bool inSource; // the calls fail on the move source rather than the destination
};

const Injection Injections[] = {
    // The copy's plain writes, where the kernel copy is not to be had.
    {"write", "ENOSPC", "Disk full (61)", 4, false},
    {"copy_file_range", "EIO", "Device I/O error (57)", 4, false},
    // A refused direct rename of a move falls back to copying, whose placing fails too.
    {"renameat2,rename,linkat", "EACCES", "Permission denied (70)", 4, false},
    // Only moves flush; the copy goes through.
    {"fsync", "EROFS", "Path/File access error (75)", 3, false},
    // The source deletion of each move; the complete copy stays at the destination.
    {"unlink", "EACCES", "Permission denied (70)", 3, true},
};

TEST(InjectedFailures, EveryFailureIsReportedLoggedAndLosesNothing)
{
    TempStore store;
    const QString copySource = store.scratch("copy"), moveSource = store.scratch("move"),
                  lastSource = store.scratch("last"), dest = store.scratch("dest"),
                  lastDest = store.scratch("lastdest");
    storeEntries({{"one.dat", copySource, dest, false}, {"m*.dat", moveSource, dest, true},
        {"last.dat", lastSource, lastDest, false}});
    const QByteArray one = randomContent(200 << 10), older = randomContent(3000), last = randomContent(5000);
    QList<QByteArray> moved;
    for (int k = 0; k < 3; ++k)
        moved << randomContent(100 << 10);

    int runs = 0;
    for (const Injection &injection : Injections) {
        for (const bool once : {false, true}) {
            SCOPED_TRACE(std::string(injection.calls) + (once ? " once" : " always"));
            for (const QString &folder : {copySource, moveSource, lastSource, dest, lastDest}) {
                removeTree(nativePath(folder));
                QDir().mkpath(folder);
            }
            ::unlink(nativePath(logFilePath()).constData());
            writeBytes(copySource + "one.dat", one);
            writeBytes(dest + "one.dat", older);
            writeBytes(lastSource + "last.dat", last);
            for (int k = 0; k < 3; ++k)
                writeBytes(moveSource + QStringLiteral("m%1.dat").arg(k), moved[k]);
            const QString where = (injection.inSource ? moveSource : dest).chopped(1);
            QString faults = QLatin1String(injection.calls) + "=" + injection.error + "@" + where
                + (once ? "!once" : "") + ";renameat2,rename=EXDEV@" + moveSource.chopped(1);
            if (QByteArray(injection.calls) == "write")
                faults += ";copy_file_range=ENOSYS@" + dest.chopped(1);
            const ChildResult result = Child(store, faults).run();
            ++runs;

            const int expected = once ? 1 : injection.failuresAlways;
            const QString log = QString::fromUtf8(readBytes(logFilePath()));
            EXPECT_EQ(result.exitCode, 0) << qPrintable(result.errors);
            EXPECT_EQ(result.errors.count("[Error] Error: " + QLatin1String(injection.text)), expected)
                << qPrintable(result.errors);
            const QString text = QLatin1String(injection.text);
            const QString failure = "Error Number: " + text.section(" (", 1).chopped(1)
                + "  Error: " + text.section(" (", 0, 0);
            EXPECT_EQ(log.count(" failed: Error Number: "), expected) << qPrintable(log);
            EXPECT_EQ(log.count(" failed: " + failure + "\t"), expected);
            // Nothing lost, nothing partial under a final name, no temporary left behind.
            const QByteArray copied = readBytes(dest + "one.dat");
            EXPECT_TRUE(copied == one || copied == older);
            EXPECT_EQ(copied == older, log.contains("Copy File  failed:"));
            int sourcesLeft = 0;
            for (int k = 0; k < 3; ++k) {
                const QString name = QStringLiteral("m%1.dat").arg(k);
                const bool left = present(moveSource + name);
                sourcesLeft += left ? 1 : 0;
                EXPECT_EQ(readBytes(left ? moveSource + name : dest + name), moved[k]) << qPrintable(name);
                if (present(dest + name)) {
                    EXPECT_EQ(readBytes(dest + name), moved[k]) << qPrintable(name);
                }
            }
            EXPECT_EQ(log.count("Move File  failed: "), sourcesLeft);
            EXPECT_EQ(temporariesIn(dest), 0);
            // The failures did not end the run: the last entry was copied after them.
            EXPECT_EQ(readBytes(lastDest + "last.dat"), last);
        }
    }
    std::printf("injected faults: %d runs lost no file\n", runs);
}

} // namespace
