#include "support/test_support.h"

#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include "transfer/date_test.h"
#include "transfer/file_routines.h"
#include <QTemporaryDir>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

using namespace quillfen;
using namespace quillfen::test;

namespace {

const QString Name = "f.bin";

struct stat statOf(const QString &path)
{
    struct stat st = {};
    ::lstat(nativePath(path).constData(), &st);
    return st;
}

// A folder on a file system of its own: a fresh tmpfs of the given size when the machine
// lets us mount one, else (unbounded) /dev/shm when that is another file system.
struct OtherFileSystem
{
    OtherFileSystem(const TempStore &store, const char *size)
    {
        const QString point = store.scratch("mnt");
        if (::mount(
                "tmpfs", nativePath(point).constData(), "tmpfs", 0, (QByteArray("size=") + size).constData())
            == 0) {
            sized = true;
            folder = point;
        } else if (statOf("/dev/shm").st_dev != statOf(store.root()).st_dev && shm.isValid()) {
            folder = shm.path() + QLatin1Char('/');
        }
    }
    ~OtherFileSystem()
    {
        if (sized)
            ::umount2(nativePath(folder).constData(), MNT_DETACH);
    }

    QTemporaryDir shm {"/dev/shm/quillfen-test-XXXXXX"};
    bool sized = false;
    QString folder; // empty when there is none
};

TEST(SafeCopy, FullDiskLeavesTheOldDestinationTheSourceAndNoTemporaryFile)
{
    for (const bool move : {false, true}) {
        TempStore store;
        ScriptedMessageBoxes boxes;
        const OtherFileSystem small(store, "1m");
        if (small.folder.isEmpty())
            GTEST_SKIP() << "no second file system available";
        const QString src = store.scratch("src");
        const QByteArray payload(2 << 20, 'p');
        writeBytes(src + Name, payload);
        writeBytes(small.folder + Name, "old");
        // Where no small file system can be mounted, a file size limit makes the writes fail.
        rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit {small.sized ? saved.rlim_cur : 1 << 20, saved.rlim_max};
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        const QString result = sc_CopyFile(Name, src, Name, small.folder, move);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        EXPECT_EQ(result,
            small.sized ? "Error Number: 61  Error: Disk full"
                        : "Error Number: 75  Error: Path/File access error: not a plain file");
        EXPECT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(readBytes(small.folder + Name), "old");
        EXPECT_EQ(readBytes(src + Name), payload);
        EXPECT_EQ(hiddenEntries(small.folder), QStringList());
    }
}

TEST(SafeCopy, CopiedFileKeepsTimeAndMode)
{
    for (const bool acrossFileSystems : {false, true}) {
        TempStore store;
        ScriptedMessageBoxes boxes;
        const OtherFileSystem other(store, "64m");
        if (acrossFileSystems && other.folder.isEmpty())
            GTEST_SKIP() << "no second file system available";
        const QString src = store.scratch("src");
        const QString dest = acrossFileSystems ? other.folder : store.scratch("dest");
        writeBytes(src + Name, "data");
        ::chmod(nativePath(src + Name).constData(), 0640);
        setModified(src + Name, QDateTime::currentDateTime().addDays(-3).addMSecs(-250));
        const struct stat before = statOf(src + Name);

        // Across file systems a move is a copy too; within one it is a rename.
        ASSERT_EQ(sc_CopyFile(Name, src, Name, dest, acrossFileSystems), "True");
        const struct stat after = statOf(dest + Name);
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(after.st_mode & 07777, 0640u);
        EXPECT_TRUE(sc_CheckFileDate(dest + Name, 1, "h"));
        EXPECT_EQ(present(src + Name), !acrossFileSystems);
    }
}

TEST(SafeCopy, SameFileUnderAnotherNameIsRefusedAndNothingIsLost)
{
    enum Alias { SameText, DotFolder, HardLink, LinkToSource };
    const std::pair<Alias, bool> rows[]
        = {{SameText, true}, {DotFolder, false}, {HardLink, true}, {HardLink, false}, {LinkToSource, true}};
    for (const auto &[alias, move] : rows) {
        TempStore store;
        ScriptedMessageBoxes boxes;
        const QString dir = store.scratch();
        writeBytes(dir + Name, "precious");
        const QString folder = alias == DotFolder ? dir + "./" : dir;
        const QString name = alias == HardLink ? "twin" : alias == LinkToSource ? "alias" : Name;
        if (alias == HardLink)
            ::link(nativePath(dir + Name).constData(), nativePath(dir + name).constData());
        if (alias == LinkToSource)
            ::symlink(nativePath(Name).constData(), nativePath(dir + name).constData());

        EXPECT_EQ(sc_CopyFile(Name, dir, name, folder, move), "Error Number: 70  Error: Permission denied")
            << alias << move;
        EXPECT_EQ(boxes.texts(), QStringList {"Error: Permission denied (70)"});
        EXPECT_EQ(readBytes(dir + Name), "precious");
        EXPECT_EQ(readBytes(folder + name), "precious");
        EXPECT_EQ(hiddenEntries(dir), QStringList());
    }
}

TEST(SafeCopy, LinksAreCopiedAsTheirFileAndMovedAsLinks)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const OtherFileSystem other(store, "1m");
    const QString src = store.scratch("src"), dest = store.scratch("dest");
    const QString target = store.scratch("elsewhere") + "target";
    writeBytes(target, "content");
    ::symlink(nativePath(target).constData(), nativePath(src + "link").constData());

    ASSERT_EQ(sc_CopyFile("link", src, "copy", dest, false), "True");
    EXPECT_TRUE(S_ISREG(statOf(dest + "copy").st_mode));
    EXPECT_EQ(readBytes(dest + "copy"), "content");
    if (other.folder.isEmpty())
        GTEST_SKIP() << "no second file system available";
    ASSERT_EQ(sc_CopyFile("link", src, "moved", other.folder, true), "True");
    EXPECT_EQ(QFileInfo(other.folder + "moved").symLinkTarget(), target);
    EXPECT_FALSE(present(src + "link"));
    EXPECT_EQ(readBytes(target), "content");
}

TEST(SafeCopy, FoldersAndPipesAreNotFilesAndDoNotHang)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString src = store.scratch("src"), dest = store.scratch("dest");
    QDir().mkpath(src + "folder");
    ::mkfifo(nativePath(src + "pipe").constData(), 0600);
    for (const bool move : {false, true}) {
        for (const QString name : {"folder", "pipe"}) {
            EXPECT_EQ(sc_CopyFile(name, src, name, dest, move),
                "Error Number: 75  Error: Path/File access error: not a plain file");
            EXPECT_TRUE(present(src + name));
            EXPECT_FALSE(present(dest + name));
        }
    }
}

TEST(SafeCopy, LargeCopyReportsItsBytesAsItGoes)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    ProgressRecorder progress;
    const QString src = store.scratch("src"), dest = store.scratch("dest");
    const qint64 size = (qint64(20) << 20) + 123;
    QByteArray payload(size, '\0');
    for (qint64 k = 0; k < size; k += 4096)
        payload[k] = char(k / 4096);
    writeBytes(src + Name, payload);

    safe_copy::Session session;
    session.progress = [&](qint64 done, qint64 total) { progress.bytesCopied(done, total); };
    safe_copy::Outcome outcome;
    ASSERT_EQ(sc_CopyFile(Name, src, Name, dest, false, session, outcome), "True");
    EXPECT_EQ(readBytes(dest + Name), payload);
    ASSERT_GE(progress.done.size(), 2);
    EXPECT_EQ(std::adjacent_find(progress.done.begin(), progress.done.end(), std::greater_equal<>()),
        progress.done.end()); // rising
    EXPECT_EQ(progress.done.last(), size);
    EXPECT_EQ(progress.totals, QList<qint64>(progress.totals.size(), size));
}

} // namespace
