#include "dialogs/frmSearch.h"

#include "dialogs/drive_list.h"
#include "dialogs/file_list.h"
#include "dialogs/folder_list.h"
#include "dialogs/found_files_model.h"
#include "dialogs/frmFileSelect.h"

#include "platform/host.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>

using namespace quillfen;

namespace {

QString q(const char *text)
{
    return QString::fromUtf8(text);
}

// Creates each entry below `root`: a name ending in "/" is a folder, "name->target" a link.
void makeTree(const QString &root, std::initializer_list<const char *> entries)
{
    for (const char *entry : entries) {
        const QString text = q(entry);
        if (text.contains(q("->"))) {
            const QStringList parts = text.split(q("->"));
            ASSERT_EQ(::symlink(parts[1].toUtf8().constData(), (root + parts[0]).toUtf8().constData()), 0);
        } else if (text.endsWith(QLatin1Char('/'))) {
            ASSERT_TRUE(QDir().mkpath(root + text));
        } else {
            QDir().mkpath(QFileInfo(root + text).absolutePath());
            QFile file(root + text);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
}

class SearchDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root = m_store.scratch(q("tree")); // ends with the separator
        m_editor.setFileName(q("old.txt"));
        m_editor.setSourceFolder(q("/old/"));
        m_editor.setDestFolder(q("/olddest/"));
        quillfen::host::setProgramEnder([this] { ++m_programEnds; });
    }

    void TearDown() override { quillfen::host::setProgramEnder({}); }

    frmSearch &open(const QString &target)
    {
        m_editor.setMode(target);
        m_dialog = std::make_unique<frmSearch>(&m_editor);
        return *m_dialog;
    }

    // Opens the dialog on `folder` (relative to the tree) the way a user gets there.
    frmSearch &openAt(const char *folder)
    {
        open(q("Source"));
        dirList()->setPath(m_root + q(folder));
        return *m_dialog;
    }

    template<typename Widget>
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
    QStringList foundPaths() const
    {
        QStringList paths;
        for (int row = 0; row < found()->rowCount(); ++row)
            paths.append(found()->data(found()->index(row)).toString());
        return paths;
    }
    QString path(const char *relative) const { return QDir::cleanPath(m_root + q(relative)); }
    QStringList paths(std::initializer_list<const char *> relatives) const
    {
        QStringList result;
        for (const char *relative : relatives)
            result.append(path(relative));
        return result;
    }
    QString captions() const
    {
        return button("cmdSearch")->text() + QLatin1Char('|') + button("cmdCancel")->text();
    }
    bool criteriaShown() const
    {
        return !child<QWidget>("Picture1")->isHidden() && child<QWidget>("Picture2")->isHidden();
    }
    bool resultsShown() const
    {
        return child<QWidget>("Picture1")->isHidden() && !child<QWidget>("Picture2")->isHidden();
    }

    test::TempStore m_store;
    test::ScriptedMessageBoxes m_boxes;
    EntryList m_entries;
    frmFileSelect m_editor {m_entries};
    std::unique_ptr<frmSearch> m_dialog;
    QString m_root;
    int m_programEnds = 0;
};

struct OpenCase
{
    const char *name;
    const char *target;
    const char *storedSource, *storedDestination, *storedPattern; // nullptr: absent
    const char *startsIn; // relative to the tree; nullptr: the process's current folder
    const char *pattern;
};

class Opening : public SearchDialog, public ::testing::WithParamInterface<OpenCase>
{
};

TEST_P(Opening, StartsInTheFolderLastPickedForItsTargetWithTheDefaultPattern)
{
    const OpenCase &c = GetParam();
    makeTree(m_root, {"src/a.txt", "dst/b.log", "dst/c.txt"});
    const auto store = [&](const char *key, const char *relative) {
        if (relative)
            m_store.set(q(key), path(relative));
    };
    store("sc_lastSource", c.storedSource);
    store("sc_lastDestination", c.storedDestination);
    if (c.storedPattern)
        m_store.set(q("sc_DefaultFileExt"), q(c.storedPattern));

    open(q(c.target));

    const QString expected = c.startsIn ? path(c.startsIn) : QDir::currentPath();
    EXPECT_EQ(dirList()->path(), expected);
    EXPECT_EQ(child<QLineEdit>("txtSearchSpec")->text(), q(c.pattern));
    EXPECT_EQ(filList()->folder(), expected);
    EXPECT_EQ(filList()->pattern(), q(c.pattern));
    EXPECT_EQ(m_dialog->windowTitle(), q("Select File"));
    EXPECT_TRUE(criteriaShown());
    EXPECT_EQ(captions(), q("&Search|&Close"));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, Opening,
    ::testing::Values(OpenCase {"FirstUse", "Source", nullptr, nullptr, nullptr, nullptr, "*.txt"},
        OpenCase {"Source", "Source", "src", "dst", "*.log", "src", "*.log"},
        OpenCase {"DestinationNotSource", "Destination", "src", "dst", nullptr, "dst", "*.txt"},
        OpenCase {"DestinationFirstUse", "Destination", "src", nullptr, nullptr, nullptr, "*.txt"},
        OpenCase {"StoredFolderGone", "Source", "gone", nullptr, nullptr, nullptr, "*.txt"}),
    [](const ::testing::TestParamInfo<OpenCase> &info) { return std::string(info.param.name); });

struct PickCase
{
    const char *name;
    const char *target;
    const char *folder; // "/" for the root, else relative to the tree
    const char *file; // selected in the file list; nullptr: none
    const char *editorFile, *editorPath, *editorDest; // "@" stands for the picked folder
    const char *storedKey;
};

class Picking : public SearchDialog, public ::testing::WithParamInterface<PickCase>
{
};

TEST_P(Picking, WritesTheEditorFieldsOfItsTargetAndRemembersTheFolder)
{
    const PickCase &c = GetParam();
    makeTree(m_root, {"data/a.txt", "data/b.txt"});
    const bool atRoot = q(c.folder) == q("/");
    const QString folder = atRoot ? q("/") : path(c.folder);
    open(q(c.target));
    dirList()->setPath(folder);
    if (c.file) {
        ASSERT_GT(filList()->count(), 0);
        const int row = int(filList()->names().indexOf(q(c.file)));
        filList()->setCurrentIndex(filList()->model()->index(row, 0));
    }

    button("cmdSelect")->click();

    const QString picked = atRoot ? q("/") : folder + q("/");
    const auto expected = [&](const char *text) { return q(text) == q("@") ? picked : q(text); };
    EXPECT_EQ(m_editor.fileName(), expected(c.editorFile));
    EXPECT_EQ(m_editor.sourceFolder(), expected(c.editorPath));
    EXPECT_EQ(m_editor.destFolder(), expected(c.editorDest));
    EXPECT_EQ(m_store.value(q(c.storedKey)), folder);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(m_dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Rows, Picking,
    ::testing::Values(
        PickCase {"SourceWithFile", "Source", "data", "b.txt", "b.txt", "@", "/olddest/", "sc_lastSource"},
        PickCase {"SourceWithoutFile", "Source", "data", nullptr, "", "@", "/olddest/", "sc_lastSource"},
        PickCase {"SourceAtRoot", "Source", "/", nullptr, "", "@", "/olddest/", "sc_lastSource"},
        PickCase {
            "Destination", "Destination", "data", "a.txt", "old.txt", "/old/", "@", "sc_lastDestination"},
        PickCase {
            "DestinationAtRoot", "Destination", "/", nullptr, "old.txt", "/old/", "@", "sc_lastDestination"},
        PickCase {
            "OtherTarget", "Archive", "data", "a.txt", "old.txt", "/old/", "/olddest/", "sc_lastArchive"}),
    [](const ::testing::TestParamInfo<PickCase> &info) { return std::string(info.param.name); });

TEST_F(SearchDialog, TheEditorsBrowseButtonOpensItAndReceivesThePick)
{
    makeTree(m_root, {"data/a.txt"});
    m_editor.show();
    QString shownTitle;
    QTimer::singleShot(0, [&] {
        auto *search = qobject_cast<frmSearch *>(QApplication::activeModalWidget());
        ASSERT_NE(search, nullptr);
        shownTitle = search->windowTitle();
        search->findChild<FolderList *>(q("dirList"))->setPath(path("data"));
        search->findChild<QPushButton *>(q("cmdSelect"))->click();
    });
    m_editor.findChild<QPushButton *>(q("cmdFile"))->click();

    EXPECT_EQ(shownTitle, q("Select File"));
    EXPECT_EQ(m_editor.sourceFolder(), path("data") + q("/"));
    EXPECT_EQ(m_editor.fileName(), QString());
    EXPECT_EQ(m_store.value(q("sc_lastSource")), path("data"));
}

TEST_F(SearchDialog, CloseWritesNothingAndStoresNothing)
{
    makeTree(m_root, {"data/a.txt"});
    openAt("data");
    button("cmdCancel")->click();
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    EXPECT_EQ(QStringList({m_editor.fileName(), m_editor.sourceFolder(), m_editor.destFolder()}),
        QStringList({"old.txt", "/old/", "/olddest/"}));
    EXPECT_FALSE(m_store.has(q("sc_lastSource")));
}

TEST_F(SearchDialog, FindsTheDeepestFilesFirstAndTheRootsOwnLast)
{
    makeTree(m_root,
        {"A/a.txt", "A/zz.log", "A/.hidden.txt", "A/B/b.txt", "A/B/B2.TXT", "A/C/c.txt", "A/C/D/d.txt",
            "A/.h/x.txt"});
    openAt("A");
    button("cmdSearch")->click();

    EXPECT_EQ(foundPaths(), paths({"A/C/D/d.txt", "A/C/c.txt", "A/B/b.txt", "A/B/B2.TXT", "A/a.txt"}));
    EXPECT_EQ(child<QLabel>("lblCount")->text(), q(" 5"));
    EXPECT_EQ(captions(), q("&Reset|&Close"));
    EXPECT_TRUE(resultsShown());
    EXPECT_TRUE(button("cmdSelect")->isHidden());
    EXPECT_EQ(dirList()->path(), path("A"));
    EXPECT_EQ(filList()->folder(), path("A"));

    button("cmdSearch")->click(); // "&Reset"
    EXPECT_EQ(found()->count(), 0);
    EXPECT_EQ(child<QLabel>("lblCount")->text(), q("0"));
    EXPECT_EQ(captions(), q("&Search|&Close"));
    EXPECT_TRUE(criteriaShown());
    EXPECT_FALSE(button("cmdSelect")->isHidden());
    EXPECT_EQ(dirList()->path(), QDir::currentPath()) << "back to the start folder";
}

TEST_F(SearchDialog, SearchWithAnotherFolderHighlightedOnlyOpensIt)
{
    makeTree(m_root, {"A/a.txt", "A/B/b.txt", "A/C/c.txt"});
    openAt("A");
    dirList()->setHighlightedIndex(0);

    button("cmdSearch")->click();
    EXPECT_EQ(dirList()->path(), path("A/B"));
    EXPECT_EQ(found()->count(), 0);
    EXPECT_TRUE(criteriaShown());
    EXPECT_TRUE(button("cmdSelect")->isHidden());
    EXPECT_EQ(captions(), q("&Search|&Close"));

    button("cmdSearch")->click();
    EXPECT_EQ(foundPaths(), paths({"A/B/b.txt"}));
}

TEST_F(SearchDialog, CancelStopsAtTheNextFolderAndKeepsWhatWasFound)
{
    makeTree(m_root, {"A/s0/f.txt", "A/s1/f.txt", "A/s2/f.txt", "A/s3/f.txt", "A/s4/f.txt", "A/s5/f.txt"});
    openAt("A");
    const QStringList everything
        = paths({"A/s5/f.txt", "A/s4/f.txt", "A/s3/f.txt", "A/s2/f.txt", "A/s1/f.txt", "A/s0/f.txt"});

    // Runs at every yield of the search, as a user's click would: the first yield is
    // the root's, the second the first sub-folder's, whose file is found before the third.
    QTimer clicker;
    clicker.setInterval(0);
    int yields = 0;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (++yields == 3 && button("cmdCancel")->text() == q("Cancel"))
            button("cmdCancel")->click();
    });
    clicker.start();
    button("cmdSearch")->click();
    clicker.stop();

    const QStringList kept = foundPaths();
    EXPECT_FALSE(kept.isEmpty());
    EXPECT_LT(kept.size(), everything.size());
    EXPECT_EQ(kept, everything.mid(0, kept.size()));
    EXPECT_EQ(child<QLabel>("lblCount")->text(), q(" ") + QString::number(kept.size()));
    EXPECT_EQ(captions(), q("&Reset|&Close"));
    EXPECT_EQ(dirList()->path(), path("A"));
    EXPECT_TRUE(m_dialog->isVisible() || !m_dialog->result()) << "Cancel does not close the dialog";
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(SearchDialog, AFullListIsReportedOnceAndEndsTheSearch)
{
    makeTree(m_root, {"A/a1.txt", "A/a2.txt", "A/a3.txt", "A/B/b1.txt", "A/B/b2.txt", "A/C/c1.txt"});
    openAt("A");
    found()->setCapacity(4);
    button("cmdSearch")->click();

    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown()[0].text, q("You've filled the list box. Abandoning search..."));
    EXPECT_EQ(m_boxes.shown()[0].title, q("Quillfen"));
    EXPECT_EQ(m_boxes.shown()[0].icon, MsgIcon::None);
    EXPECT_EQ(m_boxes.shown()[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(foundPaths(), paths({"A/C/c1.txt", "A/B/b1.txt", "A/B/b2.txt", "A/a1.txt"}));
    EXPECT_EQ(child<QLabel>("lblCount")->text(), q(" 4"));
    EXPECT_EQ(captions(), q("&Reset|&Close"));
    EXPECT_EQ(dirList()->path(), path("A"));
    EXPECT_EQ(m_programEnds, 0);
}

TEST_F(SearchDialog, DoubleClickOnAFoundFileBrowsesItsFolder)
{
    makeTree(m_root, {"A/a.txt", "A/C/c.txt", "A/C/D/d.txt", "A/C/D/e.log"});
    openAt("A");
    button("cmdSearch")->click();
    ASSERT_EQ(foundPaths(), paths({"A/C/D/d.txt", "A/C/c.txt", "A/a.txt"}));

    auto *list = child<QListView>("lstFoundFiles");
    list->setCurrentIndex(found()->index(0));
    emit list->doubleClicked(found()->index(0));

    EXPECT_TRUE(criteriaShown());
    EXPECT_EQ(dirList()->path(), path("A/C/D"));
    EXPECT_EQ(filList()->names(), QStringList({"d.txt"}));
    EXPECT_EQ(found()->count(), 0);
    EXPECT_EQ(child<QLabel>("lblCount")->text(), q("0"));
    EXPECT_FALSE(button("cmdSelect")->isHidden());
    EXPECT_EQ(captions(), q("&Search|&Close"));
}

TEST_F(SearchDialog, EditingThePatternFiltersAtOnceAndDrivesTheNextSearch)
{
    makeTree(m_root, {"A/a.txt", "A/z.log", "A/B/b.LOG", "A/B/c.txt"});
    openAt("A");
    EXPECT_EQ(filList()->names(), QStringList({"a.txt"}));

    child<QLineEdit>("txtSearchSpec")->setText(q("*.log"));
    EXPECT_EQ(filList()->names(), QStringList({"z.log"}));

    button("cmdSearch")->click();
    EXPECT_EQ(foundPaths(), paths({"A/B/b.LOG", "A/z.log"}));
}

TEST_F(SearchDialog, LinksThatLoopAreWalkedOnce)
{
    makeTree(m_root, {"A/a.txt", "A/B/b.txt", "A/B/up->..", "A/self->.", "A/alias->B"});
    openAt("A");
    button("cmdSearch")->click();

    EXPECT_EQ(foundPaths(), paths({"A/B/b.txt", "A/a.txt"}));
    EXPECT_EQ(captions(), q("&Reset|&Close"));
}

TEST_F(SearchDialog, AFolderThatCannotBeOpenedEndsTheProgramAfterItsMessage)
{
    makeTree(m_root, {"A/s0/f.txt", "A/s1/f.txt"});
    openAt("A");
    // s1 is searched first; while it is, s0 goes away behind the search's back.
    bool removed = false;
    QTimer remover;
    remover.setInterval(0);
    QObject::connect(&remover, &QTimer::timeout, [&] {
        if (!removed && dirList()->path() == path("A/s1"))
            removed = QDir(path("A/s0")).removeRecursively();
    });
    remover.start();
    button("cmdSearch")->click();
    remover.stop();

    ASSERT_TRUE(removed);
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown()[0].text, q("Path not found"));
    EXPECT_EQ(m_boxes.shown()[0].title, q("Quillfen"));
    EXPECT_EQ(m_programEnds, 1);
}

TEST_F(SearchDialog, ADriveThatCannotBeOpenedPutsTheDriveListBack)
{
    makeTree(m_root, {"A/a.txt"});
    openAt("A");
    auto *drives = child<DriveList>("drvList");
    drives->setDrives({q("/"), path("nomedium")});
    drives->setCurrentIndex(int(drives->drives().indexOf(path("nomedium"))));

    m_dialog->drvList_Change();

    EXPECT_EQ(dirList()->path(), path("A"));
    EXPECT_EQ(drives->drive(), q("/"));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

} // namespace
