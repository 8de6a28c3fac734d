#include "app/frmMain.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmPreview.h"
#include "platform/host.h"
#include "settings/options_values.h"
#include "support/qt_test_helpers.h"
#include "transfer/journal.h"
#include "transfer/transfer_log.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtWidgets>

namespace quillfen::test {

struct Said
{
    int status = -1;
    QString out, err;
};

// The built program in the test's application folder, so that its log lands where the window's does.
class CommandLine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(store.appFolder()));
        ASSERT_TRUE(QFile::copy(QUILLFEN_BUILD_DIR "/src/app/quillfen", store.appFolder() + "/quillfen"));
    }

    Said quillfen(const QStringList &arguments, const QStringList &unset = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : unset)
            environment.remove(name);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(store.appFolder() + "/quillfen", arguments);
        EXPECT_TRUE(process.waitForFinished(30000)) << "it did not end";
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
    }

    // Two files to move, and one to copy into a folder whose parent is missing, which fails.
    void fixture()
    {
        for (const char *name : {"a.txt", "b.txt", "c.dat"})
            writeAged(src + name, name);
        removeTree(nativePath(dst));
        QFile::remove(logFilePath());
        storeEntries({{"*.txt", src, dst, "1"}, {"c.dat", src, root + "no/such/", "0"}});
        store.set("Timer", "0");
        store.set("AutoStart", "1");
    }

    // The log with times and folders made plain, the files, and the journal's steps.
    QStringList outcome() const
    {
        QStringList seen = {maskTimes(QString::fromUtf8(readBytes(logFilePath()))).replace(root, "/")};
        for (const QString &folder : {src, dst})
            seen << QDir(folder).entryList(QDir::Files).join(' ');
        JournalReader journal;
        journal.rewind();
        for (JournalEntry entry; journal.previous(entry);)
            seen << QString::fromUtf8(entry.source + " " + entry.dest).replace(root, "/");
        return seen;
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString root = store.root() + "/", src = store.scratch("src"), dst = root + "dst/";
};

TEST_F(CommandLine, OptionsAreReadWithoutADisplay)
{
    const QStringList noDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    const struct
    {
        const char *name;
        QStringList arguments;
        int status;
        const char *says;
    } rows[]
        = {{"help", {"--help"}, 0, "Usage: "}, {"unknown", {"--bad"}, 2, "quillfen: Unknown option 'bad'."},
            {"window option", {"-platform", "xcb", "--help"}, 0, "Usage: "}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Said said = quillfen(row.arguments, noDisplay);
        EXPECT_EQ(said.status, row.status);
        EXPECT_TRUE((row.status == 0 ? said.out : said.err).startsWith(row.says));
        for (const char *option : {"--help", "--version", "--preview", "--run", "--undo", "--yes", "--json"})
            EXPECT_TRUE((row.status == 0 ? said.out : said.err).contains(option)) << option;
    }
    const QRegularExpression version("^Quillfen \\d+\\.\\d+\\.\\d+\n$");
    EXPECT_TRUE(version.match(quillfen({"--version"}, noDisplay).out).hasMatch());
}

TEST_F(CommandLine, ARunDoesWhatTheWindowsRunDoes)
{
    fixture();
    const Said said = quillfen({"--run"});
    const QStringList byCommand = outcome();
    fixture();
    {
        Installed<host::setProgramEnder> noEnd([] {});
        frmMain window;
        window.Form_Load();
        window.Timer1_Timer();
        window.Timer2_Timer();
    }
    for (QWidget *notice : QApplication::topLevelWidgets())
        delete qobject_cast<frmDone *>(notice);
    EXPECT_EQ(outcome(), byCommand);
    EXPECT_EQ(said.status, 1);
    EXPECT_EQ(said.err,
        "Error: Path not found (76)\n\nCheck the path to \n" + root
            + "no/such/\nYou may need to create the file manually.\n");
    EXPECT_EQ(said.out, "2 files done, 1 failed, 0 skipped; 10 bytes\n");
}

TEST_F(CommandLine, APreviewListsWhatThePreviewWindowLists)
{
    fixture();
    const Said said = quillfen({"--preview", "--json"});
    OptionsValues values;
    values.load();
    frmPreview window(values.entries, values.interval, values.intervalType, false);
    window.show();
    QCoreApplication::processEvents();
    auto *model = window.findChild<QTableView *>()->model();
    const QStringList lines = said.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), model->rowCount());
    for (int row = 0; row < model->rowCount(); ++row) {
        const QJsonObject listed = QJsonDocument::fromJson(lines[row].toUtf8()).object();
        int column = 0;
        for (const char *key : {"entry", "action", "source", "destination", "size", "verdict", "reason"})
            EXPECT_EQ(
                listed.value(key).toVariant().toString(), model->index(row, column++).data().toString());
    }
    EXPECT_EQ(lines.size(), 3);
}

TEST_F(CommandLine, UndoActsOnlyWithYes)
{
    fixture();
    quillfen({"--run"});
    EXPECT_EQ(quillfen({"--undo"}).status, 0);
    EXPECT_EQ(QDir(dst).entryList(QDir::Files), QStringList({"a.txt", "b.txt"}));
    EXPECT_EQ(quillfen({"--undo", "--yes"}).status, 0);
    EXPECT_EQ(QDir(src).entryList(QDir::Files), QStringList({"a.txt", "b.txt", "c.dat"}));
}

} // namespace quillfen::test
