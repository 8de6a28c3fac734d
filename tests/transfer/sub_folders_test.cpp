#include "transfer_test_support.h"

#include "support/temp_store.h"
#include "transfer/sub_folders.h"

using namespace quillfen;
using namespace quillfen::test;

namespace {

TEST(SubFolders, AreSortedWithoutCaseAndLeaveOutFilesHiddenAndDanglingNames)
{
    TempStore store;
    const QString root = store.scratch();
    makeTree(root, {"beta/", "Alpha/", "gamma.txt", ".hidden/", "link->Alpha", "dangling->nowhere"});
    EXPECT_EQ(listSubFolders(root), QStringList({"Alpha", "beta", "link"}));
    for (const char *notAFolder : {"missing", "gamma.txt"})
        EXPECT_EQ(failureOf([&] { listSubFolders(root + q(notAFolder)); }), failure_no::PathNotFound)
            << notAFolder;
}

TEST(FolderTexts, AreAbsoluteCleanAndEndWithTheSeparatorOnlyAtTheRoot)
{
    const QString here = QDir::currentPath(), below = QDir::cleanPath(here + q("/rel"));
    const QString rows[][3] = {{q("/"), q("/"), q("/")}, {q("/a/b/"), q("/a/b"), q("/a/b/")},
        {q("/a//b/../c"), q("/a/c"), q("/a/c/")}, {QString(), here, here == q("/") ? here : here + q("/")},
        {q("rel"), below, below + q("/")}};
    for (const auto &row : rows) {
        EXPECT_EQ(normalFolder(row[0]), row[1]) << qPrintable(row[0]);
        EXPECT_EQ(folderPrefix(normalFolder(row[0])), row[2]) << qPrintable(row[0]);
    }
    EXPECT_EQ(joinFolder(q("/"), q("x")) + joinFolder(q("/a"), q("x")), q("/x/a/x"));
}

} // namespace
