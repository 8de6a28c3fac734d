#include "transfer_tests.h"

#include "transfer/preview.h"
#include "transfer/undo.h"

#include <QDirIterator>

namespace quillfen::test {

// Every file below `folder` as "path=bytes", the path taken from `root` on.
QStringList filesBelow(const QString &folder, qsizetype root)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files << path.mid(root) + '=' + readBytes(path);
    }
    files.sort();
    return files;
}

struct Collisions : TransferTest
{
    // Stores one entry of each choice, every one meeting a taken name but the dated one.
    EntryList everyChoice()
    {
        for (const char *name : {"k.txt", "m.txt", "s.txt", "i.txt", "r.txt", "d.txt"}) {
            writeAged(src + name, "new");
            writeAged(dst + name, q(name) == "i.txt" ? "new" : "old");
        }
        EntryList entries;
        const struct
        {
            const char *file, *move;
            Conflict conflict;
        } rows[] = {{"k.txt", "0", Conflict::KeepBoth}, {"m.txt", "1", Conflict::KeepBoth},
            {"s.txt", "1", Conflict::Skip}, {"i.txt", "1", Conflict::SkipIfIdentical},
            {"r.txt", "1", Conflict::SkipIfIdentical}};
        for (const auto &[file, move, conflict] : rows)
            entries.append(file, src, dst, move, choiceText(int(conflict)));
        entries.append(
            "d.txt", src, dst, "1", choiceText(int(Conflict::KeepBoth)), choiceText(int(DateFolders::Year)));
        sc_AddFiles(entries);
        return entries;
    }

    const QString dst = store.scratch("dst");
};

TEST_F(Collisions, EachChoiceActsOnRealFilesAsItSays)
{
    using enum Conflict;
    using enum DateFolders;
    struct Row
    {
        const char *name, *file = "a.txt";
        Conflict conflict = KeepBoth;
        bool move = false;
        QStringList taken = {"a.txt"}; // in the destination, each holding "old"
        QByteArray data = "new";
        DateFolders dated = None;
        QDateTime when = QDateTime::currentDateTime().addDays(-2); // modified
        QStringList after; // the destination's files as "name=bytes"
        bool left = true; // the source is still there
    };
    const QDateTime newYear = QDate(2026, 1, 1).startOfDay(), eve = newYear.addSecs(-1);
    const Row rows[] = {
        {.name = "replace copies", .conflict = Replace, .after = {"a.txt=new"}},
        {.name = "replace moves", .conflict = Replace, .move = true, .after = {"a.txt=new"}, .left = false},
        {.name = "keep both copies", .after = {"a (2).txt=new", "a.txt=old"}},
        {.name = "keep both moves", .move = true, .after = {"a (2).txt=new", "a.txt=old"}, .left = false},
        {.name = "skip copies", .conflict = Skip, .after = {"a.txt=old"}},
        {.name = "skip moves", .conflict = Skip, .move = true, .after = {"a.txt=old"}},
        {.name = "digits stay", .file = "2.txt", .taken = {"2.txt"}, .after = {"2 (2).txt=new", "2.txt=old"}},
        {.name = "a bare name ends numbered",
            .file = "ab",
            .taken = {"ab"},
            .after = {"ab (2)=new", "ab=old"}},
        {.name = "a dot file is left out of a pattern", .file = "*", .taken = {}, .after = {}},
        {.name = "a taken (2) gives (3)",
            .taken = {"a.txt", "a (2).txt"},
            .after = {"a (2).txt=old", "a (3).txt=new", "a.txt=old"}},
        {.name = "identical stays",
            .conflict = SkipIfIdentical,
            .move = true,
            .data = "old",
            .after = {"a.txt=old"}},
        {.name = "another of its size is replaced", .conflict = SkipIfIdentical, .after = {"a.txt=new"}},
        {.name = "a dated folder a file blocks",
            .taken = {"2026"},
            .dated = Year,
            .when = newYear,
            .after = {"2026=old"}},
        {.name = "a year's last day",
            .taken = {},
            .dated = Day,
            .when = eve,
            .after = {"2025/12/31/a.txt=new"}},
        {.name = "a new month", .taken = {}, .dated = Month, .when = newYear, .after = {"2026/01/a.txt=new"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QString from = store.scratch(q(row.name) + "/s"), to = store.scratch(q(row.name) + "/d");
        const QString name = q(row.file) == "*" ? ".a.txt" : q(row.file);
        writeBytes(from + name, row.data);
        setModified(from + name, row.when);
        for (const QString &taken : row.taken)
            writeAged(to + taken, "old");
        EntryList entries;
        entries.append(row.file, from, to, row.move ? "1" : "0", choiceText(int(row.conflict)),
            choiceText(int(row.dated)));
        sc_AddFiles(entries);
        ASSERT_EQ(failureOf(sc_TransferFiles), 0);
        EXPECT_EQ(filesBelow(to, to.size()), row.after);
        EXPECT_EQ(present(from + name), row.left);
    }
}

TEST_F(Collisions, ThePreviewSaysWhatTheRunRecords)
{
    const EntryList entries = everyChoice();
    QStringList said, done;
    const auto shown = [&](const PreviewRow &row) {
        said << (row.verdict == PreviewRow::Verdict::Skip ? row.source + ' ' + row.reason : row.dest);
    };
    previewRun(entries, "1", "h", shown, [] { return true; });
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    const QRegularExpression placed("\tTo:   (.*)\r\n.* successful\t"),
        skipped("\r\n\t(.*)\r\nFile s(kipped: .*)\t");
    for (const QString &text : recorder.records) {
        if (const QRegularExpressionMatch match = placed.match(text); match.hasMatch())
            done << match.captured(1);
        if (const QRegularExpressionMatch match = skipped.match(text); match.hasMatch())
            done << match.captured(1) + " S" + match.captured(2);
    }
    EXPECT_EQ(said, done);
}

TEST_F(Collisions, UndoPutsBackWhatEveryChoiceDid)
{
    everyChoice();
    const auto files = [&] { return filesBelow(src, 0) + filesBelow(dst, 0); };
    const QStringList before = files();
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    quillfen::Undo().perform(recorder);
    EXPECT_EQ(files(), before);
}

} // namespace quillfen::test
