#include "dialogs/drive_list.h"
#include "dialogs/file_list.h"
#include "dialogs/folder_list.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmFileSelect.h"
#include "dialogs/frmPreview.h"
#include "dialogs/frmSearch.h"
#include "dialogs/frmSplash.h"
#include "dialogs/preview_model.h"
#include "dialogs/qt_message_boxes.h"
#include "platform/host.h"
#include "platform/registry.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"
#include "transfer/found_files_model.h"
#include "transfer/sub_folders.h"

#include <QtCore/qtestsupport_core.h>
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

TEST_F(Search, OpensWhereItsTargetWasLastPickedAndAPickFillsTheEditorAndOnlyTheEditorsOkAddsTheEntry)
{
    test::makeTree(root, {"src/", "dst/", "data/a.txt", "data/b.txt"});
    // The editor's browse button (or the target given); the stored source, destination, pattern
    // ("-": absent); the folder opened (".": the current one), the pattern shown. The folder picked
    // ("/": the root), file selected, button; the editor's fields ("@": the folder picked); how the
    // editor is left, the files listed (none added without a name). Only a pick stores its folder.
    for (const QString row :
        {"cmdFile|src|dst|b.*|src|b.*|data|b.txt|cmdSelect|b.txt|@|/olddest/|cmdOK|b.txt",
            "cmdFile|-|-|-|.|*.txt|/||cmdSelect||@|/olddest/|cmdOK|b.txt (editor open)",
            "cmdDest|src|dst|-|dst|*.txt|data|a.txt|cmdSelect|old.txt|/old/|@|Escape|b.txt",
            "cmdFile|gone|-|-|.|*.txt|data|a.txt|cmdCancel|old.txt|/old/|/olddest/|cmdCancel|b.txt",
            "Archive|-|-|-|.|*.txt|data|a.txt|cmdSelect|old.txt|/old/|/olddest/|Enter|b.txt old.txt"}) {
        test::TempStore fresh;
        const QStringList f = row.split('|');
        for (const int k : {1, 2, 3})
            if (f[k] != "-")
                fresh.set(QStringList({"", "sc_lastSource", "sc_lastDestination", "sc_DefaultFileExt"})[k],
                    k < 3 ? root + f[k] : f[k]);
        const QString picked = f[6] == "/" ? f[6] : root + f[6],
                      folder = f[4] == "." ? QDir::currentPath() : f[4];
        QString opened, before;
        const auto pick = [&](QWidget *modal) {
            dialog = qobject_cast<frmSearch *>(modal);
            opened = screen() + '|' + child<QLineEdit>("txtSearchSpec")->text() + '|' + filList()->pattern();
            before = fresh.value("sc_last" + editor.mode());
            dirList()->setPath(picked);
            filList()->setCurrentIndex(filList()->model()->index(int(filList()->names().indexOf(f[7])), 0));
            click(qPrintable(f[8]));
        };
        open(f[0].startsWith("cmd") ? "Source" : qPrintable(f[0]));
        editor.show();
        f[0].startsWith("cmd") ? (test::onNextModal(pick), editor.findChild<QPushButton *>(f[0])->click())
                               : pick(dialog);
        EXPECT_EQ(opened, "|01|&Search|&Close|select|0|" + folder + '|' + f[5] + '|' + f[5]);
        EXPECT_EQ(editor.fileName() + '|' + editor.sourceFolder() + '|' + editor.destFolder(),
            f.mid(9, 3).join('|').replace("@", folderPrefix(picked)));
        EXPECT_EQ(fresh.value("sc_last" + editor.mode()), f[8] == "cmdSelect" ? picked : before);
        QKeyEvent key(QEvent::KeyPress, f[12] == "Enter" ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
        f[12].startsWith("cmd") // Enter in a folder field is OK
            ? editor.findChild<QPushButton *>(f[12])->click()
            : (void)QApplication::sendEvent(
                f[12] == "Enter" ? editor.findChild<QWidget *>("txtPath") : &editor, &key);
        EXPECT_EQ(entries.files.join(' ') + (editor.isVisible() ? " (editor open)" : ""), f[13]);
    }
}

TEST_F(
    Search, TheListsShowFoldersAndDrivesAndSearchesShowTheirResultsAndLeadBackOrStopOrFillUpOrEndTheProgram)
{
    int ends = 0;
    host::setProgramEnder([&] { ++ends; });
    test::makeTree(root,
        {"A/a.txt", "A/z.log", "A/B/b.LOG", "A/B/c.txt", "A/B/C/d.log", "A/D/e.log", "beta/", ".hidden/",
            "link->A", "dangling->nowhere"});
    open("Source", "");
    const QString top = normalFolder(root);
    EXPECT_EQ(dirList()->listPath(2) + ' ' + dirList()->listPath(3) + '|' + dirList()->listPath(-2),
        top + "/link |" + top.left(top.lastIndexOf('/')));
    // A folder that fails changes nothing; a drive that cannot be opened puts the drive list back
    // on the folder's drive.
    EXPECT_THROW(dirList()->setPath(root + "missing"), Failure);
    auto *drives = child<DriveList>("drvList");
    drives->setDrives({"/media/usb", "/", root + "nomedium"});
    drives->setCurrentIndex(2);
    dialog->drvList_Change();
    EXPECT_EQ(dirList()->path() + QString::number(dirList()->listCount()) + ' ' + drives->drives().join(' ')
            + ' ' + drives->drive(),
        top + "3 / /media/usb " + root + "nomedium /");

    dirList()->setPath(root + "A");
    child<QLineEdit>("txtSearchSpec")->setText("*.log");
    EXPECT_EQ(filList()->names(), QStringList({"z.log"})) << "the pattern filters at once";
    dirList()->setHighlightedIndex(0);
    click("cmdSearch"); // only opens the highlighted folder
    click("cmdSearch");
    EXPECT_EQ(screen(), "A/B/C/d.log A/B/b.LOG|10|&Reset|&Close|no select| 2|A/B");
    child<QListView>("lstFoundFiles")->setCurrentIndex(found()->index(1));
    emit child<QListView>("lstFoundFiles")->doubleClicked(found()->index(1));
    EXPECT_EQ(screen() + ' ' + filList()->names().join(' '), "|01|&Search|&Close|select|0|A/B b.LOG");
    click("cmdSearch"), click("cmdSearch"); // the second, "&Reset": back to the start folder
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
    EXPECT_EQ(searching + ' ' + screen() + (dialog->isVisible() ? " (open)" : ""),
        "Cancel A/D/e.log|10|&Reset|&Close|no select| 1|A (open)");

    found()->setCapacity(2);
    click("cmdSearch"), dirList()->setPath(root + "A"), click("cmdSearch"); // a new search from A
    EXPECT_EQ(screen(), "A/D/e.log A/B/C/d.log|10|&Reset|&Close|no select| 2|A");
    click("cmdSearch"), dirList()->setPath(root + "A");
    ASSERT_TRUE(QDir(root + "A").removeRecursively()); // behind the dialog's back
    click("cmdSearch");
    host::setProgramEnder({});
    EXPECT_EQ(test::boxesSeen(boxes) << QString::number(ends),
        QStringList({"Quillfen | You've filled the list box. Abandoning search... | None Ok",
            "Quillfen | Path not found | None Ok", "1"}));
}

TEST(PreviewWindow, OnAScreen1024WideTheReasonShowsWholeAndPathsGiveWay)
{
    test::TempStore store;
    const QString folder = store.scratch("a folder whose name is longer than any column would show it");
    test::writeAged(folder + "a.txt", "a");
    EntryList entries;
    entries.append("a.txt", folder, folder + "made by the run/", "0"); // the longest reason
    frmPreview preview(entries, "1", "h", false);
    preview.resize(1000, 400);
    preview.show();
    const auto *table = preview.findChild<QTableView *>("tblPreview");
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 1; }));
    const QString reason = table->model()->index(0, PreviewModel::ReasonColumn).data().toString();
    EXPECT_GE(table->columnWidth(PreviewModel::ReasonColumn), table->fontMetrics().horizontalAdvance(reason))
        << qPrintable(reason);
    EXPECT_LE(table->horizontalHeader()->length(), table->viewport()->width()) << "nothing beyond the edge";
}

// The splash window, the completion notice, the About box and the Qt message boxes.
TEST(Notices, SplashNoticeAndAboutShowTheApplicationAndGoAsTheyShouldAndAboutStartsTheSystemInformationTool)
{
    int ends = 0;
    host::setProgramEnder([&ends] { ++ends; });
    QPointer<QWidget> splash = new frmSplash, notice = new frmDone;
    frmAbout about;
    QString shown;
    for (QWidget *window : QWidgetList {splash, notice, &about}) {
        for (const char *name : {"lblProductName", "lblTitle", "lblVersion", "lblDesc", "lblDescription",
                 "lblCompany", "lblCopyright", "lblComment", "lblCreated", "lblMsg"})
            if (const auto *label = window->findChild<QLabel *>(name))
                shown += label->text() + (label->font().bold() ? "*|" : "|"); // "*": bold
        if (const auto *timer = window->findChild<QTimer *>("timUnload")) // the window goes then
            shown += QString::number(timer->isActive() * timer->interval()) + " ms|";
    }
    EXPECT_EQ(shown,
        "Quillfen*|Version 1.2.2*|Scheduled file mover and copier|Marivale|Copyright © 2026 Marivale|"
        "Tidies working folders and keeps simple backups.|1000 ms|Operation Complete*|2000 ms|Quillfen*|"
        "Version 1.2.2|Scheduled file mover and copier|Created by Marivale\r\nCopyright © 2026 Marivale|");

    EXPECT_TRUE(splash->findChild<QFrame *>("Frame1") && notice->findChild<QFrame *>("Frame1")
        && about.minimumSize() == about.maximumSize());
    // The splash goes by its timer, the notice by its timer or at a key, and ends the program.
    QMetaObject::invokeMethod(splash->findChild<QTimer *>("timUnload"), "timeout");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(notice, &press);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull() && notice.isNull() && ends == 1);
    host::setProgramEnder({});
    test::ScriptedMessageBoxes boxes;
    QStringList started;
    host::setProgramStarter([&](const QString &program, const QStringList &arguments) {
        return started << program + arguments.join(' '), true;
    });
    auto tools = std::make_shared<registry::TableRegistry>();
    registry::setCurrent(tools);
    auto *sysInfo = about.findChild<QPushButton *>("cmdSysInfo");
    about.show();
    sysInfo->click();
    tools->setText(registry::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", "/opt/info");
    sysInfo->click();
    EXPECT_TRUE(about.isVisible() && started == QStringList {"/opt/info"});
    registry::setCurrent(nullptr), host::setProgramStarter({});
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList {"Quillfen | System Information Is Unavailable At This Time | None Ok"});
}

TEST(Notices, QtMessageBoxesShowIconButtonsTitleAndLinesAndGiveTheAnswer)
{
    using Box = QMessageBox;
    // icon, buttons, the button pressed (NoButton: Escape); the icon and buttons shown, the answer
    const std::tuple<MsgIcon, MsgButtons, Box::StandardButton, Box::Icon, int, MsgAnswer> rows[] = {
        {MsgIcon::Critical, MsgButtons::Ok, Box::Ok, Box::Critical, Box::Ok, MsgAnswer::Ok},
        {MsgIcon::None, MsgButtons::Ok, Box::NoButton, Box::NoIcon, Box::Ok, MsgAnswer::Ok},
        {MsgIcon::Question, MsgButtons::YesNo, Box::Yes, Box::Question, Box::Yes | Box::No, MsgAnswer::Yes},
        {MsgIcon::Exclamation, MsgButtons::YesNo, Box::NoButton, Box::Warning, Box::Yes | Box::No,
            MsgAnswer::No}};
    for (const auto &[icon, buttons, press, shownIcon, shownButtons, answer] : rows) {
        QString seen;
        QTimer::singleShot(0, [&, press = press] {
            auto *box = qobject_cast<Box *>(QApplication::activeModalWidget());
            seen = QStringList({box->windowTitle(), box->text(), QString::number(box->textFormat()),
                                   QString::number(box->icon()), QString::number(box->standardButtons())})
                       .join('|');
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            press == Box::NoButton ? (void)QCoreApplication::sendEvent(box, &escape)
                                   : box->button(press)->click();
        });
        EXPECT_EQ(
            QtMessageBoxes().show({"First line\r\nSecond <b>line</b>", "Title", icon, buttons}), answer);
        EXPECT_EQ(
            seen, QString("Title|First line\nSecond <b>line</b>|0|%1|%2").arg(shownIcon).arg(shownButtons))
            << "0: plain text";
    }
}

} // namespace
