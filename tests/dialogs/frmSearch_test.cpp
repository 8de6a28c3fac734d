#include "dialogs/frmSearch.h"

#include "dialogs/drive_list.h"
#include "dialogs/file_list.h"
#include "dialogs/folder_list.h"
#include "dialogs/frmFileSelect.h"
#include "platform/host.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"
#include "transfer/found_files_model.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include <memory>

using namespace quillfen;
using test::makeTree;
using test::q;

namespace {

class SearchDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host::setProgramEnder([this] { ++m_programEnds; });
    }
    void TearDown() override { host::setProgramEnder({}); }

    void open(const char *target)
    {
        m_editor.setFileName(q("old.txt"));
        m_editor.setSourceFolder(q("/old/"));
        m_editor.setDestFolder(q("/olddest/"));
        m_editor.setMode(q(target));
        m_dialog = std::make_unique<frmSearch>(&m_editor);
    }
    // Builds the tree, opens the dialog on the source target and goes to `folder` in it.
    void openAt(const char *folder, const QStringList &tree)
    {
        makeTree(m_root, tree);
        open("Source");
        dirList()->setPath(path(folder));
    }

    template<typename Widget = QWidget>
    Widget *child(const char *name) const
    {
        Widget *widget = m_dialog->findChild<Widget *>(q(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    FolderList *dirList() const { return child<FolderList>("dirList"); }
    FileList *filList() const { return child<FileList>("filList"); }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    FoundFilesModel *found() const
    {
        return qobject_cast<FoundFilesModel *>(child<QListView>("lstFoundFiles")->model());
    }
    QString path(const char *relative) const { return QDir::cleanPath(m_root + q(relative)); }
    QString relative(const QString &path) const
    {
        return path.startsWith(m_root) ? path.mid(m_root.size()) : path;
    }
    // The found list, relative to the tree.
    QStringList foundPaths() const
    {
        QStringList paths;
        for (int row = 0; row < found()->rowCount(); ++row)
            paths.append(relative(found()->data(found()->index(row)).toString()));
        return paths;
    }
    QString editorFields() const
    {
        return m_editor.fileName() + q("|") + m_editor.sourceFolder() + q("|") + m_editor.destFolder();
    }
    // Panel shown, button captions, Select shown, count and folder, e.g.
    // "results|&Reset|&Close|no select| 5|A".
    QString screen() const
    {
        const bool criteria = !child("Picture1")->isHidden() && child("Picture2")->isHidden();
        const bool results = child("Picture1")->isHidden() && !child("Picture2")->isHidden();
        return QStringList({criteria         ? q("criteria")
                                   : results ? q("results")
                                             : q("both"),
                               button("cmdSearch")->text(), button("cmdCancel")->text(),
                               button("cmdSelect")->isHidden() ? q("no select") : q("select"),
                               child<QLabel>("lblCount")->text(), relative(dirList()->path())})
            .join(q("|"));
    }

    test::TempStore m_store;
    test::ScriptedMessageBoxes m_boxes;
    EntryList m_entries;
    frmFileSelect m_editor {m_entries};
    std::unique_ptr<frmSearch> m_dialog;
    const QString m_root = m_store.scratch(q("tree")); // ends with the separator
    int m_programEnds = 0;
};

TEST_F(SearchDialog, OpensInTheFolderLastPickedForItsTargetWithTheStoredPattern)
{
    makeTree(m_root, {"src/a.txt", "dst/b.log", "dst/c.txt"});
    const QString here = QDir::currentPath();
    const char *stored[] = {"sc_lastSource", "sc_lastDestination", "sc_DefaultFileExt"};
    // target, stored source / destination / pattern (nullptr: absent), folder and pattern shown
    const char *rows[][6] = {{"Source", nullptr, nullptr, nullptr, nullptr, "*.txt"},
        {"Source", "src", "dst", "*.log", "src", "*.log"},
        {"Destination", "src", "dst", nullptr, "dst", "*.txt"},
        {"Destination", "src", nullptr, nullptr, nullptr, "*.txt"},
        {"Source", "gone", nullptr, nullptr, nullptr, "*.txt"}};
    for (const auto &row : rows) {
        test::TempStore fresh;
        for (int k = 1; k <= 3; ++k)
            if (row[k])
                fresh.set(q(stored[k - 1]), k < 3 ? path(row[k]) : q(row[k]));
        open(row[0]);
        const QString folder = row[4] ? q(row[4]) : here;
        EXPECT_EQ(screen(), q("criteria|&Search|&Close|select|0|") + folder) << row[0] << " " << row[1];
        EXPECT_EQ(relative(filList()->folder()), folder);
        EXPECT_EQ(child<QLineEdit>("txtSearchSpec")->text() + q("|") + filList()->pattern(),
            q(row[5]) + q("|") + q(row[5]));
        EXPECT_EQ(m_dialog->windowTitle(), q("Select File"));
        EXPECT_TRUE(m_boxes.shown().isEmpty());
    }
}

TEST_F(SearchDialog, APickWritesTheEditorFieldsOfItsTargetAndRemembersTheFolder)
{
    makeTree(m_root, {"data/a.txt", "data/b.txt"});
    // target, folder ("/": the root), file selected, editor fields after ("@": the folder), key
    const char *rows[][5] = {{"Source", "data", "b.txt", "b.txt|@|/olddest/", "sc_lastSource"},
        {"Source", "data", nullptr, "|@|/olddest/", "sc_lastSource"},
        {"Source", "/", nullptr, "|@|/olddest/", "sc_lastSource"},
        {"Destination", "data", "a.txt", "old.txt|/old/|@", "sc_lastDestination"},
        {"Destination", "/", nullptr, "old.txt|/old/|@", "sc_lastDestination"},
        {"Archive", "data", "a.txt", "old.txt|/old/|/olddest/", "sc_lastArchive"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row[3]);
        test::TempStore fresh;
        const QString folder = q(row[1]) == q("/") ? q("/") : path(row[1]);
        open(row[0]);
        dirList()->setPath(folder);
        if (row[2])
            filList()->setCurrentIndex(
                filList()->model()->index(int(filList()->names().indexOf(q(row[2]))), 0));
        button("cmdSelect")->click();
        EXPECT_EQ(editorFields(), q(row[3]).replace(q("@"), folder == q("/") ? folder : folder + q("/")));
        EXPECT_EQ(fresh.value(q(row[4])), folder);
        EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    }
}

TEST_F(SearchDialog, CloseWritesNothingAndStoresNothing)
{
    openAt("data", {"data/a.txt"});
    button("cmdCancel")->click();
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    EXPECT_EQ(editorFields(), q("old.txt|/old/|/olddest/"));
    EXPECT_FALSE(m_store.has(q("sc_lastSource")));
}

TEST_F(SearchDialog, BrowsesSearchesAndComesBackByAFoundFileOrByReset)
{
    openAt("A", {"A/a.txt", "A/z.log", "A/B/b.LOG", "A/B/c.txt", "A/B/C/d.log"});
    EXPECT_EQ(filList()->names(), QStringList({"a.txt"}));
    child<QLineEdit>("txtSearchSpec")->setText(q("*.log"));
    EXPECT_EQ(filList()->names(), QStringList({"z.log"}));
    dirList()->setHighlightedIndex(0);
    button("cmdSearch")->click(); // only opens the highlighted folder
    EXPECT_EQ(screen(), q("criteria|&Search|&Close|no select|0|A/B"));

    button("cmdSearch")->click();
    EXPECT_EQ(foundPaths(), QStringList({"A/B/C/d.log", "A/B/b.LOG"}));
    EXPECT_EQ(screen(), q("results|&Reset|&Close|no select| 2|A/B"));
    EXPECT_EQ(filList()->folder() + dirList()->listPath(0), path("A/B") + path("A/B/C"));

    auto *list = child<QListView>("lstFoundFiles");
    list->setCurrentIndex(found()->index(1));
    emit list->doubleClicked(found()->index(1));
    EXPECT_EQ(screen(), q("criteria|&Search|&Close|select|0|A/B"));
    EXPECT_EQ(filList()->names(), QStringList({"b.LOG"}));
    EXPECT_EQ(found()->count(), 0);

    button("cmdSearch")->click();
    EXPECT_EQ(foundPaths(), QStringList({"A/B/C/d.log", "A/B/b.LOG"}));
    button("cmdSearch")->click(); // "&Reset": back to the start folder
    EXPECT_EQ(found()->count(), 0);
    EXPECT_EQ(screen(), q("criteria|&Search|&Close|select|0|") + QDir::currentPath());
}

TEST_F(SearchDialog, CancelStopsTheSearchAndKeepsWhatWasFound)
{
    openAt("A", {"A/s0/f.txt", "A/s1/f.txt", "A/s2/f.txt", "A/s3/f.txt"});
    m_dialog->show();
    // Clicks Cancel at the search's third yield, as a user would: the first yield is the
    // root's, the second the first sub-folder's, whose file is found before the third.
    QTimer clicker;
    QString shown; // the folder being searched when Cancel is clicked
    QObject::connect(&clicker, &QTimer::timeout, [&, yields = 0]() mutable {
        if (++yields == 3) {
            shown = relative(dirList()->path());
            button("cmdCancel")->click();
        }
    });
    clicker.start(0);
    button("cmdSearch")->click();

    const qsizetype kept = foundPaths().size();
    EXPECT_TRUE(kept > 0 && kept < 4) << kept;
    EXPECT_EQ(shown, q("A/s%1").arg(3 - kept));
    EXPECT_EQ(screen(), q("results|&Reset|&Close|no select| ") + QString::number(kept) + q("|A"));
    EXPECT_TRUE(m_dialog->isVisible()) << "Cancel during a search does not close the dialog";
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(SearchDialog, AFullListIsReportedOnceAndAFolderThatCannotBeReadEndsTheProgram)
{
    openAt("A", {"A/a1.txt", "A/a2.txt", "A/B/b1.txt", "A/C/c1.txt"});
    found()->setCapacity(2);
    button("cmdSearch")->click();
    EXPECT_EQ(screen(), q("results|&Reset|&Close|no select| 2|A"));

    button("cmdSearch")->click(); // "&Reset"
    dirList()->setPath(path("A"));
    ASSERT_TRUE(QDir(path("A")).removeRecursively()); // behind the dialog's back
    button("cmdSearch")->click();
    EXPECT_EQ(test::boxesSeen(m_boxes),
        QStringList({"Quillfen | You've filled the list box. Abandoning search... | None Ok",
            "Quillfen | Path not found | None Ok"}));
    EXPECT_EQ(m_programEnds, 1);
}

TEST_F(SearchDialog, ADriveThatCannotBeOpenedPutsTheDriveListBack)
{
    openAt("A", {"A/a.txt"});
    auto *drives = child<DriveList>("drvList");
    drives->setDrives({q("/"), path("nomedium")});
    drives->setCurrentIndex(int(drives->drives().indexOf(path("nomedium"))));
    m_dialog->drvList_Change();
    EXPECT_EQ(dirList()->path(), path("A"));
    EXPECT_EQ(drives->drive(), q("/"));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

} // namespace
