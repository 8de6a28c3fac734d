#include "transfer_test_support.h"

#include "platform/failure.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/file_routines.h"
#include "transfer/listing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quillfen;
using namespace quillfen::test;

namespace {

struct MatchCase
{
    const char *name;
    const char *patterns;
    bool matches;
};

class Matching : public ::testing::TestWithParam<MatchCase>
{
};

TEST_P(Matching, StarAndQuestionMarkIgnoringCase)
{
    const MatchCase &c = GetParam();
    EXPECT_EQ(matchesPatterns(q(c.name), q(c.patterns)), c.matches) << c.name << " against " << c.patterns;
}

INSTANTIATE_TEST_SUITE_P(Table, Matching,
    ::testing::Values(MatchCase {"b.txt", "*.txt", true}, MatchCase {"A.TXT", "*.txt", true},
        MatchCase {"c.log", "*.txt", false}, MatchCase {"a.txt.bak", "*.txt", false},
        MatchCase {"noext", "*.*", true}, MatchCase {"a.b.c", "*.*", true},
        MatchCase {"readme", "readme.*", true}, MatchCase {"readme2", "readme.*", false},
        MatchCase {"abc", "a?c", true}, MatchCase {"ac", "a?c", false}, MatchCase {"abbc", "a?c", false},
        MatchCase {"ab", "ab*", true}, MatchCase {"mississippi", "m*iss*ppi", true},
        MatchCase {"abc", "*?*?*?*?", false}, MatchCase {"x.log", "*.txt;*.log", true},
        MatchCase {"x.log", "*.txt; *.log", true}, MatchCase {"x.log", "", false},
        MatchCase {"x.log", ";", false}, MatchCase {"ÄRGER.txt", "ä*", true},
        MatchCase {"Ärger.txt", "?RGER.TXT", true}, MatchCase {"ΣΟΦΙΑ.txt", "σοφια.*", true},
        MatchCase {"Привет.doc", "пРИВЕТ.DOC", true}, MatchCase {"😀.txt", "?.txt", true},
        MatchCase {"😀.txt", "??.txt", false}, MatchCase {"plain.txt", "PLÄIN.txt", false}));

class Listing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = store.scratch();
        for (const char *name : {"b.txt", "A.TXT", "c.log", "a.txt", ".hidden.txt", "Zeta.txt", "ärger.txt"})
            writeBytes(dir + q(name), "x");
        QDir().mkpath(dir + q("folder.txt"));
        ::symlink("b.txt", nativePath(dir + q("link.txt")).constData());
        ::symlink("gone.txt", nativePath(dir + q("dangling.txt")).constData());
        ::symlink("folder.txt", nativePath(dir + q("dirlink.txt")).constData());
        ::mkfifo(nativePath(dir + q("pipe.txt")).constData(), 0600);
    }

    TempStore store;
    QString dir;
};

TEST_F(Listing, FilesOnlyVisibleOnlyEachOnceInCaseIgnoringOrder)
{
    const QStringList expected
        = {q("A.TXT"), q("a.txt"), q("b.txt"), q("link.txt"), q("Zeta.txt"), q("ärger.txt")};
    EXPECT_EQ(listMatchingFiles(dir, q("*.txt")), expected);
    EXPECT_EQ(listMatchingFiles(dir, q("*.txt;b*;B.TXT")), expected);
    // The folder text may come without its separator.
    EXPECT_EQ(listMatchingFiles(dir.chopped(1), q("*.txt")), expected);
    EXPECT_EQ(listMatchingFiles(dir, q("*.*")).size(), expected.size() + 1);
    EXPECT_TRUE(listMatchingFiles(dir, q("*.none")).isEmpty());
}

TEST_F(Listing, MissingOrUnreadableFolderFails)
{
    for (const QString &folder : {dir + q("nowhere/"), dir + q("b.txt/"), QString()})
        EXPECT_EQ(failureOf([&] { listMatchingFiles(folder, q("*")); }), failure_no::PathNotFound);
    ::chmod(nativePath(dir).constData(), 0);
    WithoutRootOverride user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop the permission override";
    EXPECT_EQ(failureOf([&] { listMatchingFiles(dir, q("*")); }), failure_no::PermissionDenied);
}

TEST_F(Listing, NamesThatAreNotUtf8SurviveTheRoundTrip)
{
    const QString other = store.scratch(q("raw"));
    const QByteArray raw = nativePath(other) + QByteArray("caf\xE9\xFF.txt");
    FILE *f = std::fopen(raw.constData(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("bytes", f);
    std::fclose(f);

    const QStringList names = listMatchingFiles(other, q("caf??.TXT"));
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(nativePath(other + names[0]), raw);

    ScriptedMessageBoxes boxes;
    const QString dest = store.scratch(q("dest"));
    EXPECT_EQ(sc_CopyFile(names[0], other, names[0], dest, true), q("True"));
    EXPECT_EQ(readBytes(dest + names[0]), QByteArray("bytes"));
    EXPECT_FALSE(present(other + names[0]));
}

} // namespace
