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
    void SetUp() override
    {
        m_entries.append("first", "/a/", "/x/", "1");
        m_entries.append("second", "/b/", "/y/", "0");
        m_entries.append("third", "/c/", "/z/", "1");
    }

    quillfen::test::TempStore m_store;
    quillfen::test::ScriptedMessageBoxes m_boxes;
    EntryList m_entries;
    frmFileSelect m_editor {m_entries};
};

struct OkCase
{
    const char *name;
    QString file, path, dest;
    bool move;
    QString index;
    QStringList after; // the entries afterwards; Unchanged: the dialog stays open
};

class EditorOk : public EntryEditor, public ::testing::WithParamInterface<OkCase>
{
};

TEST_P(EditorOk, WritesTheEntryIntoTheListsOrStaysOpen)
{
    const OkCase &c = GetParam();
    m_editor.setFileName(c.file);
    m_editor.setSourceFolder(c.path);
    m_editor.setDestFolder(c.dest);
    m_editor.setMoveChecked(c.move);
    m_editor.setIndex(c.index);
    m_editor.show();
    m_editor.findChild<QPushButton *>(q("cmdOK"))->click();

    EXPECT_EQ(rows(m_entries), c.after);
    EXPECT_EQ(m_editor.isVisible(), c.after == Unchanged);
    EXPECT_EQ(QStringList({m_editor.fileName(), m_editor.sourceFolder(), m_editor.destFolder()}),
        QStringList({c.file, c.path, c.dest}));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, EditorOk,
    ::testing::Values(OkCase {"NewEntryAppended", "*.txt", "/in/", "/out/", false, "",
                          Unchanged + QStringList {"*.txt|/in/|/out/|0"}},
        OkCase {"EmptyDestinationStaysOpen", "*.txt", "/in/", "", true, "", Unchanged},
        OkCase {"EmptyFileStaysOpen", "", "/in/", "/out/", false, "1", Unchanged},
        OkCase {"BlanksCountAsFilled", " ", " ", " ", true, "", Unchanged + QStringList {" | | |1"}},
        OkCase {"SecondOfThreeChangedGoesLast", "new", "/n/", "/m/", true, "1",
            {"first|/a/|/x/|1", "third|/c/|/z/|1", "new|/n/|/m/|1"}},
        OkCase {"UnchangedSecondStillGoesLast", "second", "/b/", "/y/", false, "1",
            {"first|/a/|/x/|1", "third|/c/|/z/|1", "second|/b/|/y/|0"}},
        OkCase {"PositionOutsideTheListRemovesNothing", "new", "/n/", "/m/", false, "7",
            Unchanged + QStringList {"new|/n/|/m/|0"}}),
    [](const auto &info) { return std::string(info.param.name); });

struct DiscardCase
{
    const char *name;
    const char *browse, *mode; // the browse button and the target it sets
};

class EditorDiscard : public EntryEditor, public ::testing::WithParamInterface<DiscardCase>
{
};

TEST_P(EditorDiscard, APickFillsTheFieldsAndDiscardingLeavesTheListsUntouched)
{
    const DiscardCase &c = GetParam();
    const QString picked = m_store.scratch(q("picked"));
    m_editor.setIndex(q("1"));
    m_editor.show();
    QString seen;
    quillfen::test::onNextModal([&](QWidget *modal) {
        auto *search = qobject_cast<frmSearch *>(modal);
        ASSERT_NE(search, nullptr);
        seen = m_editor.mode() + (search->parentWidget() == &m_editor ? q(" over the editor") : q(""));
        search->findChild<quillfen::FolderList *>(q("dirList"))->setPath(picked);
        search->findChild<QPushButton *>(q("cmdSelect"))->click();
    });
    m_editor.findChild<QPushButton *>(q(c.browse))->click();
    EXPECT_EQ(seen, q(c.mode) + q(" over the editor"));
    EXPECT_EQ(q(c.mode) == q("Source") ? m_editor.sourceFolder() : m_editor.destFolder(), picked);
    ASSERT_TRUE(m_editor.isVisible());

    if (q(c.name) == q("CancelButton")) {
        m_editor.findChild<QPushButton *>(q("cmdCancel"))->click();
    } else if (q(c.name) == q("TitleBar")) {
        m_editor.close();
    } else {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&m_editor, &escape);
    }
    EXPECT_FALSE(m_editor.isVisible());
    EXPECT_EQ(rows(m_entries), Unchanged);
}

INSTANTIATE_TEST_SUITE_P(Ways, EditorDiscard,
    ::testing::Values(DiscardCase {"CancelButton", "cmdFile", "Source"},
        DiscardCase {"TitleBar", "cmdDest", "Destination"}, DiscardCase {"EscapeKey", "cmdFile", "Source"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
