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
        int capacity, cancelAt; // the carryOn call that answers false
        QString entering, removed; // removed as the walk enters another folder
        QStringList visits; // folders entered, and the count after each folder's files
        const char *end;
        QStringList found;
    } rows[] = {{"deepest first",
                    {"A/a.txt", "A/zz.log", "A/.hidden.txt", "A/b/b.txt", "A/b/B2.TXT", "A/C/c.txt",
                        "A/C/D/d.txt", "A/.h/x.txt", "A/b/E/", "A/dangling->nowhere"},
                    9, 0, {}, {}, {"A", "A/C", "A/C/D", "1", "2", "A/b", "A/b/E", "4", "5"}, "completed",
                    {"A/C/D/d.txt", "A/C/c.txt", "A/b/b.txt", "A/b/B2.TXT", "A/a.txt"}},
        {"links", {"A/a.txt", "A/B/b.txt", "A/B/up->..", "A/self->.", "A/alias->B", "A/out->../X", "X/x.txt"},
            9, 0, {}, {}, {"A", "A/out", "1", "A/B", "2", "3"}, "completed",
            {"A/out/x.txt", "A/B/b.txt", "A/a.txt"}},
        {"cancelled", {"A/s0/f.txt", "A/s1/f.txt", "A/s2/f.txt", "A/s3/f.txt"}, 9, 3, {}, {},
            {"A", "A/s3", "1", "A/s2"}, "cancelled", {"A/s3/f.txt"}},
        {"list full", {"A/a1.txt", "A/B/b1.txt", "A/C/D/d1.txt", "A/C/c1.txt", "A/C/c2.txt"}, 2, 0, {}, {},
            {"A", "A/C", "A/C/D", "1"}, "list full", {"A/C/D/d1.txt", "A/C/c1.txt"}},
        {"folder gone", {"A/s0/f.txt", "A/s1/f.txt"}, 9, 0, "A/s1", "A/s0", {"A", "A/s1", "1"}, "failure 76",
            {"A/s1/f.txt"}},
        {"a file", {"A"}, 9, 0, {}, {}, {}, "failure 76", {}}};
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
