#include "dialogs/drive_list.h"
#include "dialogs/file_list.h"
#include "dialogs/folder_list.h"
#include "dialogs/frmFileSelect.h"
#include "dialogs/frmSearch.h"
#include "platform/host.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"
#include "transfer/found_files_model.h"
#include "transfer/sub_folders.h"

#include <QtWidgets>

using namespace quillfen;
using test::q;

namespace {

class Search : public ::testing::Test
{
protected:
    // The dialog for `target` over the editor, at `folder` of the tree when given.
    void open(const char *target, const char *folder = nullptr)
    {
        editor.setFileName("old.txt"), editor.setSourceFolder("/old/"), editor.setDestFolder("/olddest/");
        editor.setMode(target);
        owned = std::make_unique<frmSearch>(&editor);
        dialog = owned.get();
        if (folder)
            dirList()->setPath(root + folder);
    }
    template<typename T = QWidget>
    T *child(const char *name) const
    {
        return dialog->findChild<T *>(name);
    }
    FolderList *dirList() const { return child<FolderList>("dirList"); }
    FileList *filList() const { return child<FileList>("filList"); }
    FoundFilesModel *found() const
    {
        return static_cast<FoundFilesModel *>(child<QListView>("lstFoundFiles")->model());
    }
    void click(const char *name) const { child<QPushButton>(name)->click(); }
    void select(const QString &file) const
    {
        filList()->setCurrentIndex(filList()->model()->index(int(filList()->names().indexOf(file)), 0));
    }
    QString relative(QString path) const { return path.replace(root, ""); }
    // The files found (relative to the tree); whether the criteria and the results panel are hidden
    // ("01": the criteria shown); the captions; Select; the count; the folder.
    QString screen() const
    {
        QStringList files;
        for (int row = 0; row < found()->rowCount(); ++row)
            files << relative(found()->path(row));
        return QStringList(
            {files.join(' '),
                QString::number(child("Picture1")->isHidden())
                    + QString::number(child("Picture2")->isHidden()),
                child<QPushButton>("cmdSearch")->text(), child<QPushButton>("cmdCancel")->text(),
                child("cmdSelect")->isHidden() ? "no select" : "select", child<QLabel>("lblCount")->text(),
                relative(dirList()->path())})
            .join('|');
    }

    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    EntryList entries;
    frmFileSelect editor {entries};
    std::unique_ptr<frmSearch> owned;
    frmSearch *dialog = nullptr;
    const QString root = store.scratch("tree"); // ends with the separator
};

TEST_F(Search, OpensInTheFolderLastPickedForItsTargetWithTheStoredPattern)
{
    test::makeTree(root, {"src/a.txt", "dst/b.log"});
    // The target, the stored source, destination and pattern ("-": absent); the folder (".": the
    // current one) and the pattern shown.
    for (const QString row : {"Source|-|-|-|.|*.txt", "Source|src|dst|*.log|src|*.log",
             "Destination|src|dst|-|dst|*.txt", "Source|gone|-|-|.|*.txt"}) {
        test::TempStore fresh;
        const QStringList f = row.split('|');
        for (const int k : {1, 2, 3}) {
            if (f[k] != "-")
                fresh.set(QStringList({"", "sc_lastSource", "sc_lastDestination", "sc_DefaultFileExt"})[k],
                    k < 3 ? root + f[k] : f[k]);
        }
        open(qPrintable(f[0]));
        const QString folder = f[4] == "." ? QDir::currentPath() : f[4];
        EXPECT_EQ(screen() + '|' + relative(filList()->folder()) + '|'
                + child<QLineEdit>("txtSearchSpec")->text() + '|' + filList()->pattern() + '|'
                + dialog->windowTitle(),
            "|01|&Search|&Close|select|0|" + folder + '|' + folder + '|' + f[5] + '|' + f[5]
                + "|Select File");
    }
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(Search, APickFillsTheEditorAndRemembersTheFolderAndOnlyTheEditorsOkAddsTheEntry)
{
    test::makeTree(root, {"data/a.txt", "data/b.txt"});
    // The editor's browse button (or the target given), the folder ("/": the root), the file
    // selected, the button; the editor's fields ("@": the folder picked); how the editor is left,
    // and the files of the list afterwards (a field missing: the editor stays open).
    for (const QString row : {"cmdFile|data|b.txt|cmdSelect|b.txt|@|/olddest/|cmdOK|b.txt",
             "cmdFile|/||cmdSelect||@|/olddest/|cmdOK|b.txt",
             "cmdDest|data|a.txt|cmdSelect|old.txt|/old/|@|Escape|b.txt",
             "cmdDest|data|a.txt|cmdCancel|old.txt|/old/|/olddest/|cmdCancel|b.txt",
             "Archive|data|a.txt|cmdSelect|old.txt|/old/|/olddest/|Enter|b.txt old.txt"}) {
        test::TempStore fresh;
        const QStringList f = row.split('|');
        const QString picked = f[1] == "/" ? f[1] : root + f[1];
        const auto pick = [&](QWidget *modal) {
            dialog = qobject_cast<frmSearch *>(modal);
            dirList()->setPath(picked);
            select(f[2]);
            click(qPrintable(f[3]));
        };
        open(f[0].startsWith("cmd") ? "Source" : qPrintable(f[0]));
        editor.show();
        if (f[0].startsWith("cmd"))
            test::onNextModal(pick), editor.findChild<QPushButton *>(f[0])->click();
        else
            pick(dialog);
        EXPECT_EQ(editor.fileName() + '|' + editor.sourceFolder() + '|' + editor.destFolder(),
            f.mid(4, 3).join('|').replace("@", folderPrefix(picked)));
        EXPECT_EQ(fresh.value("sc_last" + editor.mode()), f[3] == "cmdSelect" ? picked : "");
        QKeyEvent key(QEvent::KeyPress, f[7] == "Enter" ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
        if (f[7].startsWith("cmd"))
            editor.findChild<QPushButton *>(f[7])->click();
        else // Enter in a folder field is OK
            QApplication::sendEvent(f[7] == "Enter" ? editor.findChild<QWidget *>("txtPath") : &editor, &key);
        EXPECT_EQ(entries.files.join(' ') + '|' + entries.moves.join(' '),
            f[8] + '|' + (f[8].contains(' ') ? "0 0" : "0"));
        EXPECT_EQ(editor.isVisible(), row.startsWith("cmdFile|/"));
    }
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(Search, SearchesShowTheirResultsAndLeadBackOrStopOrFillUpOrEndTheProgram)
{
    int ends = 0;
    host::setProgramEnder([&] { ++ends; });
    test::makeTree(root, {"A/a.txt", "A/z.log", "A/B/b.LOG", "A/B/c.txt", "A/B/C/d.log", "A/D/e.log"});
    open("Source", "A");
    child<QLineEdit>("txtSearchSpec")->setText("*.log");
    EXPECT_EQ(filList()->names(), QStringList({"z.log"})) << "the pattern filters at once";
    dirList()->setHighlightedIndex(0);
    click("cmdSearch"); // only opens the highlighted folder
    EXPECT_EQ(screen(), "|01|&Search|&Close|no select|0|A/B");
    click("cmdSearch");
    EXPECT_EQ(screen(), "A/B/C/d.log A/B/b.LOG|10|&Reset|&Close|no select| 2|A/B");
    child<QListView>("lstFoundFiles")->setCurrentIndex(found()->index(1));
    emit child<QListView>("lstFoundFiles")->doubleClicked(found()->index(1));
    EXPECT_EQ(screen() + ' ' + filList()->names().join(' '), "|01|&Search|&Close|select|0|A/B b.LOG");
    click("cmdSearch");
    click("cmdSearch"); // "&Reset": back to the start folder
    EXPECT_EQ(screen(), "|01|&Search|&Close|select|0|" + QDir::currentPath());

    // Cancel, clicked at the search's third yield: the root's, D's (whose file is found), then B's.
    dialog->show();
    dirList()->setPath(root + "A");
    QTimer clicker;
    QString searching; // the caption while the search runs
    QObject::connect(&clicker, &QTimer::timeout, [&, yields = 0]() mutable {
        if (++yields == 3)
            searching = child<QPushButton>("cmdCancel")->text(), click("cmdCancel");
    });
    clicker.start(0);
    click("cmdSearch");
    clicker.stop();
    EXPECT_EQ(searching + ' ' + screen(), "Cancel A/D/e.log|10|&Reset|&Close|no select| 1|A");
    EXPECT_TRUE(dialog->isVisible());

    found()->setCapacity(2);
    click("cmdSearch");
    dirList()->setPath(root + "A");
    click("cmdSearch");
    EXPECT_EQ(screen(), "A/D/e.log A/B/C/d.log|10|&Reset|&Close|no select| 2|A");
    click("cmdSearch");
    dirList()->setPath(root + "A");
    ASSERT_TRUE(QDir(root + "A").removeRecursively()); // behind the dialog's back
    click("cmdSearch");
    host::setProgramEnder({});
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList({"Quillfen | You've filled the list box. Abandoning search... | None Ok",
            "Quillfen | Path not found | None Ok"}));
    EXPECT_EQ(ends, 1);
}

TEST_F(Search, TheListsShowFoldersFilesAndDrives)
{
    test::makeTree(root, {"beta/", "Alpha/", ".hidden/", "link->Alpha", "dangling->nowhere", "Alpha/a.txt"});
    open("Source", "");
    const QString top = normalFolder(root);
    EXPECT_EQ(dirList()->listPath(2) + ' ' + dirList()->listPath(3) + '|' + dirList()->listPath(-2),
        top + "/link |" + top.left(top.lastIndexOf('/')));
    EXPECT_THROW(dirList()->setPath(root + "missing"), Failure);
    EXPECT_EQ(dirList()->path() + QString::number(dirList()->listCount()), top + "3")
        << "a failure changes nothing";
    // A drive that cannot be opened puts the drive list back on the folder's drive.
    auto *drives = child<DriveList>("drvList");
    drives->setDrives({"/media/usb", "/", root + "nomedium"});
    drives->setCurrentIndex(2);
    dialog->drvList_Change();
    EXPECT_EQ(dirList()->path() + ' ' + drives->drives().join(' ') + ' ' + drives->drive(),
        top + " / /media/usb " + root + "nomedium /");
    filList()->setFolder(root + "Alpha");
    select("a.txt");
    filList()->setFolder(root);
    EXPECT_EQ(filList()->selectedName(), "") << "another folder drops the selection";

    // A folder, its drive among "/", "/media/usb" and "/media/usb2"; a volume, its file system,
    // and whether it is listed.
    for (const char *row :
        {"/home/me /", "/media/usb /media/usb", "/media/usb2/photos /media/usb2", "/media/usbx /"})
        EXPECT_EQ(
            driveOf({"/", "/media/usb", "/media/usb2"}, q(row).section(' ', 0, 0)), q(row).section(' ', 1))
            << row;
    for (const char *row :
        {"/ ext4 1", "/run/media/me/STICK vfat 1", "/tmp tmpfs 1", "/run/user/1000 tmpfs 0",
            "/dev/shm tmpfs 0", "/sys/fs/cgroup cgroup2 0", "/snap/core/1 squashfs 0", "/proc proc 0"}) {
        const QStringList f = q(row).split(' ');
        EXPECT_EQ(isBrowsableVolume(f[0], f[1].toUtf8()), f[2] == "1") << row;
    }
}

} // namespace
