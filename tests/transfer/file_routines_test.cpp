#include "support/test_support.h"

#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/date_test.h"
#include "transfer/file_routines.h"

using namespace quillfen;
using namespace quillfen::test;

namespace {

TEST(CopyFile, StepsResultsAndBoxes)
{
    struct Row
    {
        const char *name, *missing; // left out: folders "src", "parent", "dest" and "file"
        bool destFile, move;
        const char *result, *box; // "{src}", "{dest}" stand for the folders; box "": none
        const char *destAfter, *sourceAfter;
        bool destFolderAfter;
    };
    const char *const noPath = "Error: Path not found (76)\r\n\r\nCheck the path to \r\n{dest}\r\nYou may "
                               "need to create the file manually.";
    const char *const notFound = "Error Number: 53  Error: File not found";
    const Row rows[] = {
        {"CreatesMissingLastLevel", "dest", false, false, "True", "", "new", "new", true},
        {"ParentMissingToo", "dest parent", false, false, "Error Number: 76  Error: Path not found", noPath,
            "<none>", "new", false},
        {"SourceFolderMissing", "src file dest", false, false,
            "The Source location: \r\n{src}\r\ndoes not exist. \r\n\r\nPlease check your settings.", "",
            "<none>", "<none>", true},
        {"SourceFileMissing", "file", false, false, notFound, "Error: File not found (53)", "<none>",
            "<none>", true},
        {"ReplacesDestination", "", true, false, "True", "", "new", "new", true},
        {"MoveLeavesNoSource", "", true, true, "True", "", "new", "<none>", true},
        {"MoveOfMissingFile", "file", true, true, notFound, "Error: File not found (53)", "old", "<none>",
            true},
    };
    for (const Row &c : rows) {
        TempStore store;
        ScriptedMessageBoxes boxes;
        const QString src = store.root() + "/src/", parent = store.root() + "/parent/", dest = parent + "d/";
        for (const auto &[word, folder] : {std::pair {"src", src}, {"parent", parent}, {"dest", dest}}) {
            if (!q(c.missing).contains(q(word)))
                QDir().mkpath(folder);
        }
        if (!q(c.missing).contains("file"))
            writeBytes(src + "f.txt", "new");
        if (c.destFile)
            writeBytes(dest + "f.txt", "old");
        auto filled = [&](const char *text) { return q(text).replace("{src}", src).replace("{dest}", dest); };

        EXPECT_EQ(sc_CopyFile("f.txt", src, "f.txt", dest, c.move), filled(c.result)) << c.name;
        EXPECT_EQ(boxes.texts(), *c.box ? QStringList {filled(c.box)} : QStringList()) << c.name;
        for (const MessageBoxRequest &box : boxes.shown())
            EXPECT_TRUE(box.title == "Error" && box.icon == MsgIcon::Critical) << c.name;
        EXPECT_EQ(readBytes(dest + "f.txt"), c.destAfter) << c.name;
        EXPECT_EQ(readBytes(src + "f.txt"), c.sourceAfter) << c.name;
        EXPECT_EQ(QFileInfo(dest).isDir(), c.destFolderAfter) << c.name;
    }
}

TEST(FileExists, FindsOnlyPlainVisibleFilesAndStaysQuietAboutAbsence)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString dir = store.scratch();
    writeBytes(dir + "plain", "x");
    writeBytes(dir + ".hidden", "x");
    QDir().mkpath(dir + "folder");
    ::symlink("plain", nativePath(dir + "link").constData());
    ::symlink("gone", nativePath(dir + "dangling").constData());
    ::mkfifo(nativePath(dir + "pipe").constData(), 0600);
    const std::pair<const char *, bool> rows[] = {{"plain", true}, {".hidden", false}, {"folder", false},
        {"link", true}, {"dangling", false}, {"pipe", false}, {"missing", false}, {"no/where", false}};
    for (const auto &[name, found] : rows)
        EXPECT_EQ(sc_FileExists(dir + q(name)), found) << name;
    EXPECT_TRUE(boxes.shown().isEmpty());

    ::chmod(nativePath(dir).constData(), 0);
    bool asUser = false, found = false;
    {
        WithoutRootOverride user;
        asUser = user.active();
        found = asUser && sc_FileExists(dir + "plain");
    }
    ::chmod(nativePath(dir).constData(), 0700);
    if (!asUser)
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_FALSE(found);
    EXPECT_EQ(boxes.texts(), QStringList {"Error: Permission denied (70)"});
    EXPECT_EQ(boxes.shown().value(0).title, "Error 70");
}

TEST(DeleteFile, SilentOnAMissingFileAndRemovesALinkNotItsTarget)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString dir = store.scratch();
    sc_DeleteFile(dir + "missing.txt");
    sc_DeleteFile(dir + "no/such/folder/missing.txt");
    writeBytes(dir + "target", "keep");
    ::symlink("target", nativePath(dir + "link").constData());
    sc_DeleteFile(dir + "link");
    EXPECT_FALSE(present(dir + "link"));
    EXPECT_EQ(readBytes(dir + "target"), "keep");
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST(FolderOf, CutsAfterTheLastSeparator)
{
    const std::pair<const char *, const char *> rows[] = {{"", ""}, {"file.txt", ""}, {"/", "/"},
        {"/a/b.txt", "/a/"}, {"/a/b/", "/a/b/"}, {"rel/x", "rel/"}, {"/a//b", "/a//"}, {"/a/b\\c", "/a/"}};
    for (const auto &[path, folder] : rows)
        EXPECT_EQ(sc_FolderOf(q(path)), q(folder)) << path;
}

QDateTime local(const char *text)
{
    return QDateTime::fromString(q(text), "yyyy-MM-dd HH:mm:ss");
}

TEST(DateRestriction, CountsUnitBoundariesCrossedOnWallClockFields)
{
    struct Row
    {
        const char *file, *now;
        int threshold;
        const char *unit;
        bool passes;
    };
    // 2025-01-04 is a Saturday, 2025-01-05 a Sunday.
    const Row rows[] = {
        {"2025-03-10 10:59:00", "2025-03-10 11:00:00", 1, "h", true},
        {"2025-03-10 11:00:00", "2025-03-10 11:59:59", 1, "h", false},
        {"2025-03-10 10:59:00", "2025-03-10 11:00:00", 1, "H", true},
        {"2025-03-09 23:30:00", "2025-03-10 00:10:00", 1, "h", true},
        {"2025-03-10 11:45:00", "2025-03-10 11:00:00", 0, "h", true},
        {"2025-03-10 12:00:00", "2025-03-10 11:59:59", 0, "h", false},
        {"2025-03-10 12:00:00", "2025-03-10 11:59:59", -1, "h", true},
        {"2025-03-10 10:59:59", "2025-03-10 11:00:00", 1, "n", true},
        {"2025-03-10 10:59:00", "2025-03-10 10:59:59", 1, "n", false},
        {"2025-03-10 10:59:59", "2025-03-10 11:00:00", 1, "s", true},
        {"2025-03-10 11:00:00", "2025-03-10 11:00:00", 1, "S", false},
        {"2025-03-10 23:59:59", "2025-03-11 00:00:00", 1, "d", true},
        {"2025-03-10 00:00:00", "2025-03-10 23:59:59", 1, "d", false},
        {"2025-03-10 23:59:59", "2025-03-11 00:00:00", 1, "y", true},
        {"2025-01-01 12:00:00", "2025-01-07 12:00:00", 1, "w", false},
        {"2025-01-01 12:00:00", "2025-01-08 00:00:00", 1, "w", true},
        {"2025-01-10 12:00:00", "2025-01-01 12:00:00", -1, "w", true},
        {"2025-01-04 23:00:00", "2025-01-05 00:00:00", 1, "ww", true},
        {"2025-01-05 00:00:00", "2025-01-11 23:59:59", 1, "ww", false},
        {"2025-01-05 00:00:00", "2025-01-12 00:00:00", 1, "WW", true},
        {"2025-01-04 12:00:00", "2025-01-12 12:00:00", 2, "ww", true},
        {"2025-01-31 23:59:59", "2025-02-01 00:00:00", 1, "m", true},
        {"2025-02-01 00:00:00", "2025-02-28 23:59:59", 1, "m", false},
        {"2025-03-31 23:59:59", "2025-04-01 00:00:00", 1, "q", true},
        {"2025-01-01 00:00:00", "2025-03-31 23:59:59", 1, "q", false},
        {"2024-12-31 23:59:59", "2025-01-01 00:00:00", 1, "yyyy", true},
        {"2025-01-01 00:00:00", "2025-12-31 23:59:59", 1, "YYYY", false},
        {"2026-06-01 00:00:00", "2025-06-01 00:00:00", 0, "yyyy", false},
    };
    TempStore store;
    const QString path = store.scratch() + "f.txt";
    writeBytes(path, "x");
    for (const Row &c : rows) {
        setModified(path, local(c.file));
        EXPECT_EQ(sc_CheckFileDate(path, qint16(c.threshold), q(c.unit), local(c.now)), c.passes)
            << c.file << " -> " << c.now << ", " << c.threshold << ' ' << c.unit;
    }
}

TEST(DateRestriction, UnknownUnitsAndMissingFilesFail)
{
    TempStore store;
    const QString dir = store.scratch();
    writeBytes(dir + "f.txt", "x");
    const std::tuple<const char *, const char *, int> rows[] = {
        {"f.txt", "hours", failure_no::InvalidArgument},
        {"f.txt", "", failure_no::InvalidArgument},
        {"f.txt", " h", failure_no::InvalidArgument},
        {"missing.txt", "h", failure_no::FileNotFound},
        {"nowhere/f.txt", "h", failure_no::PathNotFound},
    };
    for (const auto &[name, unit, number] : rows)
        EXPECT_EQ(failureOf([&] { sc_CheckFileDate(dir + q(name), 1, q(unit)); }), number) << name << unit;
}

} // namespace
