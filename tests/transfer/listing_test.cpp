#include "support/test_support.h"

#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/file_routines.h"
#include "transfer/listing.h"

using namespace quillfen;
using namespace quillfen::test;

namespace {

TEST(Matching, StarAndQuestionMarkIgnoringCase)
{
    const std::tuple<const char *, const char *, bool> rows[] = {{"b.txt", "*.txt", true},
        {"A.TXT", "*.txt", true}, {"c.log", "*.txt", false}, {"a.txt.bak", "*.txt", false},
        {"noext", "*.*", true}, {"a.b.c", "*.*", true}, {"readme", "readme.*", true},
        {"readme2", "readme.*", false}, {"abc", "a?c", true}, {"ac", "a?c", false}, {"abbc", "a?c", false},
        {"ab", "ab*", true}, {"mississippi", "m*iss*ppi", true}, {"abc", "*?*?*?*?", false},
        {"x.log", "*.txt;*.log", true}, {"x.log", "*.txt; *.log", true}, {"x.log", "", false},
        {"x.log", ";", false}, {"ÄRGER.txt", "ä*", true}, {"Ärger.txt", "?RGER.TXT", true},
        {"ΣΟΦΙΑ.txt", "σοφια.*", true}, {"Привет.doc", "пРИВЕТ.DOC", true}, {"😀.txt", "?.txt", true},
        {"😀.txt", "??.txt", false}, {"plain.txt", "PLÄIN.txt", false}};
    for (const auto &[name, patterns, matches] : rows)
        EXPECT_EQ(matchesPatterns(q(name), q(patterns)), matches) << name << " against " << patterns;
}

TEST(Listing, FilesOnlyVisibleOnlyEachOnceInCaseIgnoringOrder)
{
    TempStore store;
    const QString dir = store.scratch();
    for (const char *name : {"b.txt", "A.TXT", "c.log", "a.txt", ".hidden.txt", "Zeta.txt", "ärger.txt"})
        writeBytes(dir + q(name), "x");
    QDir().mkpath(dir + "folder.txt");
    ::symlink("b.txt", nativePath(dir + "link.txt").constData());
    ::symlink("gone.txt", nativePath(dir + "dangling.txt").constData());
    ::symlink("folder.txt", nativePath(dir + "dirlink.txt").constData());
    ::mkfifo(nativePath(dir + "pipe.txt").constData(), 0600);

    const QStringList expected = {"A.TXT", "a.txt", "b.txt", "link.txt", "Zeta.txt", "ärger.txt"};
    EXPECT_EQ(listMatchingFiles(dir, "*.txt"), expected);
    EXPECT_EQ(listMatchingFiles(dir, "*.txt;b*;B.TXT"), expected);
    EXPECT_EQ(listMatchingFiles(dir.chopped(1), "*.txt"), expected); // no separator at the end
    EXPECT_EQ(listMatchingFiles(dir, "*.*").size(), expected.size() + 1);
    EXPECT_TRUE(listMatchingFiles(dir, "*.none").isEmpty());
}

TEST(Listing, MissingOrUnreadableFolderFails)
{
    TempStore store;
    const QString dir = store.scratch();
    writeBytes(dir + "b.txt", "x");
    for (const QString &folder : {dir + "nowhere/", dir + "b.txt/", QString()})
        EXPECT_EQ(failureOf([&] { listMatchingFiles(folder, "*"); }), failure_no::PathNotFound);
    ::chmod(nativePath(dir).constData(), 0);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_EQ(failureOf([&] { listMatchingFiles(dir, "*"); }), failure_no::PermissionDenied);
}

TEST(Listing, NamesThatAreNotUtf8SurviveTheRoundTrip)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString src = store.scratch("raw"), dest = store.scratch("dest");
    const QByteArray raw = nativePath(src) + QByteArray("caf\xE9\xFF.txt");
    ASSERT_TRUE(std::ofstream(raw.toStdString()) << "bytes");

    const QStringList names = listMatchingFiles(src, "caf??.TXT");
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(nativePath(src + names[0]), raw);
    EXPECT_EQ(sc_CopyFile(names[0], src, names[0], dest, true), "True");
    EXPECT_EQ(readBytes(dest + names[0]), "bytes");
    EXPECT_FALSE(present(src + names[0]));
}

} // namespace
