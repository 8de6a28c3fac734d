// The edges of a hostile world: a file still being written, the leftovers of a killed copy
// beside another instance's live one, a full disk under the log and under the store.

#include "faults_support.h"

#include "platform/raw_file.h"
#include "transfer/transfer_log.h"

#include <QRegularExpression>

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>

using namespace quillfen;
using namespace quillfen::faults;

namespace {

class Edges : public ::testing::Test
{
protected:
    // Every page of the small file system taken, so the next write that needs one fails.
    static void fill(const QString &folder)
    {
        const int fd = ::open(nativePath(folder + "filler").constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) { }
        ::close(fd);
    }

    TempStore store;
    const QString src = store.scratch("src");
};

TEST_F(Edges, AFileStillBeingWrittenIsNeverDeletedNorCopiedTorn)
{
    // Another file system for the moves: a memory one where there is one, else refused renames.
    const QString dest = QStringLiteral("/dev/shm/quillfen-edges-%1/").arg(::getpid());
    QDir().mkpath(dest);
    const QString faults = QStringLiteral("renameat2,rename=EXDEV@") + src.chopped(1);
    const QByteArray start = randomContent(100 << 20);
    for (const bool move : {true, false}) {
        SCOPED_TRACE(move ? "move" : "copy");
        writeBytes(src + "growing.log", start);
        storeEntries({{"growing.log", src, dest, move}});
        std::atomic<bool> running = true;
        std::atomic<qint64> appended = 0;
        std::thread writer([&] {
            const int fd = ::open(nativePath(src + "growing.log").constData(), O_WRONLY | O_APPEND);
            const QByteArray line(100, 'x');
            while (running) {
                appended += ::write(fd, line.constData(), size_t(line.size()));
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            ::close(fd);
        });
        const ChildResult result = Child(store, faults).run();
        running = false;
        writer.join();

        const QByteArray source = readBytes(src + "growing.log");
        EXPECT_EQ(source.size(), start.size() + appended) << "the source keeps every byte written";
        EXPECT_TRUE(source.startsWith(start));
        EXPECT_TRUE(result.errors.contains("Error: File changed while it was copied (55)"))
            << qPrintable(result.errors);
        EXPECT_TRUE(
            QString::fromUtf8(readBytes(logFilePath()))
                .contains(move
                        ? "Move File  failed: Error Number: 55  Error: File changed while it was copied"
                        : "Copy File  failed: Error Number: 55"));
        // A move keeps the complete copy it got; a copy gives no torn file the final name.
        EXPECT_TRUE(
            move ? source.startsWith(readBytes(dest + "growing.log")) : !present(dest + "growing.log"));
        EXPECT_EQ(temporariesIn(dest), 0);
        ::unlink(nativePath(dest + "growing.log").constData());
    }
    removeTree(nativePath(dest));
}

TEST_F(Edges, AKilledCopysTemporaryGivesWayAndALiveOneStays)
{
    const QString dest = store.root() + "/small/";
    const SmallFileSystem small(dest, 12 << 20);
    if (!small.mounted())
        GTEST_SKIP() << "this user may not mount a file system";
    // What a killed copy leaves: a temporary whose lock went with its process.
    writeBytes(dest + ".quillfen-0dead.part", randomContent(6 << 20));
    // Another instance copying into the same folder, where temporaries have names, holds its own.
    const QString liveName = ".quillfen-live.part";
    const raw_file::Descriptor live(
        ::open(nativePath(dest + liveName).constData(), O_WRONLY | O_CREAT, 0600));
    ASSERT_EQ(::flock(live.get(), LOCK_EX), 0);
    raw_file::writeAll(live.get(), randomContent(1 << 20), "live");
    const QByteArray big = randomContent(7 << 20);
    writeBytes(src + "big.dat", big);
    storeEntries({{"big.dat", src, dest, false}});

    const ChildResult result = Child(store).run();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(readBytes(dest + "big.dat"), big) << qPrintable(result.errors);
    EXPECT_EQ(namesIn(dest), QStringList({liveName, "big.dat"}));
}

TEST_F(Edges, AFullDiskLeavesOnlyWholeRecordsUnderAWholeHeaderAndNamesItself)
{
    const SmallFileSystem small(store.appFolder(), 64 << 10);
    if (!small.mounted())
        GTEST_SKIP() << "this user may not mount a file system";
    const QString dest = store.scratch("dest");
    for (int k = 0; k < 40; ++k)
        writeBytes(src + QStringLiteral("file%1.dat").arg(k), "data");
    storeEntries({{"*.dat", src, dest, false}});
    const QString log = store.appFolder() + "/filelog.txt";

    fill(store.appFolder() + "/");
    ChildResult result = Child(store).run();
    EXPECT_TRUE(result.errors.contains("Run ended: Error Disk full (61)")) << qPrintable(result.errors);
    EXPECT_FALSE(present(log)) << "a log is never there without its header";

    ::unlink(nativePath(store.appFolder() + "/filler").constData());
    writeBytes(log, logHeader("x", "y").toUtf8());
    fill(store.appFolder() + "/");
    result = Child(store).run();
    EXPECT_TRUE(result.errors.contains("Run ended: Error Disk full (61)")) << qPrintable(result.errors);
    ::unlink(nativePath(store.appFolder() + "/filler").constData());
    ASSERT_EQ(Child(store).run().exitCode, 0);
    // Header, then records of their own forms only, none cut short or glued to the next.
    static const QRegularExpression whole(
        QStringLiteral("^#-{60}#\r\n# This file was created by Marivale Quillfen       #\r\n#-{60}#\r\n# "
                       "Created x on y\r\n\r\n\r\n\r\n"
                       "(Begin Copy File \t[^\r\n]+\r\n\tFrom: \t[^\r\n]+\\.dat\r\n"
                       "(\tTo:   [^\r\n]+\\.dat\r\nCopy File successful\t[^\r\n]+\r\n\r\n\r\n)?)+$"));
    EXPECT_TRUE(whole.match(QString::fromUtf8(readBytes(log))).hasMatch())
        << readBytes(log).right(600).constData();

    // The store on a full disk says so too.
    const SmallFileSystem config(store.root() + "/config", 64 << 10);
    fill(store.root() + "/config/");
    EXPECT_EQ(failureOf([] { store::save(keys::Timer, QStringLiteral("5")); }), failure_no::DiskFull);
}

} // namespace
