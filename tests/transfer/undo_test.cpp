#include "transfer_tests.h"

#include "transfer/journal.h"
#include "transfer/undo.h"

namespace quillfen::test {

using Undo = TransferTest;

TEST_F(Undo, PutsBackEveryFileThatIsAsTheRunLeftItAndOnlyOnce)
{
    const QString dst = store.scratch("dst"), trash = root + "data/Trash/";
    sc_UndoLastRun(); // before any run
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
    boxes.answerNext(MsgAnswer::Yes);
    sc_UndoLastRun();

    const QString left = " \u2014 left as it is: " + dst;
    EXPECT_EQ(boxesSeen(boxes),
        QStringList({"Quillfen | The last run left nothing to undo. | Information Ok",
            "Continue? | Undo the last run?\r\n\r\nIts source name is taken again" + left
                + "taken.txt\r\nChanged since the run" + left + "changed.txt\r\nMove back: " + dst
                + "over.txt to " + src + "over.txt\r\nRestore from the Trash: " + dst
                + "over.txt\r\nRemove the copy to the Trash: " + dst + "copied.txt\r\nMove back: " + dst
                + "moved%.txt to " + src + "moved%.txt | Exclamation YesNo",
            "Complete | The last run has been undone: 4 of 4 steps done. | Information Ok"}));
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
    boxes.clear();
    sc_UndoLastRun(); // finds nothing

    // Without the Trash a replaced file is gone; a journal line that a kill cut short is no step.
    store.set(keys::KeepReplaced, "0");
    storeEntries({{"over.txt", src, dst, "0"}});
    ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    writeBytes(journalPath(), readBytes(journalPath()) + "M\t/x\t/y\t1\t2.3");
    sc_UndoLastRun();
    EXPECT_EQ(boxes.texts(),
        QStringList({"The last run left nothing to undo.",
            "Undo the last run?\r\n\r\nRemove the copy to the Trash: " + dst
                + "over.txt\r\nThe file it replaced could not be kept" + left + "over.txt"}));
}

} // namespace quillfen::test
