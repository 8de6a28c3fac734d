#include "transfer_tests.h"

#include <fcntl.h>

// A device that is not there cannot be made for real: stat() answers this error for this path.
static std::pair<QByteArray, int> g_failing;

extern "C" int stat(const char *path, struct stat *buf) noexcept
{
    if (g_failing.second != 0 && g_failing.first == path) {
        errno = g_failing.second;
        return -1;
    }
    return ::fstatat(AT_FDCWD, path, buf, 0);
}

namespace quillfen::test {

using FileRoutines = TransferTest;

TEST_F(FileRoutines, FileExistsFindsOnlyPlainFiles)
{
    makeTree(root, {"plain", ".hidden", "folder/", "link->plain", "dangling->gone"});
    ::mkfifo(nativePath(root + "pipe").constData(), 0600);
    for (const char *name : {"plain", "link"})
        EXPECT_TRUE(sc_FileExists(root + name).found) << name;
    for (const char *name : {".hidden", "folder", "dangling", "pipe", "missing", "no/where"}) {
        EXPECT_FALSE(sc_FileExists(root + name).found) << name;
        EXPECT_FALSE(sc_FileExists(root + name).report) << name;
    }
    const struct
    {
        int error, failure;
    } errors[] = {{ENXIO, 68}, {EACCES, 70}};
    for (const auto &[error, failure] : errors) {
        SCOPED_TRACE(failure);
        g_failing = {nativePath(root + "plain"), error};
        const Lookup lookup = sc_FileExists(root + "plain");
        g_failing = {};
        EXPECT_FALSE(lookup.found);
        const Report report = lookup.report.value_or(Report::place(Failure(0), ""));
        EXPECT_EQ(report.failure.number(), failure);
        EXPECT_EQ(report.where, root + "plain");
    }
}

TEST_F(FileRoutines, DeleteFileTakesALinkNotItsTarget)
{
    makeTree(root, {"plain", "link->plain"});
    for (const char *name : {"missing", "no/where", "link"})
        sc_DeleteFile(root + name);
    EXPECT_FALSE(present(root + "link"));
    EXPECT_TRUE(present(root + "plain"));
}

TEST_F(FileRoutines, CopyFileWithoutASourceReplacesNothing)
{
    EXPECT_EQ(outcomeOf(sc_CopyFile("plain", root + "none/", "plain", root, false)), "no source folder");
    writeBytes(root + "plain", "old");
    for (const bool move : {false, true})
        EXPECT_EQ(outcomeOf(sc_CopyFile("missing", root, "plain", root, move)), "53");
    EXPECT_EQ(readBytes(root + "plain"), "old");
}

} // namespace quillfen::test
