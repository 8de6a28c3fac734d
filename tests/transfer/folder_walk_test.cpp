#include "support/test_support.h"

#include "transfer/folder_walk.h"
#include "transfer/found_files_model.h"

#include <QTemporaryDir>

using namespace quillfen;
using namespace quillfen::test;

namespace {

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

TEST(FolderWalk, DeepestFirstLastSubFolderFirstEachFolderOnceUntilStoppedFullOrFailed)
{
    const struct
    {
        QStringList tree; // the walk starts at A
        int capacity, stopAt; // stopAt: the carryOn call that answers false
        const char *whenEntering, *removed; // a folder removed when another is entered
        const char *end;
        QStringList events, found; // the folders entered and the count after each folder's files
    } rows[] = {
        {{"A/a.txt", "A/zz.log", "A/.hidden.txt", "A/b/b.txt", "A/b/B2.TXT", "A/C/c.txt", "A/C/D/d.txt",
             "A/.h/x.txt", "A/b/E/", "A/dangling->nowhere"},
            100, 0, "", "", "completed",
            {"A", "A/C", "A/C/D", "found 1", "found 2", "A/b", "A/b/E", "found 4", "found 5"},
            {"A/C/D/d.txt", "A/C/c.txt", "A/b/b.txt", "A/b/B2.TXT", "A/a.txt"}},
        {{"A/a.txt", "A/B/b.txt", "A/B/up->..", "A/self->.", "A/alias->B", "A/out->../X", "X/x.txt"}, 100, 0,
            "", "", "completed", {"A", "A/out", "found 1", "A/B", "found 2", "found 3"},
            {"A/out/x.txt", "A/B/b.txt", "A/a.txt"}},
        {{"A/s0/f.txt", "A/s1/f.txt", "A/s2/f.txt", "A/s3/f.txt"}, 100, 3, "", "", "cancelled",
            {"A", "A/s3", "found 1", "A/s2"}, {"A/s3/f.txt"}},
        {{"A/a1.txt", "A/B/b1.txt", "A/C/D/d1.txt", "A/C/c1.txt", "A/C/c2.txt"}, 2, 0, "", "", "list full",
            {"A", "A/C", "A/C/D", "found 1"}, {"A/C/D/d1.txt", "A/C/c1.txt"}},
        {{"A/s0/f.txt", "A/s1/f.txt"}, 100, 0, "A/s1", "A/s0", "failure 76", {"A", "A/s1", "found 1"},
            {"A/s1/f.txt"}},
        {{}, 100, 0, "", "", "failure 76", {}, {}},
        {{"A"}, 100, 0, "", "", "failure 76", {}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.end);
        QTemporaryDir dir;
        const QString tree = dir.path() + q("/");
        makeTree(tree, row.tree);
        FoundFilesModel found;
        found.setCapacity(row.capacity);
        QStringList events;
        int carried = 0;
        const auto entered = [&](const QString &folder, const QStringList &) {
            events << folder.mid(tree.size());
            if (folder == tree + q(row.whenEntering))
                QDir(tree + q(row.removed)).removeRecursively();
        };
        const FolderWalk::Observer observer {entered, [&] { return ++carried != row.stopAt; },
            [&] { events << q("found %1").arg(found.count()); }};
        QString end;
        try {
            const char *ends[] = {"completed", "cancelled", "list full"};
            end = q(ends[int(FolderWalk(found, observer).run(tree + q("A"), q("*.txt")))]);
        } catch (const Failure &failure) {
            end = q("failure %1").arg(failure.number());
        }
        EXPECT_EQ(end, q(row.end));
        EXPECT_EQ(events, row.events);
        QStringList paths;
        for (int k = 0; k < found.count(); ++k)
            paths << found.path(k).mid(tree.size());
        EXPECT_EQ(paths, row.found);
    }
}

TEST(FoundFiles, RefuseBeyondTheCapacityAndShowAsRowsOnlyWhenPublished)
{
    FoundFilesModel model;
    model.setCapacity(3);
    EXPECT_EQ(model.append(q("/f/"), {q("a"), q("b")}), 2);
    EXPECT_EQ(model.append(q("/g/"), {q("c"), q("d")}), 1);
    EXPECT_EQ(model.append(q("/h/"), {q("e")}), 0);
    EXPECT_EQ(model.rowCount(), 0);
    model.publish();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(2)).toString(), q("/g/c"));
    model.clear();
    EXPECT_EQ(model.count() + model.rowCount(), 0);
}

} // namespace
