#include "dialogs/frmFileSelect.h"

#include "dialogs/folder_list.h"
#include "dialogs/frmSearch.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

#include <QKeyEvent>
#include <QPushButton>

using quillfen::EntryList;
using quillfen::test::q;

namespace {

QStringList rows(const EntryList &entries)
{
    QStringList result;
    for (int k = 0; k < entries.count(); ++k)
        result.append(
            QStringList {entries.files[k], entries.paths[k], entries.dests[k], entries.moves[k]}.join('|'));
    return result;
}

const QStringList Unchanged = {"first|/a/|/x/|1", "second|/b/|/y/|0", "third|/c/|/z/|1"};

class EntryEditor : public ::testing::Test
{
protected:
    // A fresh list of the three entries of Unchanged.
    static EntryList entries()
    {
        EntryList list;
        list.append("first", "/a/", "/x/", "1");
        list.append("second", "/b/", "/y/", "0");
        list.append("third", "/c/", "/z/", "1");
        return list;
    }

    quillfen::test::TempStore m_store;
    quillfen::test::ScriptedMessageBoxes m_boxes;
};

TEST_F(EntryEditor, OkWritesTheEntryIntoTheListsOrStaysOpen)
{
    const struct
    {
        QString file, path, dest;
        bool move;
        QString index;
        QStringList after; // the entries afterwards; Unchanged: the dialog stays open
    } cases[] = {{"*.txt", "/in/", "/out/", false, "", Unchanged + QStringList {"*.txt|/in/|/out/|0"}},
        {"*.txt", "/in/", "", true, "", Unchanged}, {"", "/in/", "/out/", false, "1", Unchanged},
        {" ", " ", " ", true, "", Unchanged + QStringList {" | | |1"}}, // blanks count as filled
        {"new", "/n/", "/m/", true, "1", {"first|/a/|/x/|1", "third|/c/|/z/|1", "new|/n/|/m/|1"}},
        {"second", "/b/", "/y/", false, "1", {"first|/a/|/x/|1", "third|/c/|/z/|1", "second|/b/|/y/|0"}},
        {"new", "/n/", "/m/", false, "7", Unchanged + QStringList {"new|/n/|/m/|0"}}}; // 7: no position
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.after.join(' ')));
        EntryList list = entries();
        frmFileSelect editor(list);
        editor.setFileName(c.file);
        editor.setSourceFolder(c.path);
        editor.setDestFolder(c.dest);
        editor.setMoveChecked(c.move);
        editor.setIndex(c.index);
        editor.show();
        editor.findChild<QPushButton *>(q("cmdOK"))->click();
        EXPECT_EQ(rows(list), c.after);
        EXPECT_EQ(editor.isVisible(), c.after == Unchanged);
        EXPECT_EQ(QStringList({editor.fileName(), editor.sourceFolder(), editor.destFolder()}),
            QStringList({c.file, c.path, c.dest}));
    }
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(EntryEditor, APickFillsTheFieldsAndDiscardingLeavesTheListsUntouched)
{
    // The browse button, the target it sets, and the way the editor is left.
    const char *cases[][3] = {{"cmdFile", "Source", "cmdCancel"}, {"cmdDest", "Destination", "title bar"},
        {"cmdFile", "Source", "Escape"}};
    for (const auto &[browse, mode, way] : cases) {
        SCOPED_TRACE(way);
        const QString picked = m_store.scratch(q("picked"));
        EntryList list = entries();
        frmFileSelect editor(list);
        editor.setIndex(q("1"));
        editor.show();
        QString seen;
        quillfen::test::onNextModal([&](QWidget *modal) {
            auto *search = qobject_cast<frmSearch *>(modal);
            ASSERT_NE(search, nullptr);
            seen = editor.mode() + (search->parentWidget() == &editor ? q(" over the editor") : q(""));
            search->findChild<quillfen::FolderList *>(q("dirList"))->setPath(picked);
            search->findChild<QPushButton *>(q("cmdSelect"))->click();
        });
        editor.findChild<QPushButton *>(q(browse))->click();
        EXPECT_EQ(seen, q(mode) + q(" over the editor"));
        EXPECT_EQ(q(mode) == q("Source") ? editor.sourceFolder() : editor.destFolder(), picked);
        ASSERT_TRUE(editor.isVisible());

        if (q(way) == q("cmdCancel")) {
            editor.findChild<QPushButton *>(q(way))->click();
        } else if (q(way) == q("title bar")) {
            editor.close();
        } else {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&editor, &escape);
        }
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(rows(list), Unchanged);
    }
}

} // namespace
