#include "transfer_test_support.h"

#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/file_routines.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quillfen;
using namespace quillfen::test;

namespace {

struct CopyCase
{
    const char *name;
    const char *missing; // folders and files left out: "src", "parent", "dest", "file"
    bool destFile, move;
    const char *result, *box; // "{src}", "{dest}" stand for the folders; box "": none
    const char *destAfter; // nullptr: no destination file
    bool sourceAfter, destFolderAfter;
};

class CopyFileTable : public ::testing::TestWithParam<CopyCase>
{
};

TEST_P(CopyFileTable, StepsResultsAndBoxes)
{
    const CopyCase &c = GetParam();
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString src = store.root() + q("/src/"), parent = store.root() + q("/parent/"),
                  dest = parent + q("d/");
    const QString missing = q(c.missing);
    for (const auto &[word, folder] : {std::pair {"src", src}, {"parent", parent}, {"dest", dest}}) {
        if (!missing.contains(q(word)))
            QDir().mkpath(folder);
    }
    if (!missing.contains(q("file")))
        writeBytes(src + q("f.txt"), "new");
    if (c.destFile)
        writeBytes(dest + q("f.txt"), "old");
    auto filled
        = [&](const char *text) { return q(text).replace(q("{src}"), src).replace(q("{dest}"), dest); };

    EXPECT_EQ(sc_CopyFile(q("f.txt"), src, q("f.txt"), dest, c.move), filled(c.result));

    EXPECT_EQ(boxes.texts(), *c.box ? QStringList {filled(c.box)} : QStringList());
    for (const MessageBoxRequest &box : boxes.shown()) {
        EXPECT_EQ(box.title, q("Error"));
        EXPECT_EQ(box.icon, MsgIcon::Critical);
    }
    EXPECT_EQ(readBytes(dest + q("f.txt")), QByteArray(c.destAfter));
    EXPECT_EQ(present(dest + q("f.txt")), c.destAfter != nullptr);
    EXPECT_EQ(present(src + q("f.txt")), c.sourceAfter);
    EXPECT_EQ(QFileInfo(dest).isDir(), c.destFolderAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, CopyFileTable,
    ::testing::Values(
        CopyCase {"CreatesMissingLastLevel", "dest", false, false, "True", "", "new", true, true},
        CopyCase {"ParentMissingToo", "dest parent", false, false, "Error Number: 76  Error: Path not found",
            "Error: Path not found (76)\r\n\r\nCheck the path to \r\n{dest}\r\nYou may need to create the "
            "file manually.",
            nullptr, true, false},
        CopyCase {"SourceFolderMissing", "src file dest", false, false,
            "The Source location: \r\n{src}\r\ndoes not exist. \r\n\r\nPlease check your settings.", "",
            nullptr, false, true},
        CopyCase {"SourceFileMissing", "file", false, false, "Error Number: 53  Error: File not found",
            "Error: File not found (53)", nullptr, false, true},
        CopyCase {"ReplacesDestination", "", true, false, "True", "", "new", true, true},
        CopyCase {"MoveLeavesNoSource", "", true, true, "True", "", "new", false, true},
        CopyCase {"MoveOfMissingFile", "file", true, true, "Error Number: 53  Error: File not found",
            "Error: File not found (53)", "old", false, true}),
    [](const ::testing::TestParamInfo<CopyCase> &info) { return std::string(info.param.name); });

TEST(FileExists, FindsOnlyPlainVisibleFilesAndStaysQuietAboutAbsence)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString dir = store.scratch();
    writeBytes(dir + q("plain"), "x");
    writeBytes(dir + q(".hidden"), "x");
    QDir().mkpath(dir + q("folder"));
    ::symlink("plain", nativePath(dir + q("link")).constData());
    ::symlink("gone", nativePath(dir + q("dangling")).constData());
    ::mkfifo(nativePath(dir + q("pipe")).constData(), 0600);
    const std::pair<const char *, bool> rows[] = {{"plain", true}, {".hidden", false}, {"folder", false},
        {"link", true}, {"dangling", false}, {"pipe", false}, {"missing", false}, {"no/where", false}};
    for (const auto &[name, found] : rows)
        EXPECT_EQ(sc_FileExists(dir + q(name)), found) << name;
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST(FileExists, ReportsOtherFailuresWithTheNumberInTheTitle)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString dir = store.scratch(q("closed"));
    writeBytes(dir + q("f.txt"), "x");
    ::chmod(nativePath(dir).constData(), 0);
    {
        WithoutRootOverride user;
        if (!user.active())
            GTEST_SKIP() << "cannot drop the permission override";
        EXPECT_FALSE(sc_FileExists(dir + q("f.txt")));
    }
    ::chmod(nativePath(dir).constData(), 0700);
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].text, q("Error: Permission denied (70)"));
    EXPECT_EQ(boxes.shown()[0].title, q("Error 70"));
}

TEST(DeleteFile, SilentOnAMissingFileAndRemovesALinkNotItsTarget)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString dir = store.scratch();
    sc_DeleteFile(dir + q("missing.txt"));
    sc_DeleteFile(dir + q("no/such/folder/missing.txt"));
    writeBytes(dir + q("target"), "keep");
    ::symlink("target", nativePath(dir + q("link")).constData());
    sc_DeleteFile(dir + q("link"));
    EXPECT_FALSE(present(dir + q("link")));
    EXPECT_EQ(readBytes(dir + q("target")), QByteArray("keep"));
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST(FolderOf, CutsAfterTheLastSeparator)
{
    const std::pair<const char *, const char *> rows[] = {
        {"", ""},
        {"file.txt", ""},
        {"/", "/"},
        {"/a/b.txt", "/a/"},
        {"/a/b/", "/a/b/"},
        {"rel/x", "rel/"},
        {"/a//b", "/a//"},
        {"/a/b\\c", "/a/"},
    };
    for (const auto &[path, folder] : rows)
        EXPECT_EQ(sc_FolderOf(q(path)), q(folder)) << path;
}

} // namespace
