#include "options/frmOptions.h"

#include "dialogs/frmFileSelect.h"
#include "platform/host.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace quillfen;

namespace {

// Acts on the modal window that the next call opens, then makes sure it is closed.
void onNextModal(const std::function<void(frmFileSelect *)> &act)
{
    QTimer::singleShot(0, [act] {
        auto *editor = qobject_cast<frmFileSelect *>(QApplication::activeModalWidget());
        if (!editor)
            return;
        act(editor);
        if (editor->isVisible())
            editor->reject();
    });
}

class OptionsWindow : public ::testing::Test
{
protected:
    template<typename T = QWidget>
    T *child(const char *name)
    {
        T *found = m_window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Entry n: file as given, "/src<n>/", "/dst<n>/", move "1" for odd n.
    void storeEntries(const QStringList &files)
    {
        m_store.set(QStringLiteral("sc_Files"), QString::number(files.size()));
        for (int n = 1; n <= files.size(); ++n) {
            m_store.set(QStringLiteral("sc_File%1").arg(n), files[n - 1]);
            m_store.set(QStringLiteral("sc_Path%1").arg(n), QStringLiteral("/src%1/").arg(n));
            m_store.set(QStringLiteral("sc_Dest%1").arg(n), QStringLiteral("/dst%1/").arg(n));
            m_store.set(QStringLiteral("sc_Move%1").arg(n), QString::number(n % 2));
        }
    }

    void open()
    {
        m_window = std::make_unique<frmOptions>();
        m_window->show();
    }

    QStringList shownFiles()
    {
        QStringList texts;
        for (int i = 0; i < child<QListWidget>("lstFiles")->count(); ++i)
            texts.append(child<QListWidget>("lstFiles")->item(i)->text());
        return texts;
    }

    const EntryList &entries() { return m_window->values().entries; }

    test::TempStore m_store;
    test::ScriptedMessageBoxes m_boxes;
    std::unique_ptr<frmOptions> m_window;
};

TEST_F(OptionsWindow, EmptyStoreOpensWithDefaultsAndClosingStoresThem)
{
    open();
    EXPECT_EQ(child<QComboBox>("cboTimer")->currentText(), QStringLiteral("10"));
    EXPECT_FALSE(child<QCheckBox>("chkAutoStart")->isChecked());
    EXPECT_EQ(child<QLineEdit>("txtExt")->text(), QStringLiteral("*.txt"));
    EXPECT_EQ(child<QLineEdit>("txtInterval")->text(), QStringLiteral("1"));
    EXPECT_EQ(child<QLineEdit>("txtIntType")->text(), QStringLiteral("h"));
    EXPECT_EQ(child<QListWidget>("lstFiles")->count(), 0);

    child<QPushButton>("cmdClose")->click();
    const std::pair<const char *, const char *> stored[]
        = {{"Timer", "10"}, {"AutoStart", "0"}, {"sc_DefaultFileExt", "*.txt"}, {"sc_CompareInterval", "1"},
            {"sc_CompareIntType", "h"}, {"sc_Files", "0"}};
    for (const auto &[key, value] : stored)
        EXPECT_EQ(m_store.value(QLatin1String(key)), QLatin1String(value)) << key;
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

enum class CloseWay { SaveButton, TitleBar, EscapeKey };

class OptionsClosing : public OptionsWindow, public ::testing::WithParamInterface<CloseWay>
{
};

TEST_P(OptionsClosing, SavesWhatIsTypedExactlyOnce)
{
    open();
    child<QComboBox>("cboTimer")->setEditText(QStringLiteral(" 7x"));
    switch (GetParam()) {
    case CloseWay::SaveButton:
        child<QPushButton>("cmdClose")->click();
        break;
    case CloseWay::TitleBar:
        m_window->close();
        break;
    case CloseWay::EscapeKey: {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &escape);
        break;
    }
    }
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_store.value(QStringLiteral("Timer")), QStringLiteral(" 7x"));

    m_store.set(QStringLiteral("Timer"), QStringLiteral("later"));
    m_window->close();
    m_window->done(QDialog::Accepted);
    EXPECT_EQ(m_store.value(QStringLiteral("Timer")), QStringLiteral("later")) << "saved a second time";
}

std::string closeWayName(const ::testing::TestParamInfo<CloseWay> &info)
{
    const char *names[] = {"SaveButton", "TitleBar", "EscapeKey"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, OptionsClosing,
    ::testing::Values(CloseWay::SaveButton, CloseWay::TitleBar, CloseWay::EscapeKey), closeWayName);

TEST_F(OptionsWindow, RemovingAnEntryAndClosingStoresOneFewer)
{
    storeEntries({"a", "b", "c"});
    open();
    child<QPushButton>("cmdRemove")->click();
    EXPECT_EQ(entries().count(), 3) << "no selection, no removal";

    child<QListWidget>("lstFiles")->setCurrentRow(1);
    child<QPushButton>("cmdRemove")->click();
    EXPECT_EQ(shownFiles(), (QStringList {"a", "c"}));
    EXPECT_EQ(entries().paths, (QStringList {"/src1/", "/src3/"}));
    EXPECT_EQ(entries().dests, (QStringList {"/dst1/", "/dst3/"}));
    EXPECT_EQ(entries().moves, (QStringList {"1", "1"}));
    m_window->close();

    EXPECT_EQ(m_store.value(QStringLiteral("sc_Files")), QStringLiteral("2"));
    EXPECT_EQ(m_store.value(QStringLiteral("sc_Path2")), QStringLiteral("/src3/"));
    EXPECT_EQ(m_store.value(QStringLiteral("sc_File3")), QStringLiteral("c")) << "keys beyond the count stay";
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

struct ChangeCase
{
    const char *name;
    QString newFile; // empty: OK without editing
    QStringList files;

    friend void PrintTo(const ChangeCase &c, std::ostream *os) { *os << c.name; }
};

class OptionsChangeEntry : public OptionsWindow, public ::testing::WithParamInterface<ChangeCase>
{
};

TEST_P(OptionsChangeEntry, DoubleClickOpensTheRowAndOkMovesItLast)
{
    storeEntries({"first", "second", "third"});
    open();
    child<QListWidget>("lstFiles")->setCurrentRow(1);
    QStringList seen;
    onNextModal([&](frmFileSelect *editor) {
        seen = {editor->fileName(), editor->sourceFolder(), editor->destFolder(),
            QString::number(editor->moveChecked()), editor->index()};
        if (!GetParam().newFile.isEmpty())
            editor->setFileName(GetParam().newFile);
        editor->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    m_window->lstFiles_DblClick();

    EXPECT_EQ(seen, (QStringList {"second", "/src2/", "/dst2/", "0", "1"}));
    EXPECT_EQ(shownFiles(), GetParam().files);
    EXPECT_EQ(entries().paths, (QStringList {"/src1/", "/src3/", "/src2/"}));
    EXPECT_EQ(entries().moves, (QStringList {"1", "1", "0"}));
    EXPECT_EQ(m_store.value(QStringLiteral("sc_File2")), QStringLiteral("second"))
        << "nothing stored before closing";
}

INSTANTIATE_TEST_SUITE_P(Rows, OptionsChangeEntry,
    ::testing::Values(ChangeCase {"Edited", "renamed", {"first", "third", "renamed"}},
        ChangeCase {"Unedited", "", {"first", "third", "second"}}),
    [](const ::testing::TestParamInfo<ChangeCase> &info) { return std::string(info.param.name); });

TEST_F(OptionsWindow, DoubleClickWithoutSelectionOpensNothing)
{
    storeEntries({"a"});
    open();
    bool opened = false;
    onNextModal([&](frmFileSelect *) { opened = true; });
    m_window->lstFiles_DblClick();
    QApplication::processEvents();
    EXPECT_FALSE(opened);
}

TEST_F(OptionsWindow, AddFileOpensAnEmptyEditorAndOkAppends)
{
    storeEntries({"a"});
    open();
    QStringList seen;
    onNextModal([&](frmFileSelect *editor) {
        seen = {editor->fileName(), editor->sourceFolder(), editor->destFolder(), editor->index()};
        editor->setFileName(QStringLiteral("*.txt"));
        editor->setSourceFolder(QStringLiteral("/in/"));
        editor->setDestFolder(QStringLiteral("/out/"));
        editor->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    child<QPushButton>("cmdFile")->click();

    EXPECT_EQ(seen, QStringList(4));
    EXPECT_EQ(shownFiles(), (QStringList {"a", "*.txt"}));
    EXPECT_EQ(entries().dests, (QStringList {"/dst1/", "/out/"}));
    EXPECT_EQ(entries().moves, (QStringList {"1", "0"}));
}

class OptionsImport : public OptionsWindow, public ::testing::WithParamInterface<MsgAnswer>
{
};

TEST_P(OptionsImport, ReloadsFromTheStoreWhateverTheAnswer)
{
    m_store.set(QStringLiteral("Timer"), QStringLiteral("15"));
    storeEntries({"a", "b"});
    QFile file(m_store.appFolder() + QStringLiteral("/Quillfen.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Timer\t5\r\n");
    file.close();
    open();
    child<QComboBox>("cboTimer")->setEditText(QStringLiteral("20"));
    child<QLineEdit>("txtExt")->setText(QStringLiteral("*.doc"));
    child<QListWidget>("lstFiles")->setCurrentRow(0);
    m_window->cmdRemove_Click();

    m_boxes.answerNext(GetParam());
    child<QAction>("mnuSettingsImport")->trigger();

    EXPECT_EQ(child<QComboBox>("cboTimer")->currentText(), GetParam() == MsgAnswer::Yes ? "5" : "15");
    EXPECT_EQ(child<QLineEdit>("txtExt")->text(), QStringLiteral("*.txt"));
    EXPECT_EQ(shownFiles(), (QStringList {"a", "b"}));
    EXPECT_EQ(entries().paths, (QStringList {"/src1/", "/src2/"}));
    EXPECT_FALSE(m_store.has(QStringLiteral("sc_DefaultFileExt"))) << "unsaved edits are never stored";
}

INSTANTIATE_TEST_SUITE_P(Answers, OptionsImport, ::testing::Values(MsgAnswer::No, MsgAnswer::Yes),
    [](const ::testing::TestParamInfo<MsgAnswer> &info) {
        return std::string(info.param == MsgAnswer::Yes ? "Yes" : "No");
    });

TEST_F(OptionsWindow, ConfirmedClearStoresNoEditsMadeBefore)
{
    int ends = 0;
    host::setProgramEnder([&ends] { ++ends; });
    m_store.set(QStringLiteral("Timer"), QStringLiteral("15"));
    storeEntries({"a"});
    open();
    child<QLineEdit>("txtExt")->setText(QStringLiteral("*.doc"));

    m_boxes.answerNext(MsgAnswer::Yes);
    child<QAction>("mnuSettingsClear")->trigger();
    m_window->close();
    host::setProgramEnder({});

    EXPECT_EQ(ends, 1);
    for (const char *key : {"Timer", "sc_DefaultFileExt", "sc_Files", "sc_File1", "AutoStart"})
        EXPECT_FALSE(m_store.has(QLatin1String(key))) << key;
}

} // namespace
