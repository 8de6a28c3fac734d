#include "transfer_tests.h"

#include "settings/store.h"
#include "transfer/preview.h"

namespace quillfen::test {

using Preview = TransferTest;

TEST_F(Preview, ShowsEachVerdictWithoutChangingAnything)
{
    const QString dst = store.scratch("dst");
    for (const char *name :
        {"old.txt", "rep.txt", "same.txt", "a.log", "b.log", "A.LOG", "a?c.txt", "abc.txt"})
        writeAged(src + name, name);
    for (const char *name : {"new.txt", "z.log"})
        writeAged(src + name, name, -2);
    writeBytes(dst + "rep.txt", "older");
    ASSERT_EQ(::link(nativePath(src + "same.txt").constData(), nativePath(dst + "same.txt").constData()), 0);
    makeTree(src, {"gone.txt->nowhere"});
    EntryList entries; // "?" alone makes no pattern; a pattern that matches nothing plans nothing
    const struct
    {
        const char *file, *move;
        QString dest;
    } rows[] = {{"old.txt", "0", dst}, {"*.log", "1", root + "made/"}, {"new.txt", "0", dst},
        {"rep.txt", "1", dst}, {"same.txt", "0", dst}, {"old.txt", "0", root + "no/parent/"},
        {"a?c.txt", "0", dst}, {"*.none", "0", dst}, {"gone.txt", "0", dst}, {"old.txt", "0", dst}};
    for (const auto &[file, move, dest] : rows)
        entries.append(q(file), src, dest, q(move));

    const auto preview = [&](const char *interval, int wanted) {
        QStringList seen;
        const auto shown = [&](const PreviewRow &row) {
            seen << verdictName(row.verdict) + ' ' + QString::number(row.entry) + ' '
                    + row.source.mid(src.size()) + ' ' + row.dest.mid(root.size()) + ": "
                    + maskTimes(row.reason);
        };
        previewRun(entries, q(interval), "h", shown, [&] { return seen.size() < wanted; });
        return seen;
    };
    const QStringList said = preview("1", 99);
    EXPECT_EQ(said,
        QStringList({"Copy 1 old.txt dst/old.txt: Would be copied",
            "Move 2 A.LOG made/A.LOG: Would be moved; the destination folder would be created",
            "Move 2 a.log made/a.log: Would be moved", "Move 2 b.log made/b.log: Would be moved",
            "Skip 2 z.log made/z.log: Skipped by the date restriction: -48 h old, 1 needed",
            "Skip 3 new.txt dst/new.txt: Skipped by the date restriction: -48 h old, 1 needed",
            "Replace 4 rep.txt dst/rep.txt: Would replace the existing file (5 bytes, <now>)",
            "Refused 5 same.txt dst/same.txt: Refused: source and destination are the same file",
            "Fails 6 old.txt no/parent/old.txt: Fails: the destination folder cannot be created, "
            "its parent is missing",
            "Copy 7 a?c.txt dst/a?c.txt: Would be copied",
            "Run ends 9 gone.txt dst/gone.txt: The run would end here: File not found (53)",
            "Not reached 10 old.txt dst/old.txt: Not reached"}));
    EXPECT_EQ(preview("1", 1).size(), 1) << "stops at the next file once asked";
    EXPECT_EQ(preview("lots", 99).value(0), "Run ends 0  : The run would end here: Type mismatch (13)");
    EXPECT_FALSE(present(root + "made"));
    EXPECT_FALSE(present(store::filePath()));
}

// A plain file where the destination folder should be, a folder of the file's name, a source it
// may not read, a folder it may not write or make a folder in; a move renames, reading nothing.
TEST_F(Preview, AgreesWithTheRunOnEveryFileTheRunWouldFailOn)
{
    const QString dst = store.scratch("dst"), ro = store.scratch("ro");
    makeTree(root, {"file", "dst/d/"});
    for (const char *name : {"a.txt", "d", "locked.txt", "closed.txt"})
        writeAged(src + name, name);
    writeAged(ro + "m.txt", "m");
    ::chmod(nativePath(src + "locked.txt").constData(), 0);
    ::chmod(nativePath(src + "closed.txt").constData(), 0);
    EntryList entries;
    for (const QStringList &row :
        QList<QStringList> {{"a.txt", src, root + "file/", "0"}, {"d", src, dst, "0"},
            {"locked.txt", src, dst, "0"}, {"a.txt", src, ro, "0"}, {"a.txt", src, ro + "new/", "0"},
            {"m.txt", ro, dst, "1"}, {"closed.txt", src, dst, "1"}, {"a.txt", src, dst, "0"}})
        entries.append(row[0], row[1], row[2], row[3]);
    sc_AddFiles(entries);
    ReadOnlyFolder readOnly(ro);
    WithoutRootOverride user;
    if (!readOnly.active() || !user.active())
        GTEST_SKIP() << "cannot take reading and writing away";
    QStringList said, done; // each file's failure number, or "done"
    const auto verdict = [&](const PreviewRow &row) {
        said << (row.verdict == PreviewRow::Verdict::Fails ? row.reason.section('(', -1).chopped(1) : "done");
    };
    previewRun(entries, "1", "h", verdict, [] { return true; });
    EXPECT_EQ(said, QStringList({"76", "75", "70", "70", "70", "70", "done", "done"}));
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    static const QRegularExpression outcome("File +(?:failed: Error Number: (\\d+)|successful)");
    for (const QRegularExpressionMatch &match : outcome.globalMatch(logText()))
        done << (match.hasCaptured(1) ? match.captured(1) : "done");
    EXPECT_EQ(done, said);
}

} // namespace quillfen::test
