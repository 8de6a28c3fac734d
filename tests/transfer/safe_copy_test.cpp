#include "transfer_test_support.h"

#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/date_test.h"
#include "transfer/file_routines.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

using namespace quillfen;
using namespace quillfen::test;

namespace {

const QString Name = q("f.bin");

struct stat statOf(const QString &path)
{
    struct stat st = {};
    ::lstat(nativePath(path).constData(), &st);
    return st;
}

// A folder on a file system of its own: a fresh tmpfs of the given size when the machine
// lets us mount one, else (unbounded) /dev/shm when that is another file system.
class OtherFileSystem
{
public:
    OtherFileSystem(const TempStore &store, const char *size)
    {
        const QString point = store.scratch(q("mnt"));
        if (::mount(
                "tmpfs", nativePath(point).constData(), "tmpfs", 0, (QByteArray("size=") + size).constData())
            == 0) {
            m_mounted = m_folder = point;
        } else if (statOf(q("/dev/shm")).st_dev != statOf(store.root()).st_dev) {
            m_shm = std::make_unique<QTemporaryDir>(q("/dev/shm/quillfen-test-XXXXXX"));
            m_folder = m_shm->isValid() ? m_shm->path() + QLatin1Char('/') : QString();
        }
    }
    ~OtherFileSystem()
    {
        if (sized())
            ::umount2(nativePath(m_mounted).constData(), MNT_DETACH);
    }
    bool sized() const { return !m_mounted.isEmpty(); }
    const QString &folder() const { return m_folder; } // empty when there is none

private:
    QString m_mounted, m_folder;
    std::unique_ptr<QTemporaryDir> m_shm;
};

// Where no small file system can be mounted, a file size limit makes the writes fail.
class WriteLimit
{
public:
    explicit WriteLimit(bool needed)
    {
        if (!needed)
            return;
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previous = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small {1 << 20, m_saved.rlim_max};
        m_active = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~WriteLimit()
    {
        if (m_active)
            ::setrlimit(RLIMIT_FSIZE, &m_saved);
        if (m_previous != SIG_ERR)
            std::signal(SIGXFSZ, m_previous);
    }

private:
    rlimit m_saved {};
    void (*m_previous)(int) = SIG_ERR;
    bool m_active = false;
};

class FullDisk : public ::testing::TestWithParam<bool>
{
};

TEST_P(FullDisk, LeavesTheOldDestinationAndTheSourceAndNoTemporaryFile)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const OtherFileSystem small(store, "1m");
    if (small.folder().isEmpty())
        GTEST_SKIP() << "no second file system available";
    const QString src = store.scratch(q("src"));
    const QByteArray payload(2 << 20, 'p');
    writeBytes(src + Name, payload);
    writeBytes(small.folder() + Name, "old");
    QString result;
    {
        const WriteLimit limit(!small.sized());
        result = sc_CopyFile(Name, src, Name, small.folder(), GetParam());
    }
    EXPECT_EQ(result,
        small.sized() ? q("Error Number: 61  Error: Disk full")
                      : q("Error Number: 75  Error: Path/File access error"));
    EXPECT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(readBytes(small.folder() + Name), QByteArray("old"));
    EXPECT_EQ(readBytes(src + Name), payload);
    EXPECT_EQ(hiddenEntries(small.folder()), QStringList());
}

INSTANTIATE_TEST_SUITE_P(CopyAndMove, FullDisk, ::testing::Values(false, true));

class KeepsTimeAndMode : public ::testing::TestWithParam<bool>
{
};

TEST_P(KeepsTimeAndMode, CopiedFileIsAsOldAsItsSource)
{
    const bool acrossFileSystems = GetParam();
    TempStore store;
    ScriptedMessageBoxes boxes;
    const OtherFileSystem other(store, "64m");
    if (acrossFileSystems && other.folder().isEmpty())
        GTEST_SKIP() << "no second file system available";
    const QString src = store.scratch(q("src"));
    const QString dest = acrossFileSystems ? other.folder() : store.scratch(q("dest"));
    writeBytes(src + Name, "data");
    ::chmod(nativePath(src + Name).constData(), 0640);
    setModified(src + Name, QDateTime::currentDateTime().addDays(-3).addMSecs(-250));
    const struct stat before = statOf(src + Name);

    // Across file systems a move is a copy too; within one it is a rename.
    ASSERT_EQ(sc_CopyFile(Name, src, Name, dest, acrossFileSystems), q("True"));
    const struct stat after = statOf(dest + Name);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_TRUE(sc_CheckFileDate(dest + Name, 1, q("h")));
    EXPECT_EQ(present(src + Name), !acrossFileSystems);
}

INSTANTIATE_TEST_SUITE_P(CopyAndCrossMove, KeepsTimeAndMode, ::testing::Values(false, true));

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
        const QString folder = alias == DotFolder ? dir + q("./") : dir;
        const QString name = alias == HardLink ? q("twin") : alias == LinkToSource ? q("alias") : Name;
        if (alias == HardLink)
            ::link(nativePath(dir + Name).constData(), nativePath(dir + name).constData());
        if (alias == LinkToSource)
            ::symlink(nativePath(Name).constData(), nativePath(dir + name).constData());

        EXPECT_EQ(sc_CopyFile(Name, dir, name, folder, move), q("Error Number: 70  Error: Permission denied"))
            << alias << move;
        EXPECT_EQ(boxes.texts(), QStringList {q("Error: Permission denied (70)")});
        EXPECT_EQ(readBytes(dir + Name), QByteArray("precious"));
        EXPECT_EQ(readBytes(folder + name), QByteArray("precious"));
        EXPECT_EQ(hiddenEntries(dir), QStringList());
    }
}

TEST(SafeCopy, LinksAreCopiedAsTheirFileAndMovedAsLinks)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const OtherFileSystem other(store, "1m");
    const QString src = store.scratch(q("src")), dest = store.scratch(q("dest"));
    const QString target = store.scratch(q("elsewhere")) + q("target");
    writeBytes(target, "content");
    ::symlink(nativePath(target).constData(), nativePath(src + q("link")).constData());

    ASSERT_EQ(sc_CopyFile(q("link"), src, q("copy"), dest, false), q("True"));
    EXPECT_TRUE(S_ISREG(statOf(dest + q("copy")).st_mode));
    EXPECT_EQ(readBytes(dest + q("copy")), QByteArray("content"));
    if (other.folder().isEmpty())
        GTEST_SKIP() << "no second file system available";
    ASSERT_EQ(sc_CopyFile(q("link"), src, q("moved"), other.folder(), true), q("True"));
    EXPECT_EQ(QFileInfo(other.folder() + q("moved")).symLinkTarget(), target);
    EXPECT_FALSE(present(src + q("link")));
    EXPECT_EQ(readBytes(target), QByteArray("content"));
}

TEST(SafeCopy, FoldersAndPipesAreNotFilesAndDoNotHang)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString src = store.scratch(q("src")), dest = store.scratch(q("dest"));
    QDir().mkpath(src + q("folder"));
    ::mkfifo(nativePath(src + q("pipe")).constData(), 0600);
    for (const bool move : {false, true}) {
        for (const QString &name : {q("folder"), q("pipe")}) {
            EXPECT_EQ(sc_CopyFile(name, src, name, dest, move),
                q("Error Number: 75  Error: Path/File access error"));
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
    const QString src = store.scratch(q("src")), dest = store.scratch(q("dest"));
    const qint64 size = (qint64(20) << 20) + 123;
    QByteArray payload(size, '\0');
    for (qint64 k = 0; k < size; k += 4096)
        payload[k] = char(k / 4096);
    writeBytes(src + Name, payload);

    ASSERT_EQ(sc_CopyFile(Name, src, Name, dest, false), q("True"));
    EXPECT_EQ(readBytes(dest + Name), payload);
    ASSERT_GE(progress.bytes.size(), 2);
    for (qsizetype k = 1; k < progress.bytes.size(); ++k)
        EXPECT_GT(progress.bytes[k].first, progress.bytes[k - 1].first);
    EXPECT_EQ(progress.bytes.last(), qMakePair(size, size));
}

} // namespace
