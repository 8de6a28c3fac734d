#include "transfer_test_support.h"

#include "transfer/folder_walk.h"
#include "transfer/found_files_model.h"

#include <QTemporaryDir>

using namespace quillfen;
using namespace quillfen::test;

namespace {

// Writes what the walk reports, relative to the walked tree: each folder entered and,
// each time files are reported found, the number found so far.
struct Recorder final : WalkObserver
{
    Recorder(const QString &tree, const FoundFilesModel &found)
        : tree(tree)
        , found(found)
    {
    }

    const QString tree;
    const FoundFilesModel &found;
    int stopAt = 0; // the carryOn call that answers false
    QString whenEntering, removed; // a folder removed when another is entered
    QStringList events;
    int carried = 0;

    void folderEntered(const QString &folder, const QStringList &) override
    {
        events << folder.mid(tree.size());
        if (folder == tree + whenEntering)
            QDir(tree + removed).removeRecursively();
    }
    bool carryOn() override { return ++carried != stopAt; }
    void filesFound() override { events << q("found %1").arg(found.count()); }
};

TEST(FolderWalk, DeepestFirstLastSubFolderFirstEachFolderOnceUntilStoppedFullOrFailed)
{
    const struct
    {
        QStringList tree; // the walk starts at A
        int capacity, stopAt;
        const char *whenEntering, *removed;
        const char *end;
        QStringList events, found;
    } rows[] = {
        {{"A/a.txt", "A/zz.log", "A/.hidden.txt", "A/B/b.txt", "A/B/B2.TXT", "A/C/c.txt", "A/C/D/d.txt",
             "A/.h/x.txt", "A/B/E/"},
            100, 0, "", "", "completed",
            {"A", "A/C", "A/C/D", "found 1", "found 2", "A/B", "A/B/E", "found 4", "found 5"},
            {"A/C/D/d.txt", "A/C/c.txt", "A/B/b.txt", "A/B/B2.TXT", "A/a.txt"}},
        {{"A/a.txt", "A/B/b.txt", "A/B/up->..", "A/self->.", "A/alias->B"}, 100, 0, "", "", "completed",
            {"A", "A/B", "found 1", "found 2"}, {"A/B/b.txt", "A/a.txt"}},
        {{"A/s0/f.txt", "A/s1/f.txt", "A/s2/f.txt", "A/s3/f.txt"}, 100, 3, "", "", "cancelled",
            {"A", "A/s3", "found 1", "A/s2"}, {"A/s3/f.txt"}},
        {{"A/a1.txt", "A/B/b1.txt", "A/C/D/d1.txt", "A/C/c1.txt", "A/C/c2.txt"}, 2, 0, "", "", "list full",
            {"A", "A/C", "A/C/D", "found 1"}, {"A/C/D/d1.txt", "A/C/c1.txt"}},
        {{"A/s0/f.txt", "A/s1/f.txt"}, 100, 0, "A/s1", "A/s0", "failure 76", {"A", "A/s1", "found 1"},
            {"A/s1/f.txt"}},
        {{}, 100, 0, "", "", "failure 76", {}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.end);
        QTemporaryDir dir;
        const QString tree = dir.path() + q("/");
        makeTree(tree, row.tree);
        FoundFilesModel found;
        found.setCapacity(row.capacity);
        Recorder recorder(tree, found);
        recorder.stopAt = row.stopAt;
        recorder.whenEntering = q(row.whenEntering);
        recorder.removed = q(row.removed);
        QString end;
        try {
            const char *ends[] = {"completed", "cancelled", "list full"};
            end = q(ends[int(FolderWalk(found, recorder).run(tree + q("A"), q("*.txt")))]);
        } catch (const Failure &failure) {
            end = q("failure %1").arg(failure.number());
        }
        EXPECT_EQ(end, q(row.end));
        EXPECT_EQ(recorder.events, row.events);
        QStringList paths;
        for (int k = 0; k < found.count(); ++k)
            paths << found.path(k).mid(tree.size());
        EXPECT_EQ(paths, row.found);
    }
}

TEST(FoundFiles, RefusesBeyondItsCapacityAndShowsRowsOnlyWhenPublished)
{
    FoundFilesModel model;
    model.setCapacity(3);
    EXPECT_EQ(model.append(q("/f/"), {q("a"), q("b")}), 2);
    EXPECT_EQ(model.append(q("/g/"), {q("c"), q("d")}), 1);
    EXPECT_EQ(model.append(q("/h/"), {q("e")}), 0);
    EXPECT_EQ(model.count(), 3);
    EXPECT_EQ(model.rowCount(), 0);

    model.publish();
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown.append(model.data(model.index(row)).toString());
    EXPECT_EQ(shown, QStringList({"/f/a", "/f/b", "/g/c"}));

    model.clear();
    EXPECT_EQ(model.count() + model.rowCount(), 0);
    EXPECT_EQ(model.append(q("/i/"), {q("x")}), 1);
    EXPECT_EQ(model.path(0), q("/i/x"));
}

} // namespace
