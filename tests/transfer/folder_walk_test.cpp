#include "transfer_tests.h"

#include "transfer/folder_walk.h"
#include "transfer/found_files_model.h"

namespace quillfen::test {

TEST(FolderWalk, VisitsEachFolderOnceDeepestFirst)
{
    const struct
    {
        const char *name;
        QStringList tree; // the walk starts at A
        int capacity = 9, cancelAt = 0; // the carryOn call that answers false
        QString entering {}, removed {}; // removed as the walk enters another folder
        QStringList visits {}; // folders entered, and the count after each folder's files
        const char *end;
        QStringList found {};
    } rows[] = {{.name = "deepest first",
                    .tree = {"A/a.txt", "A/zz.log", "A/.hidden.txt", "A/b/b.txt", "A/b/B2.TXT", "A/C/c.txt",
                        "A/C/D/d.txt", "A/.h/x.txt", "A/b/E/", "A/dangling->nowhere"},
                    .visits = {"A", "A/C", "A/C/D", "1", "2", "A/b", "A/b/E", "4", "5"},
                    .end = "completed",
                    .found = {"A/C/D/d.txt", "A/C/c.txt", "A/b/b.txt", "A/b/B2.TXT", "A/a.txt"}},
        {.name = "links",
            .tree
            = {"A/a.txt", "A/B/b.txt", "A/B/up->..", "A/self->.", "A/alias->B", "A/out->../X", "X/x.txt"},
            .visits = {"A", "A/out", "1", "A/B", "2", "3"},
            .end = "completed",
            .found = {"A/out/x.txt", "A/B/b.txt", "A/a.txt"}},
        {.name = "cancelled",
            .tree = {"A/s0/f.txt", "A/s1/f.txt", "A/s2/f.txt", "A/s3/f.txt"},
            .cancelAt = 3,
            .visits = {"A", "A/s3", "1", "A/s2"},
            .end = "cancelled",
            .found = {"A/s3/f.txt"}},
        {.name = "list full",
            .tree = {"A/a1.txt", "A/B/b1.txt", "A/C/D/d1.txt", "A/C/c1.txt", "A/C/c2.txt"},
            .capacity = 2,
            .visits = {"A", "A/C", "A/C/D", "1"},
            .end = "list full",
            .found = {"A/C/D/d1.txt", "A/C/c1.txt"}},
        {.name = "folder gone",
            .tree = {"A/s0/f.txt", "A/s1/f.txt"},
            .entering = "A/s1",
            .removed = "A/s0",
            .visits = {"A", "A/s1", "1"},
            .end = "failure 76",
            .found = {"A/s1/f.txt"}},
        {.name = "a file", .tree = {"A"}, .end = "failure 76"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempStore store;
        const QString tree = store.scratch("tree");
        makeTree(tree, row.tree);
        FoundFilesModel found;
        found.setCapacity(row.capacity);
        QStringList visits;
        int carried = 0;
        const auto entered = [&](const QString &folder, const QStringList &) {
            visits << folder.mid(tree.size());
            if (visits.last() == row.entering)
                QDir(tree + row.removed).removeRecursively();
        };
        const FolderWalk::Observer observer {entered, [&] { return ++carried != row.cancelAt; },
            [&] { visits << QString::number(found.count()); }};
        QString end;
        try {
            const char *ends[] = {"completed", "cancelled", "list full"};
            end = ends[int(FolderWalk(found, observer).run(normalFolder(tree + "x/../A/"), "*.txt"))];
        } catch (const Failure &failure) {
            end = q("failure %1").arg(failure.number());
        }
        EXPECT_EQ(visits, row.visits);
        EXPECT_EQ(end, row.end);
        EXPECT_EQ(found.rowCount(), 0) << "found paths reach the views only when published";
        found.publish();
        QStringList paths;
        for (int k = 0; k < found.rowCount(); ++k)
            paths << found.data(found.index(k)).toString().mid(tree.size());
        EXPECT_EQ(paths, row.found);
        found.clear();
        EXPECT_EQ(found.count(), 0);
        EXPECT_EQ(found.rowCount(), 0);
    }
}

} // namespace quillfen::test
