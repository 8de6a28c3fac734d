// Where the Trash or the journal cannot be written: a replaced file is kept or not replaced, and
// the last run is undone only from its own journal.

#include "faults_support.h"

#include "transfer/messages.h"
#include "transfer/transfer_log.h"
#include "transfer/undo.h"

#include <QDirIterator>

#include <optional>

namespace quillfen::faults {

struct TrashCorner
{
    const char *name;
    // Where the replaced file lies below the root: "" beside the home trash, "other/" on a file
    // system of its own, "bound/" on another mount of the home trash's, "data/" on a full file
    // system that holds the home trash too.
    QString top;
    int failure; // of the step that would replace the file; 0: it is replaced and kept in a trash
    QStringList tree = {}; // made below the root first; mounting needs root, whose uid is 0
    const char *readOnly = nullptr; // below the root
    QString file = "f.txt";
};

TEST(TrashCorners, AFileIsReplacedOnlyWhenATrashKeepsIt)
{
    const TrashCorner rows[] = {
        {"the home trash's files folder is a plain file", "", 75, {"data/Trash/files"}},
        {"the home trash refuses writing", "", 70, {"data/Trash/info/"}, "data/Trash/info"},
        {"the home trash's disk is full under a rename", "data/", 61},
        {"another mount of the home trash's file system", "bound/", 0},
        {"a name too long for its info file", "", 0, {}, nullptr, QString(246, u'n') + ".txt"},
        {"another file system whose top refuses writing", "other/", 0, {}, "other"},
        {"a link planted as that file system's trash", "other/", 0,
            {"elsewhere/", "other/.Trash-0->../elsewhere"}},
    };
    QStringList notTried;
    for (const TrashCorner &row : rows) {
        SCOPED_TRACE(row.name);
        TempStore store;
        const QString root = store.root() + "/", src = root + (row.top == "data/" ? "data/src/" : "src/"),
                      dest = root + row.top + "dst/";
        std::optional<SmallFileSystem> small;
        if (row.top == "other/" || row.top == "data/")
            small.emplace(root + row.top, 1 << 20);
        makeTree(root, QStringList {"plain/", "bound/"} + row.tree);
        const bool bound = row.top == "bound/"
            && ::mount(nativePath(root + "plain").constData(), nativePath(root + "bound").constData(),
                   nullptr, MS_BIND, nullptr)
                == 0;
        if ((small && !small->mounted) || (row.top == "bound/" && !bound)) {
            notTried << row.name;
            continue;
        }
        makeTree(root, {src.mid(root.size()) + row.file, dest.mid(root.size()) + row.file});
        writeBytes(src + row.file, "new");
        writeBytes(dest + row.file, "old");
        storeEntries({{row.file, src, dest, true}});
        if (row.readOnly)
            ::chmod(nativePath(root + row.readOnly).constData(), 0555);
        if (row.top == "data/")
            fill(root + row.top);
        ScriptedMessageBoxes boxes;
        {
            WithoutRootOverride user;
            ASSERT_EQ(failureOf(sc_TransferFiles), 0);
        }
        QByteArrayList trashed;
        for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            trashed << (it.next().contains("/files/") ? readBytes(it.filePath()) : "");
        const QString log = QString::fromUtf8(readBytes(logFilePath()));
        const QString failed = QString("Move File  failed: Error Number: %1  ").arg(row.failure);
        EXPECT_EQ(readBytes(dest + row.file) + " kept " + QByteArray::number(trashed.count("old")),
            row.failure ? "old kept 0" : "new kept 1");
        EXPECT_TRUE(log.contains(row.failure ? failed : "Move File successful")) << qPrintable(log);
        EXPECT_FALSE(present(root + "elsewhere/files")) << "a planted link is not followed";
        RunRecorder undone;
        Undo().perform(undone);
        EXPECT_EQ(readBytes(dest + row.file), "old") << "back from any trash";
        if (bound)
            ::umount2(nativePath(root + "bound").constData(), MNT_DETACH);
    }
    if (!notTried.isEmpty())
        GTEST_SKIP() << "this user may not mount, not tried: " << notTried.join(", ").toStdString();
}

TEST(JournalCorners, AnUnrecordedRunLeavesNothingToUndo)
{
    for (const int number : {70, 61}) { // a read-only state folder, a full disk
        SCOPED_TRACE(number);
        TempStore store;
        const QString src = store.scratch("src"), dest = store.scratch("dst"),
                      state = store.root() + "/state";
        const SmallFileSystem mounted(state, 1 << 20);
        if (!mounted.mounted)
            GTEST_SKIP() << "this user may not mount a file system";
        writeBytes(src + "a.txt", "a");
        storeEntries({{"a.txt", src, dest, false}});
        ASSERT_EQ(failureOf(sc_TransferFiles), 0);
        std::optional<ReadOnlyFolder> readOnly;
        if (number == 70)
            readOnly.emplace(state + "/Quillfen");
        else
            fill(state);
        ScriptedMessageBoxes boxes;
        ASSERT_EQ(failureOf(sc_TransferFiles), 0);
        EXPECT_EQ(messages::undoPlan(Undo().plan()).text,
            "The last run could not be recorded, so it cannot be undone: " + Failure(number).description()
                + QString(" (%1).").arg(number));
    }
}

} // namespace quillfen::faults
