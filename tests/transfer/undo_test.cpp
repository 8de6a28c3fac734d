#include "support/test_support.h"

#include "platform/trash.h"
#include "settings/entry_list.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/journal.h"
#include "transfer/transfer_log.h"
#include "transfer/undo.h"

#include <clocale>

using namespace quillfen;
using namespace quillfen::test;

namespace {

class Undo : public ::testing::Test
{
protected:
    Undo() { std::setlocale(LC_TIME, "C"); }

    // Single entries of name and move flag from src to dst, run once.
    void runEntries(const QList<std::pair<const char *, const char *>> &entries)
    {
        EntryList list;
        for (const auto &[name, move] : entries)
            list.append(q(name), src, dst, q(move));
        sc_AddFiles(list);
        store.set(keys::CompareInterval, "0");
        ASSERT_EQ(failureOf(sc_TransferFiles), 0);
    }

    QString trashed(const QString &name) const { return store.root() + "/data/Trash/" + name; }

    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString src = store.scratch("src"), dst = store.scratch("dst");
};

TEST_F(Undo, PutsEveryFileBackThatIsAsTheRunLeftIt)
{
    for (const char *name : {"moved.txt", "copied.txt", "over.txt", "changed.txt"})
        writeAged(src + name, name);
    writeAged(dst + "over.txt", "the older one");
    runEntries({{"moved.txt", "1"}, {"copied.txt", "0"}, {"over.txt", "1"}, {"changed.txt", "1"}});

    // The run kept the file it replaced in the Trash, under another name of the same file.
    EXPECT_EQ(readBytes(trashed("files/over.txt")), "the older one");
    const QString info = QString::fromUtf8(readBytes(trashed("info/over.txt.trashinfo")));
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath="
        + QString::fromUtf8(nativePath(dst).toPercentEncoding("/")) + "over.txt\nDeletionDate=20"))
        << qPrintable(info);
    const QList<JournalEntry> journal = readJournal();
    ASSERT_EQ(journal.size(), 4);
    EXPECT_EQ(journal[1].action, JournalEntry::Action::Copy);
    EXPECT_EQ(journal[2].replaced, JournalEntry::Replaced::Kept);
    EXPECT_EQ(journal[2].replacedTo, nativePath(trashed("files/over.txt")));
    EXPECT_EQ(journal[0].size, 9);

    writeBytes(dst + "changed.txt", "edited since");
    boxes.answerNext(MsgAnswer::Yes);
    const qint64 logBefore = readBytes(logFilePath()).size();
    sc_UndoLastRun();

    ASSERT_EQ(boxes.shown().size(), 2);
    EXPECT_EQ(boxes.shown()[0].title, "Continue?");
    EXPECT_EQ(boxes.shown()[0].text,
        "Undo the last run?\r\n\r\nChanged since the run \u2014 left as it is: " + dst
            + "changed.txt\r\nMove back: " + dst + "over.txt to " + src
            + "over.txt\r\nRestore from the Trash: " + dst + "over.txt\r\nRemove the copy to the Trash: "
            + dst + "copied.txt\r\nMove back: " + dst + "moved.txt to " + src + "moved.txt");
    EXPECT_EQ(boxes.shown()[1].text, "The last run has been undone: 4 of 4 steps done.");
    for (const char *name : {"moved.txt", "over.txt", "copied.txt"})
        EXPECT_EQ(readBytes(src + name), name);
    EXPECT_EQ(readBytes(dst + "over.txt"), "the older one");
    EXPECT_EQ(readBytes(dst + "changed.txt"), "edited since");
    EXPECT_FALSE(present(dst + "moved.txt"));
    EXPECT_EQ(readBytes(trashed("files/copied.txt")), "copied.txt");
    EXPECT_FALSE(present(trashed("files/over.txt")) || present(trashed("info/over.txt.trashinfo")));
    const QString undoLog = maskTimes(QString::fromUtf8(readBytes(logFilePath()).mid(logBefore)));
    EXPECT_TRUE(undoLog.startsWith("Begin Move File \t<now>\r\n\tFrom: \t" + dst + "over.txt\r\n\tTo:   "
        + src + "over.txt\r\nMove File successful\t<now>\r\n\r\n\r\nBegin Move File \t<now>\r\n\tFrom: \t"
        + trashed("files/over.txt") + "\r\n\tTo:   " + dst + "over.txt\r\nMove File successful"))
        << qPrintable(undoLog);
    EXPECT_EQ(undoLog.count("Begin "), 4);

    boxes.clear();
    sc_UndoLastRun();
    EXPECT_EQ(boxes.texts(), QStringList {"The last run left nothing to undo."});
}

TEST_F(Undo, WithoutTheTrashAReplacedFileIsReplacedAndTheJournalSaysSo)
{
    store.set(keys::KeepReplaced, "0");
    writeAged(src + "over.txt", "new");
    writeAged(dst + "over.txt", "old");
    runEntries({{"over.txt", "0"}});
    EXPECT_FALSE(present(trashed("files")));
    ASSERT_EQ(readJournal().size(), 1);
    EXPECT_EQ(readJournal()[0].replaced, JournalEntry::Replaced::Lost);
    boxes.answerNext(MsgAnswer::Yes);
    sc_UndoLastRun();
    EXPECT_EQ(boxes.texts().value(0),
        "Undo the last run?\r\n\r\nRemove the copy to the Trash: " + dst
            + "over.txt\r\nThe file it replaced could "
              "not be kept \u2014 left as it is: "
            + dst + "over.txt");
}

TEST_F(Undo, AJournalCutShortByAKillKeepsItsWholeLines)
{
    writeAged(src + "a.txt", "a");
    runEntries({{"a.txt", "1"}});
    const QByteArray whole = readBytes(journalPath());
    writeBytes(journalPath(), whole + "M\t/x\t/y\t1\t2.3");
    ASSERT_EQ(readJournal().size(), 1);
    EXPECT_EQ(readJournal()[0].source, nativePath(src + "a.txt"));
}

} // namespace
