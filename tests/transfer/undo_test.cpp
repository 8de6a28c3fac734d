#include "transfer_tests.h"

#include "platform/trash.h"
#include "transfer/journal.h"
#include "transfer/messages.h"
#include "transfer/undo.h"

namespace quillfen::test {

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

TEST_F(Undo, PutsBackOnlyWhatIsAsTheRunLeftIt)
{
    const QString dst = store.scratch("dst"), trash = root + "data/Trash/";
    EXPECT_EQ(undoLastRun(), QStringList("The last run left nothing to undo.")) << "before any run";
    QList<Entry> entries;
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

TEST_F(Undo, ChainedStepsComeBackAsTheyWereFound)
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
                  trash = root + "data/Trash/", key = QFileInfo(journalPath()).path() + "/journal.key";
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
        {"a journal signed with another key", "fails its check",
            [&] { writeBytes(key, QByteArray(32, 'k')); }, victim},
        {"a journal of another version", "recorded by another version",
            [&] { writeBytes(journalPath(), readBytes(journalPath()).replace("journal 3", "journal 2")); },
            victim},
        {"a key others can read", "fails its check", [&] { ::chmod(nativePath(key).constData(), 0644); },
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

TEST_F(Undo, ReadsALongJournalUpToTheZerosACrashLeft)
{
    const QString dst = store.scratch("dst");
    for (int k = 1000; k < 1400; ++k)
        writeAged(src + QString::number(k), "f");
    storeEntries({{"*", src, dst, "1"}});
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    QByteArray journal = readBytes(journalPath());
    ASSERT_GT(journal.size(), 64 << 10); // longer than one read
    // A crash lost the bytes of the last step, though not its line end.
    const qsizetype last = journal.lastIndexOf("\nM\t") + 1, length = journal.size() - last - 1;
    writeBytes(journalPath(), journal.replace(last, length, QByteArray(length, 0)));
    undoLastRun(true);
    EXPECT_EQ(QDir(dst).entryList(QDir::Files), QStringList("1399"));
}

TEST_F(Undo, IsRefusedWhileTheJournalIsHeld)
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
