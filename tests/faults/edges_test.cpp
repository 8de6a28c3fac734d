// Where room runs out: a killed copy's leftovers beside another instance's live one, and a full disk
// under the log and under the store.

#include "faults_support.h"

#include "transfer/transfer_log.h"

#include <fcntl.h>
#include <sys/file.h>

namespace quillfen::faults {

TEST(Edges, WhereRoomRunsOutNothingIsTorn)
{
    TempStore store;
    const QString src = store.scratch("src"), dest = store.root() + "/small/",
                  log = store.appFolder() + "/filelog.txt";
    const SmallFileSystem small(dest, 12 << 20), logFolder(store.appFolder(), 64 << 10);
    if (!small.mounted || !logFolder.mounted)
        GTEST_SKIP() << "this user may not mount a file system";
    // What a killed copy leaves: a temporary whose lock went with its process; the room left
    // then is too little for the copy.
    writeBytes(dest + ".quillfen-0dead.part", randomContent(6 << 20));
    // Another instance copying into the same folder holds its own.
    const int live = ::open(nativePath(dest + ".quillfen-live.part").constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    ASSERT_EQ(::write(live, randomContent(1 << 20).constData(), 1 << 20), 1 << 20);
    const QByteArray big = randomContent(7 << 20);
    writeBytes(src + "big.dat", big);
    storeEntries({{"big.dat", src, dest, false}});
    const ChildResult copied = runChild(store);
    EXPECT_EQ(copied.exitCode, 0) << qPrintable(copied.errors);
    EXPECT_TRUE(readBytes(dest + "big.dat") == big);
    EXPECT_EQ(namesIn(dest), QStringList({".quillfen-live.part", "big.dat"}));
    ::close(live);

    for (int k = 0; k < 40; ++k)
        writeBytes(src + QStringLiteral("file%1.dat").arg(k), "data");
    storeEntries({{"file*.dat", src, store.scratch("dest"), false}});
    // No room for the header, then for a record: the room left in the header's last page
    // takes the first records whole and cuts the next one short.
    for (const bool header : {false, true}) {
        ::unlink(nativePath(log).constData());
        if (header)
            writeBytes(log, logHeader("x", "y").toUtf8());
        fill(store.appFolder());
        const ChildResult result = runChild(store);
        EXPECT_TRUE(result.errors.contains("Run ended: Error Disk full (61)")) << qPrintable(result.errors);
        EXPECT_EQ(present(log), header) << "a log is never there without its header";
        ::unlink(nativePath(store.appFolder() + "/filler").constData());
    }
    ASSERT_EQ(runChild(store).exitCode, 0);
    EXPECT_TRUE(readBytes(log).startsWith(logHeader("x", "y").toUtf8()));
    EXPECT_TRUE(wholeLog(readBytes(log))) << readBytes(log).right(600).constData();

    // The store on a full disk says so too.
    const SmallFileSystem config(store.root() + "/config", 64 << 10);
    fill(store.root() + "/config");
    EXPECT_EQ(failureOf([] { store::save(keys::Timer, QStringLiteral("5")); }), failure_no::DiskFull);
}

} // namespace quillfen::faults
