#include "options/frmOptions.h"

#include "dialogs/frmFileSelect.h"
#include "platform/autostart.h"
#include "platform/host.h"
#include "settings/store.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QtCore/qtestsupport_core.h>

using namespace quillfen;

namespace {

class OptionsWindow : public ::testing::Test
{
protected:
    template<typename T = QWidget>
    T *child(const char *name)
    {
        T *found = window->findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Entry n: the file given, "/src<n>/", "/dst<n>/", move "1" for odd n.
    void open(const QStringList &files = {})
    {
        if (!files.isEmpty())
            store.set("sc_Files", QString::number(files.size()));
        for (int n = 1; n <= files.size(); ++n) {
            store.set(QString("sc_File%1").arg(n), files[n - 1]);
            store.set(QString("sc_Path%1").arg(n), QString("/src%1/").arg(n));
            store.set(QString("sc_Dest%1").arg(n), QString("/dst%1/").arg(n));
            store.set(QString("sc_Move%1").arg(n), QString::number(n % 2));
        }
        window = std::make_unique<frmOptions>();
        window->show();
    }

    // The entries as "file path dest move", once the list is seen to show their files.
    QStringList rows()
    {
        const EntryList &e = window->values().entries;
        auto *list = child<QListWidget>("lstFiles");
        QStringList result;
        for (int i = 0; i < e.count(); ++i) {
            EXPECT_EQ(list->item(i) ? list->item(i)->text() : "", e.files[i]);
            result << e.files[i] + ' ' + e.paths[i] + ' ' + e.dests[i] + ' ' + e.moves[i];
        }
        EXPECT_EQ(list->count(), e.count());
        return result;
    }

    // Runs `act` on the entry editor that `opening` shows.
    void inEditor(const std::function<void()> &opening, const std::function<void(frmFileSelect *)> &act)
    {
        test::onNextModal([act](QWidget *modal) { act(qobject_cast<frmFileSelect *>(modal)); });
        opening();
    }

    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    std::unique_ptr<frmOptions> window;
};

TEST_F(OptionsWindow, EmptyStoreOpensWithDefaultsAndClosingStoresThem)
{
    open();
    EXPECT_EQ(child<QComboBox>("cboTimer")->currentText(), "10");
    EXPECT_FALSE(child<QCheckBox>("chkAutoStart")->isChecked());
    EXPECT_EQ(child<QLineEdit>("txtExt")->text(), "*.txt");
    EXPECT_EQ(child<QLineEdit>("txtInterval")->text(), "1");
    EXPECT_EQ(child<QLineEdit>("txtIntType")->text(), "h");
    EXPECT_TRUE(child<QAction>("mnuSettingsKeepReplaced")->isChecked());
    EXPECT_EQ(rows(), QStringList());

    child<QPushButton>("cmdClose")->click();
    const std::pair<const char *, const char *> stored[]
        = {{"Timer", "10"}, {"AutoStart", "0"}, {"sc_DefaultFileExt", "*.txt"}, {"sc_CompareInterval", "1"},
            {"sc_CompareIntType", "h"}, {"sc_Files", "0"}, {"KeepReplacedInTrash", "1"}};
    for (const auto &[key, value] : stored)
        EXPECT_EQ(store.value(key), value) << key;
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(OptionsWindow, EveryWayOfClosingSavesWhatIsTypedExactlyOnce)
{
    const std::function<void(frmOptions *)> ways[] = {
        [this](frmOptions *) { child<QPushButton>("cmdClose")->click(); },
        [](frmOptions *w) { w->close(); }, // the title bar
        [](frmOptions *w) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(w, &escape);
        },
    };
    for (const auto &closeWindow : ways) {
        SCOPED_TRACE(&closeWindow - ways);
        open();
        child<QComboBox>("cboTimer")->setEditText(" 7x");
        auto *keep = child<QAction>("mnuSettingsKeepReplaced");
        EXPECT_EQ(keep->isChecked(), &closeWindow == ways) << "the stored \"0\" is shown";
        keep->setChecked(false);
        closeWindow(window.get());
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(store.value("Timer"), " 7x");
        EXPECT_EQ(store.value("KeepReplacedInTrash"), "0");

        store.set("Timer", "later");
        window->close();
        window->done(QDialog::Accepted);
        EXPECT_EQ(store.value("Timer"), "later") << "saved a second time";
    }
}

TEST_F(OptionsWindow, NothingSelectedChangesNothingAndRemovingAnEntryStoresOneFewer)
{
    open({"a", "b", "c"});
    bool opened = false; // without a selection neither Remove nor a double-click does anything
    QTimer::singleShot(0, [&] {
        if (QWidget *modal = QApplication::activeModalWidget())
            opened = modal->close();
    });
    window->lstFiles_DblClick();
    QApplication::processEvents();
    EXPECT_FALSE(opened);
    child<QPushButton>("cmdRemove")->click();
    child<QListWidget>("lstFiles")->setCurrentRow(1);
    child<QPushButton>("cmdRemove")->click();
    EXPECT_EQ(rows(), QStringList({"a /src1/ /dst1/ 1", "c /src3/ /dst3/ 1"}));
    window->close();

    EXPECT_EQ(store.value("sc_Files"), "2");
    EXPECT_EQ(store.value("sc_Path2"), "/src3/");
    EXPECT_EQ(store.value("sc_File3"), "c") << "keys beyond the count stay";
}

TEST_F(OptionsWindow, DoubleClickOpensTheRowAndOkMovesItLast)
{
    for (const QString newFile : {"renamed", ""}) { // "": OK without editing
        open({"first", "second", "third"});
        child<QListWidget>("lstFiles")->setCurrentRow(1);
        QStringList seen;
        inEditor([this] { window->lstFiles_DblClick(); },
            [&](frmFileSelect *editor) {
                seen = {editor->fileName(), editor->sourceFolder(), editor->destFolder(),
                    QString::number(editor->moveChecked()), editor->index()};
                if (!newFile.isEmpty())
                    editor->setFileName(newFile);
                editor->findChild<QPushButton *>("cmdOK")->click();
            });
        EXPECT_EQ(seen, QStringList({"second", "/src2/", "/dst2/", "0", "1"}));
        EXPECT_EQ(rows(),
            QStringList({"first /src1/ /dst1/ 1", "third /src3/ /dst3/ 1",
                (newFile.isEmpty() ? "second" : newFile) + " /src2/ /dst2/ 0"}));
        EXPECT_EQ(store.value("sc_File2"), "second") << "nothing stored before closing";
    }
}

TEST_F(OptionsWindow, AddFileOpensAnEmptyEditorAndOkAppends)
{
    open({"a"});
    QStringList seen;
    inEditor([this] { child<QPushButton>("cmdFile")->click(); },
        [&](frmFileSelect *editor) {
            seen = {editor->fileName(), editor->sourceFolder(), editor->destFolder(), editor->index()};
            editor->setFileName("*.txt");
            editor->setSourceFolder("/in/");
            editor->setDestFolder("/out/");
            editor->findChild<QPushButton *>("cmdOK")->click();
        });
    EXPECT_EQ(seen, QStringList(4));
    EXPECT_EQ(rows(), QStringList({"a /src1/ /dst1/ 1", "*.txt /in/ /out/ 0"}));
}

TEST_F(OptionsWindow, ImportReloadsFromTheStoreWhateverTheAnswer)
{
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        store.set("Timer", "15");
        QFile file(store.appFolder() + "/Quillfen.txt");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Timer\t5\r\n");
        file.close();
        open({"a", "b"});
        child<QComboBox>("cboTimer")->setEditText("20");
        child<QLineEdit>("txtExt")->setText("*.doc");
        child<QListWidget>("lstFiles")->setCurrentRow(0);
        window->cmdRemove_Click();

        boxes.answerNext(answer);
        child<QAction>("mnuSettingsImport")->trigger();
        EXPECT_EQ(child<QComboBox>("cboTimer")->currentText(), answer == MsgAnswer::Yes ? "5" : "15");
        EXPECT_EQ(child<QLineEdit>("txtExt")->text(), "*.txt");
        EXPECT_EQ(rows(), QStringList({"a /src1/ /dst1/ 1", "b /src2/ /dst2/ 0"}));
        EXPECT_FALSE(store.has("sc_DefaultFileExt")) << "unsaved edits are never stored";
    }
}

TEST_F(OptionsWindow, ConfirmedClearStoresNoEditsMadeBefore)
{
    int ends = 0;
    host::setProgramEnder([&ends] { ++ends; });
    store.set("Timer", "15");
    open({"a"});
    child<QLineEdit>("txtExt")->setText("*.doc");

    boxes.answerNext(MsgAnswer::Yes);
    child<QAction>("mnuSettingsClear")->trigger();
    window->close();
    host::setProgramEnder({});
    EXPECT_EQ(ends, 1);
    for (const char *key : {"Timer", "sc_DefaultFileExt", "sc_Files", "sc_File1", "AutoStart"})
        EXPECT_FALSE(store.has(key)) << key;
}

TEST_F(OptionsWindow, PreviewShowsTheEntriesAndRestrictionAsTheWindowShowsThem)
{
    const QString src = store.scratch("src");
    test::writeOldFile(src + "a.txt", "abc");
    const char *rest
        = "|2||/src2/gone.txt|/dst2/gone.txt||Run ends|The run would end here: Path not found (76)"
          "|3||/src3/c|/dst3/c||Not reached|Not reached";
    const struct
    {
        const char *interval, *title, *first, *totals;
    } cases[]
        = {{"1", "", "Move|Would be moved; the destination folder would be created", "Move: 1 file, 3 bytes"},
            {"5", " (unsaved changes)", "Skip|Skipped by the date restriction: 3 h old, 5 needed",
                "Skip: 1 file, 3 bytes"}};
    for (const auto &c : cases) {
        store::save(keys::PreviewWidth, "640");
        store::save(keys::PreviewHeight, "320");
        open({"a.txt", "gone.txt", "c"});
        store.set("sc_Path1", src);
        window->Form_Load();
        child<QLineEdit>("txtInterval")->setText(c.interval);
        QStringList seen;
        test::onNextModal([&](QWidget *preview) {
            auto *cancel = preview->findChild<QPushButton *>("cmdCancel");
            EXPECT_TRUE(QTest::qWaitFor([&] { return cancel->text() == "&Close"; }));
            const QAbstractItemModel *rows = preview->findChild<QTableView *>("tblPreview")->model();
            seen << preview->windowTitle()
                 << preview->findChild<QLabel *>("lblTotals")->text().replace(u'\xa0', ' ');
            for (int row = 0; row < rows->rowCount(); ++row)
                for (int column = 0; column < rows->columnCount(); ++column)
                    seen << rows->index(row, column).data().toString();
            EXPECT_TRUE(rows->index(2, 0).data(Qt::ForegroundRole).isValid()) << "not reached: greyed";
            EXPECT_FALSE(rows->index(1, 0).data(Qt::ForegroundRole).isValid());
            EXPECT_EQ(preview->size(), QSize(640, 320));
            preview->resize(700, 300);
        });
        child<QAction>("mnuSettingsPreview")->trigger();
        EXPECT_EQ(seen.join('|'),
            test::q("Preview of the next run") + c.title + "|" + c.totals
                + " · Run ends: 1 file, 0 bytes · Not reached: 1 file, 0 bytes|1|Move|" + src
                + "a.txt|/dst1/a.txt|3|" + c.first + rest);
        EXPECT_EQ(store::get(keys::PreviewWidth) + store::get(keys::PreviewHeight), "700300");
    }
    EXPECT_FALSE(store.has("sc_CompareInterval")) << "the preview stores no Options";
}

TEST_F(OptionsWindow, MenuSetsStartAtLoginAndUndoesTheLastRun)
{
    open();
    auto *login = child<QAction>("mnuSettingsStartAtLogin");
    const auto menuShows = [this, login] {
        emit child<QMenu>("mnuSettings")->aboutToShow();
        return login->isChecked();
    };
    EXPECT_FALSE(menuShows());
    login->trigger();
    EXPECT_TRUE(QFile::exists(autostartEntryPath()));
    EXPECT_TRUE(login->isChecked());
    QFile::remove(autostartEntryPath());
    EXPECT_FALSE(menuShows()) << "read from the file each time";
    QDir(QFileInfo(autostartEntryPath()).path()).removeRecursively();
    test::writeOldFile(QFileInfo(autostartEntryPath()).path(), ""); // a file where the folder goes
    login->trigger();
    EXPECT_FALSE(login->isChecked());

    child<QAction>("mnuSettingsUndo")->trigger();
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList({"Error 76 | Error Path not found (76) on Start at Login | Critical Ok",
            "Quillfen | The last run left nothing to undo. | Information Ok"}));
}

} // namespace
