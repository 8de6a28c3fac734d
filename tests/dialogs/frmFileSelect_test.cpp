#include "dialogs/frmFileSelect.h"

#include "dialogs/frmSearch.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using quillfen::EntryList;

namespace {

// Acts on the modal window that the next call opens, then makes sure it is closed.
void onNextModal(const std::function<void(QWidget *)> &act)
{
    QTimer::singleShot(0, [act] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        act(modal);
        if (modal->isVisible())
            modal->reject();
    });
}

EntryList threeEntries()
{
    EntryList entries;
    entries.append("first", "/a/", "/x/", "1");
    entries.append("second", "/b/", "/y/", "0");
    entries.append("third", "/c/", "/z/", "1");
    return entries;
}

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
    quillfen::test::TempStore m_store;
    quillfen::test::ScriptedMessageBoxes m_boxes;
    EntryList m_entries = threeEntries();
    frmFileSelect m_editor {m_entries};
};

struct OkCase
{
    const char *name;
    QString file, path, dest;
    bool move;
    QString index;
    QStringList after; // the entries afterwards, as file|path|dest|move; Unchanged: the dialog stays open

    friend void PrintTo(const OkCase &c, std::ostream *os) { *os << c.name; }
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
    m_editor.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();

    EXPECT_EQ(rows(m_entries), c.after);
    const bool stays = c.after == Unchanged;
    EXPECT_EQ(m_editor.isVisible(), stays);
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
    [](const ::testing::TestParamInfo<OkCase> &info) { return std::string(info.param.name); });

enum class Discard { CancelButton, TitleBar, EscapeKey };

class EditorDiscard : public EntryEditor, public ::testing::WithParamInterface<Discard>
{
};

TEST_P(EditorDiscard, AfterBrowsingLeavesTheListsUntouched)
{
    m_editor.setIndex(QStringLiteral("1"));
    m_editor.show();
    QString modeWhileBrowsing;
    onNextModal([&](QWidget *search) {
        EXPECT_NE(qobject_cast<frmSearch *>(search), nullptr);
        modeWhileBrowsing = m_editor.mode();
        m_editor.setSourceFolder(QStringLiteral("/picked/")); // what a pick writes
        m_editor.setFileName(QStringLiteral("picked.txt"));
    });
    m_editor.findChild<QPushButton *>(QStringLiteral("cmdFile"))->click();
    EXPECT_EQ(modeWhileBrowsing, QStringLiteral("Source"));
    EXPECT_TRUE(m_editor.isVisible());

    switch (GetParam()) {
    case Discard::CancelButton:
        m_editor.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        break;
    case Discard::TitleBar:
        m_editor.close();
        break;
    case Discard::EscapeKey: {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&m_editor, &escape);
        break;
    }
    }
    EXPECT_FALSE(m_editor.isVisible());
    EXPECT_EQ(rows(m_entries), Unchanged);
}

std::string discardName(const ::testing::TestParamInfo<Discard> &info)
{
    const char *names[] = {"CancelButton", "TitleBar", "EscapeKey"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, EditorDiscard,
    ::testing::Values(Discard::CancelButton, Discard::TitleBar, Discard::EscapeKey), discardName);

TEST_F(EntryEditor, DestinationBrowseSetsItsTargetAndOpensOverTheEditor)
{
    m_editor.show();
    QString modeWhileBrowsing;
    QWidget *searchParent = nullptr;
    onNextModal([&](QWidget *search) {
        modeWhileBrowsing = m_editor.mode();
        searchParent = search->parentWidget();
    });
    m_editor.findChild<QPushButton *>(QStringLiteral("cmdDest"))->click();
    EXPECT_EQ(modeWhileBrowsing, QStringLiteral("Destination"));
    EXPECT_EQ(searchParent, &m_editor);
}

} // namespace
