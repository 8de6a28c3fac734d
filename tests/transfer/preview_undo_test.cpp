#include "transfer_tests.h"

#include "platform/trash.h"
#include "settings/store.h"
#include "transfer/journal.h"
#include "transfer/messages.h"
#include "transfer/preview.h"
#include "transfer/undo.h"

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
    const std::tuple<const char *, const char *, QString> rows[]
        = {{"old.txt", "0", dst}, {"*.log", "1", root + "made/"}, {"new.txt", "0", dst},
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
    EXPECT_EQ(boxes.shown().size(), 0);
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

// Undoes the last run when `agreed` and there is something to undo: what undo says of its
// plan, then how it went.
struct UndoTest : TransferTest
{
    QStringList undoLastRun(bool agreed = false)
    {
        quillfen::Undo undo;
        QStringList said = {messages::plainText(messages::undoPlan(undo.plan()))};
        if (agreed && undo.plan().doable > 0)
            said << messages::undoDone(undo.perform(recorder), undo.plan().doable).text;
        return said;
    }
};
using Undo = UndoTest;

TEST_F(Undo, PutsBackEveryFileThatIsAsTheRunLeftItAndOnlyOnce)
{
    const QString dst = store.scratch("dst"), trash = root + "data/Trash/";
    EXPECT_EQ(undoLastRun(), QStringList("The last run left nothing to undo.")) << "before any run";
    QList<QStringList> entries;
    for (const char *name : {"moved%.txt", "copied.txt", "over.txt", "changed.txt", "taken.txt"}) {
        writeAged(src + name, name);
        entries.append({name, src, dst, q(name) == "copied.txt" ? "0" : "1"});
    }
    writeAged(dst + "over.txt", "the older one");
    storeEntries(entries);
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    writeBytes(dst + "changed.txt", "CHANGED.TXT"); // as large as it was
    writeBytes(src + "taken.txt", "new");
    EXPECT_EQ(undoLastRun(true),
        QStringList({"Undo the last run?\r\n\r\nTo be undone, last file first:\r\n  Move back: " + dst
                + "over.txt to " + src + "over.txt\r\n  Restore from the Trash: " + dst
                + "over.txt\r\n  Remove the copy to the Trash: " + dst + "copied.txt\r\n  Move back: " + dst
                + "moved%.txt to " + src
                + "moved%.txt\r\nLeft as it is:\r\n  Its source name is taken again: " + dst
                + "taken.txt\r\n  Changed since the run: " + dst + "changed.txt",
            "The last run has been undone: 4 of 4 steps done."}));
    for (const char *name : {"moved%.txt", "over.txt", "copied.txt"})
        EXPECT_EQ(readBytes(src + name), name);
    EXPECT_EQ(
        readBytes(dst + "over.txt") + readBytes(trash + "files/copied.txt") + readBytes(dst + "moved%.txt"),
        "the older onecopied.txt<none>");
    // The copy went to the Trash with its record; the restored file's record went with it.
    EXPECT_EQ(readBytes(trash + "files/over.txt") + readBytes(trash + "info/over.txt.trashinfo")
            + readBytes(trash + "info/copied.txt.trashinfo").chopped(20),
        "<none><none>[Trash Info]\nPath=" + nativePath(dst).toPercentEncoding("/")
            + "copied.txt\nDeletionDate=");
    EXPECT_TRUE(logText().contains("Begin Move File \t<now>\r\n\tFrom: \t" + trash
        + "files/over.txt\r\n\tTo:   " + dst + "over.txt\r\nMove File successful\t<now>\r\n\r\n\r\n"));
    EXPECT_EQ(logText().count("Begin "), 5 + 4);
    EXPECT_EQ(undoLastRun(), QStringList("The last run left nothing to undo.")) << "once undone";

    // Without the Trash a replaced file is gone; a journal line that a kill cut short is no step.
    store.set(keys::KeepReplaced, "0");
    storeEntries({{"over.txt", src, dst, "0"}});
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    writeBytes(journalPath(), readBytes(journalPath()) + "M\t/x\t/y\t1\t2.3");
    EXPECT_EQ(undoLastRun(),
        QStringList("Undo the last run?\r\n\r\nTo be undone, last file first:\r\n  Remove the copy to the "
                    "Trash: "
            + dst + "over.txt\r\nLeft as it is:\r\n  The file it replaced could not be kept: " + dst
            + "over.txt"));
}

TEST_F(Undo, ChainedMovesAndRewrittenNamesComeBackAsFound)
{
    const QString a = store.scratch("a"), d = store.scratch("d"), e = store.scratch("e"),
                  s2 = store.scratch("s2");
    writeAged(a + "f", "f");
    writeAged(src + "g", "first");
    writeAged(s2 + "g", "second");
    writeAged(d + "g", "original");
    storeEntries({{"f", a, d, "1"}, {"f", d, e, "1"}, {"g", src, d, "0"}, {"g", s2, d, "0"}});
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    EXPECT_EQ(undoLastRun(true).last(), "The last run has been undone: 6 of 6 steps done.");
    EXPECT_EQ(readBytes(a + "f") + readBytes(d + "f") + readBytes(e + "f"), "f<none><none>");
    EXPECT_EQ(readBytes(d + "g"), "original");
}

// Found out by the journal's check, by its folder, or by being another file than the run left.
TEST_F(Undo, NeverTouchesAFileTheRunDidNotMake)
{
    struct Row
    {
        const char *name, *said;
        std::function<void()> tamper;
        QString kept; // where that file must be afterwards
    };
    const QString dst = store.scratch("dst"), victim = store.scratch("victim") + "r",
                  trash = root + "data/Trash/";
    const auto forge = [&] {
        EntryList entries;
        entries.append("m", src, dst, "1");
        JournalEntry forged;
        forged.source = nativePath(src + "r");
        forged.dest = nativePath(victim);
        forged.placed = FileIdentity::of(forged.dest);
        JournalWriter(entries).add(forged);
    };
    const Row rows[] = {
        {"an edited journal", "fails its check",
            [&] {
                writeBytes(journalPath(),
                    readBytes(journalPath()).replace(nativePath(dst + "m"), nativePath(victim)));
            },
            victim},
        {"a signed journal naming another folder", "Not in a folder of the run's entries", forge, victim},
        {"another file of the name in an emptied Trash", "The file it replaced is no longer in the Trash",
            [&] {
                removeTree(nativePath(trash));
                Trash().keep(nativePath(victim));
                ::unlink(nativePath(victim).constData());
            },
            trash + "files/r"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        writeAged(src + "m", "m");
        writeAged(src + "r", "r");
        writeAged(dst + "r", "original");
        writeBytes(victim, "victim");
        storeEntries({{"m", src, dst, "1"}, {"r", src, dst, "0"}});
        ASSERT_EQ(failureOf(sc_TransferFiles), 0);
        row.tamper();
        const QString said = undoLastRun(true).first();
        EXPECT_EQ(readBytes(row.kept), "victim");
        EXPECT_TRUE(said.contains(row.said)) << qPrintable(said);
        ::unlink(nativePath(dst + "m").constData());
    }
}

TEST_F(Undo, ReadsTheJournalUpToTheZerosACrashLeft)
{
    const QString dst = store.scratch("dst");
    writeAged(src + "a", "a");
    writeAged(src + "b", "b");
    storeEntries({{"a", src, dst, "1"}, {"b", src, dst, "1"}});
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    QByteArray journal = readBytes(journalPath());
    // A crash lost the bytes of the last step, though not its line end.
    const qsizetype last = journal.lastIndexOf("\nM\t") + 1, length = journal.size() - last - 1;
    writeBytes(journalPath(), journal.replace(last, length, QByteArray(length, 0)));
    undoLastRun(true);
    EXPECT_EQ(readBytes(src + "a") + readBytes(dst + "b"), "ab");
}

TEST_F(Undo, IsRefusedWhileARunOrAnotherUndoHoldsTheJournal)
{
    const QString dst = store.scratch("dst");
    writeAged(src + "a", "a");
    storeEntries({{"a", src, dst, "1"}});
    const QString busy = "A transfer run or another undo is under way. Try again when it has ended.";
    QStringList duringRun;
    recorder.onStart = [&](const QString &) { duringRun = undoLastRun(true); };
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    EXPECT_EQ(duringRun, QStringList(busy));
    quillfen::Undo undo;
    EXPECT_EQ(undoLastRun(true), QStringList(busy)) << "while another undo plans";
    EXPECT_EQ(undo.perform(recorder), 1);
    EXPECT_EQ(logText().count("Begin "), 2) << "a refused undo logs nothing";
}

} // namespace quillfen::test
