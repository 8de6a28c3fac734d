#include "options/frmOptions.h"
#include "options/settings_file.h"

#include "dialogs/frmFileSelect.h"
#include "platform/autostart.h"
#include "platform/host.h"
#include "settings/store.h"
#include "support/qt_test_helpers.h"

#include <QtCore/qtestsupport_core.h>
#include <QtWidgets>

namespace quillfen::test {

const QByteArray Box = "#------------------------------------------------------------#\r\n";
const QString ImportQuestion
    = "Continue? | WARNING: An imporperly formatted settings file can \r\ncause unexpected "
      "and perhaps disasterous results. \r\n\r\nAre you sure you want to import the "
      "settings? | Exclamation YesNo";

class Options : public ::testing::Test
{
protected:
    template<typename T = QWidget>
    T *child(const char *name) const
    {
        return window->findChild<T *>(name);
    }

    // Stores the files as entries in "/s<n>/" to "/d<n>/", moving odd ones, and the count; opens the window.
    void open(const QStringList &files = {}, const char *count = nullptr)
    {
        for (int n = 1; n <= files.size(); ++n) {
            const QString fields[]
                = {files[n - 1], q("/s%1/").arg(n), q("/d%1/").arg(n), QString::number(n % 2)};
            for (int k = 0; k < 4; ++k)
                store.set(keys::entryKey(keys::EntryStems[k], n), fields[k]);
            store.set("sc_Files", count ? count : QString::number(n));
        }
        window = std::make_unique<frmOptions>();
        window->show();
    }

    // What the entry editor shows for the selected entry or (`add`) a new one; then OK with `file`.
    QStringList edit(bool add, const QString &file)
    {
        QStringList seen;
        onNextModal([&seen, file](QWidget *modal) {
            auto *e = qobject_cast<frmFileSelect *>(modal);
            seen = {e->fileName(), e->sourceFolder(), e->destFolder(), e->index(),
                QString::number(e->moveChecked())};
            e->setFileName(file);
            e->setSourceFolder("/in/");
            e->setDestFolder("/out/");
            e->findChild<QPushButton *>("cmdOK")->click();
        });
        if (add)
            child<QPushButton>("cmdFile")->click();
        else
            window->lstFiles_DblClick();
        return seen;
    }

    // The stored values of the keys named, "-" for an absent one.
    QStringList stored(const QStringList &names) const
    {
        QStringList values;
        for (const QString &key : names)
            values << (store.has(key) ? store.value(key) : "-");
        return values;
    }
    QStringList closed(const QStringList &names) const
    {
        window->close();
        return stored(names);
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<frmOptions> window;
    const QString path = store.appFolder() + "/Quillfen.txt";
};

TEST_F(Options, TheSettingsMenuActsOnlyWhenTheUserAgrees)
{
    int ends = 0;
    Installed<host::setProgramEnder> counted([&] { ++ends; });
    // Entries 1 and 2 of three are counted; clear deletes them and the general keys, also after
    // one that is absent (sc_lastDestination), and no other key.
    const QStringList names = {"Timer", "sc_Files", "sc_File1", "sc_Move2", "sc_File3", "sc_lastSource",
        "KeepReplacedInTrash", "Imported"};
    const QString clear = "Continue? | Are you sure you want to clear all settings? | Exclamation YesNo";
    // The window closes by its title bar after an import, by its button after a clear.
    const struct
    {
        const char *item;
        MsgAnswer answer;
        QStringList stored;
        int ends;
        QStringList boxes;
    } rows[] = {
        {"mnuSettingsImport", MsgAnswer::No, {"15", "2", "a", "0", "c", "/l", "1", "x"}, 0, {ImportQuestion}},
        {"mnuSettingsImport", MsgAnswer::Yes, {"20", "2", "a", "0", "c", "/l", "1", "x"}, 0,
            {ImportQuestion, "Error 13 | Error Type mismatch (13) on Options form load | Critical Ok"}},
        {"mnuSettingsClear", MsgAnswer::No, {"20", "2", "a", "0", "c", "/l", "0", "x"}, 0, {clear}},
        {"mnuSettingsClear", MsgAnswer::Yes, {"-", "-", "-", "-", "c", "-", "-", "x"}, 1,
            {clear,
                "Complete | All settings have been cleared.\r\n\r\nQuillfen will now terminate. | "
                "Exclamation Ok"}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.item << " " << int(row.answer));
        writeBytes(path, "Timer\tabc\r\n"); // a load step that fails leaves its control as it stands
        for (const auto &[key, value] : {std::pair {"Timer", "15"}, {"sc_lastSource", "/l"},
                 {"KeepReplacedInTrash", "x"}, {"Imported", "x"}})
            store.set(key, value);
        open({"a", "b", "c"}, "2");
        child<QComboBox>("cboTimer")->setEditText("20");
        child<QAction>("mnuSettingsKeepReplaced")->setChecked(false);
        boxes.clear();
        ends = 0;
        boxes.answerNext(row.answer);
        child<QAction>(row.item)->trigger();
        if (row.item == q("mnuSettingsClear"))
            child<QPushButton>("cmdClose")->click();
        else
            window->close();
        EXPECT_EQ(stored(names), row.stored);
        EXPECT_EQ(ends, row.ends);
        EXPECT_EQ(boxesSeen(boxes), row.boxes);
        store.set("Timer", "later");
        window->close();
        window->done(QDialog::Accepted);
        EXPECT_EQ(store.value("Timer"), "later") << "saved a second time";
    }
}

TEST_F(Options, StartAtLoginFollowsTheMenu)
{
    open();
    EXPECT_EQ(child<QLabel>("lblLogFile")->text(), "Log file: " + store.appFolder() + "/filelog.txt");
    auto *login = child<QAction>("mnuSettingsStartAtLogin");
    const QString entry = autostartEntryPath();
    const auto menuShows = [this, login] {
        emit child<QMenu>("mnuSettings")->aboutToShow();
        return login->isChecked();
    };
    EXPECT_FALSE(menuShows());
    for (const bool ticked : {true, false}) {
        login->trigger();
        EXPECT_EQ(QFile::exists(entry), ticked);
        EXPECT_EQ(login->isChecked(), ticked);
    }
    QDir().mkpath(entry); // a folder where the entry goes
    login->trigger();
    QDir().rmdir(entry);
    setStartAtLogin(true);
    EXPECT_TRUE(menuShows()) << "read from the file each time";
    EXPECT_EQ(boxesSeen(boxes),
        QStringList {"Error 75 | Error Path/File access error: not a plain file (75) on Start at Login | "
                     "Critical Ok"});
}

TEST_F(Options, TheEntryListChangesOnlyAsTheUserEdits)
{
    open({"a", "b", "c", "d"});
    window->values().entries.moves[2] = "x";
    window->lstFiles_DblClick(); // without a selection neither does anything
    window->cmdRemove_Click();
    child<QListWidget>("lstFiles")->setCurrentRow(1);
    child<QPushButton>("cmdRemove")->click();
    child<QListWidget>("lstFiles")->setCurrentRow(1);
    EXPECT_EQ(edit(false, "C"), QStringList({"c", "/s3/", "/d3/", "1", "0"}));
    EXPECT_EQ(edit(true, "new"), QStringList({"", "", "", "", "0"}));
    EXPECT_EQ(child<QListWidget>("lstFiles")->count(), 4);
    EXPECT_EQ(stored({"sc_Files", "sc_File2"}), QStringList({"4", "b"})) << "nothing stored before closing";
    EXPECT_EQ(closed({"sc_Files", "sc_File1", "sc_File2", "sc_Path2", "sc_Move2", "sc_File3", "sc_Dest3",
                  "sc_Move3", "sc_File4"}),
        QStringList({"4", "a", "d", "/s4/", "0", "C", "/out/", "0", "new"}));
    EXPECT_EQ(boxesSeen(boxes),
        QStringList {"Error 13 | Error Type mismatch (13) on Options form edit | Critical Ok"});
}

TEST_F(Options, AnUnreadableCountIsKeptUntilAnEdit)
{
    store.set("sc_Files", "nan");
    store.set("sc_File1", "a");
    open();
    EXPECT_EQ(closed({"sc_Files", "sc_File1"}), QStringList({"nan", "a"}));
    open();
    edit(true, "new");
    EXPECT_EQ(closed({"sc_Files", "sc_File1"}), QStringList({"1", "new"}));
    EXPECT_EQ(
        boxesSeen(boxes), QStringList(2, "Error 13 | Error Type mismatch (13) on Get Files | Critical Ok"));
}

TEST_F(Options, UndoWaitsForTheUsersYes)
{
    const QString src = store.scratch("src"), dst = store.scratch("dst");
    writeAged(src + "a.txt", "a");
    storeEntries({{"a.txt", src, dst, "1"}});
    sc_TransferFiles();
    open();
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        boxes.answerNext(answer);
        child<QAction>("mnuSettingsUndo")->trigger();
    }
    const QString asked = "Continue? | Undo the last run? | Exclamation YesNo | To be undone, last file "
                          "first:\r\n  Move back: "
        + dst + "a.txt to " + src + "a.txt";
    EXPECT_EQ(boxesSeen(boxes),
        QStringList(
            {asked, asked, "Complete | The last run has been undone: 1 of 1 steps done. | Information Ok"}));
    EXPECT_EQ(readBytes(src + "a.txt"), "a");
}

TEST_F(Options, AnExportImportedGivesBackTheStore)
{
    const auto failedBox = [this](const char *what, const char *number, const char *description) {
        return QString("Error %1 | The settings could not be %2 \r\n%3\r\n\r\nError %4 (%1) | Critical Ok")
            .arg(number, what, path, description);
    };
    // Comments, lines without a tab or a key, and a key naming another ("Timer/") store nothing;
    // a CR alone ends a line, a LF alone does not; blanks around values go, tabs stay.
    writeBytes(path,
        "\xEF\xBB\xBFsc_lastSource\t/in\r\n" + Box
            + "#Timer\t1\r\nTimer 2\r\n\r\n\t3\r\nTimer\t9\r\nTimer\t 15 \rAutoStart\t\ta\tb \t\r\n"
              "sc_Files\t1\nx\r\nTimer/\t4\r\n"
            + Box + "sc_lastDestination\t/out\r");
    const QString missing = failedBox("imported from", "53", "File not found");
    for (const QString &failure :
        {QString(), missing, failedBox("imported from", "75", "Path/File access error: not a plain file")}) {
        boxes.clear();
        boxes.answerNext(MsgAnswer::Yes);
        sc_ImportSettings();
        EXPECT_EQ(stored({"sc_lastSource", "Timer", "AutoStart", "sc_Files", "#Timer", "sc_lastDestination"}),
            QStringList({"/in", "15", "\ta\tb \t", "1\nx", "-", "/out"}));
        EXPECT_EQ(boxesSeen(boxes), QStringList({ImportQuestion, failure}).mid(0, failure.isEmpty() ? 1 : 2));
        QFile::remove(path);
        if (failure == missing) { // the next row imports a file that cannot be read as one
            ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
    }

    // What the import stored, among others, exported: blanks and tabs kept.
    open({"Größe.doc", "beyond the count"}, "1"); // the window cannot show that AutoStart
    boxes.clear();
    store.set("sc_DefaultFileExt", " *.log ");
    store.set("sc_lastSource", "/a\tb");
    child<QAction>("mnuSettingsExport")->trigger();
    EXPECT_EQ(maskTimes(QString::fromUtf8(readBytes(path))),
        Box + "# This file was created by Marivale Quillfen       #\r\n" + Box + "# Created <now> on "
            + host::computerName() + "\r\n" + Box
            + "sc_Files\t1\r\nTimer\t15\r\nAutoStart\t\ta\tb \t\r\nsc_DefaultFileExt\t *.log \r\n"
              "sc_CompareInterval\t\r\nsc_CompareIntType\t\r\nsc_lastSource\t/a\tb\r\n"
              "sc_lastDestination\t/out\r\nsc_File1\tGröße.doc\r\nsc_Path1\t/s1/\r\nsc_Dest1\t/d1/\r\n"
              "sc_Move1\t1\r\n"
            + Box);

    EXPECT_EQ(
        boxesSeen(boxes), QStringList {"Complete | Settings exported to \r\n" + path + " | Information Ok"});
    ReadOnlyFolder readOnly(store.appFolder()); // the file kept whole is the replacing write's
    if (!readOnly.active())
        GTEST_SKIP() << "cannot make the application folder read-only";
    boxes.clear();
    sc_ExportSettings();
    EXPECT_EQ(boxesSeen(boxes), QStringList {failedBox("exported to", "70", "Permission denied")});
}

} // namespace quillfen::test
