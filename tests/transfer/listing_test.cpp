#include "transfer_tests.h"

#include "transfer/listing.h"

namespace quillfen::test {

using Listing = TransferTest;

TEST_F(Listing, PatternsPickVisibleFilesEachOnceInCaseIgnoringOrder)
{
    makeTree(src,
        {"A.TXT", "a.txt", "b.txt", "a.txt.bak", "noext", "abc", "ac", "mississippi", "café.txt", "ΣΟΦΙΑ.txt",
            "😀.txt", ".hidden.txt", "folder.txt/", "link.txt->b.txt", "dangling.txt->gone",
            "dirlink.txt->folder.txt"});
    ::mkfifo(nativePath(src + "pipe.txt").constData(), 0600);
    const QStringList txt = {"A.TXT", "a.txt", "b.txt", "café.txt", "link.txt", "ΣΟΦΙΑ.txt", "😀.txt"};
    const struct
    {
        const char *patterns;
        QStringList names;
    } rows[] = {{"*.txt", txt}, {"*.TXT;b*; A.txt", txt},
        {"*.*",
            {"A.TXT", "a.txt", "a.txt.bak", "abc", "ac", "b.txt", "café.txt", "link.txt", "mississippi",
                "noext", "ΣΟΦΙΑ.txt", "😀.txt"}},
        {"a?c", {"abc"}}, {"ac.*", {"ac"}}, {"?.txt", {"A.TXT", "a.txt", "b.txt", "😀.txt"}}, {"??.txt", {}},
        {"caf?.txt", {"café.txt"}}, {"σοφια.*;a?c", {"abc", "ΣΟΦΙΑ.txt"}}, {"m*iss*ppi", {"mississippi"}},
        {";", {}}};
    for (const auto &[patterns, names] : rows)
        EXPECT_EQ(listMatchingFiles(src, q(patterns)), names) << patterns;
    for (const QString &folder : {src + "nowhere/", src + "b.txt/", QString()})
        EXPECT_EQ(failureOf([&] { listMatchingFiles(folder, "*"); }), failure_no::PathNotFound);
    ::chmod(nativePath(src).constData(), 0);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_EQ(failureOf([&] { listMatchingFiles(src, "*"); }), failure_no::PermissionDenied);
}

} // namespace quillfen::test
