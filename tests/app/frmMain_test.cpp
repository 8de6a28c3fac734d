#include "app/frmMain.h"
#include "app/message_area.h"
#include "app/startup.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmFileSelect.h"
#include "dialogs/frmLogView.h"
#include "dialogs/frmPreview.h"
#include "dialogs/frmSearch.h"
#include "dialogs/frmSplash.h"
#include "options/frmOptions.h"
#include "platform/host.h"
#include "settings/store.h"
#include "support/qt_test_helpers.h"
#include "transfer/transfer_log.h"

#include <QAccessible>
#include <QProcess>
#include <QtWidgets>

namespace quillfen::test {

class MainWindow : public ::testing::Test
{
protected:
    template<typename T = QWidget>
    T *child(const char *name) const
    {
        return window->findChild<T *>(name);
    }
    // Caption, toggle, the countdown's and the run's timers, tooltip and status.
    QStringList state() const
    {
        const auto *toggle = child<QPushButton>("tglTimer");
        return {toggle->text(), toggle->isChecked() ? "down" : "up",
            child<QTimer>("Timer1")->isActive() ? "counting" : "",
            child<QTimer>("Timer2")->isActive() ? "armed" : "", toggle->toolTip(), window->statusText()};
    }
    void load(const char *timer, const char *autoStart)
    {
        store.set(keys::Timer, timer);
        store.set(keys::AutoStart, autoStart);
        window = std::make_unique<frmMain>();
        window->Form_Load();
    }
    void countToZero()
    {
        load("1", "0");
        child<QPushButton>("tglTimer")->click();
        window->Timer1_Timer();
        window->Timer1_Timer();
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<frmMain> window;
};

TEST_F(MainWindow, TheLogLinkShowsTheLogThenOffersToDeleteIt)
{
    // A folder name that a shell would split, quote and run: the path is one argument.
    const QString folder = store.root() + "/-app \"q\" 'q' ;$(touch INJECTED)\t\nend";
    ASSERT_TRUE(QDir().mkpath(folder));
    Installed<host::setApplicationFolderOverride> appFolder(folder);
    writeAged(logFilePath(), "#log\r\n");
    QStringList started;
    bool viewerStarts = true;
    Installed<host::setProgramStarter> starter([&](const QString &program, const QStringList &arguments) {
        started << program << arguments;
        return viewerStarts;
    });
    load("10", "0");
    EXPECT_EQ(state(), QStringList({"10", "up", "", "", "Click to Start", "Auto-Start Disabled"}));
    EXPECT_EQ(child<QLabel>("lblLog")->text(), "View Log");
    EXPECT_EQ(child<QLabel>("lblLog")->toolTip(), "View Log File");
    const struct
    {
        const char *name;
        bool viewerStarts;
        MsgAnswer answer;
        QByteArray log;
        QString viewer;
        bool linkShown;
    } rows[] = {{"kept", true, MsgAnswer::No, "#log\r\n", "", true},
        {"shown by the window", false, MsgAnswer::No, "#log\r\n", "#log\n", true},
        {"deleted", true, MsgAnswer::Yes, "<none>", "#log\n", false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        viewerStarts = row.viewerStarts;
        boxes.clear();
        boxes.answerNext(row.answer);
        window->lblLog_Click();
        window->lblLog_Click();
        const auto *viewer = window->findChild<QPlainTextEdit *>("txtLog");
        EXPECT_EQ(boxesSeen(boxes), QStringList {"Delete Log | Delete the log file? | Question YesNo"});
        EXPECT_EQ(readBytes(logFilePath()), row.log);
        EXPECT_EQ(viewer ? viewer->toPlainText() : "", row.viewer);
        EXPECT_EQ(child<QLabel>("lblLog")->isVisibleTo(window.get()), row.linkShown);
        EXPECT_EQ(std::exchange(started, {}), QStringList({"xdg-open", folder + "/filelog.txt"}));
    }
}

TEST_F(MainWindow, ALinkRestartsTheCountdownOnlyForAutoStart)
{
    load("10", "0");
    auto *toggle = child<QPushButton>("tglTimer");
    toggle->click();
    EXPECT_EQ(state(), QStringList({"10", "down", "counting", "", "Click to Stop", "Started"}));
    const QStringList stopped = {"up", "", "", "Click to Start", "Stopped"};
    const QStringList counting = {"down", "counting", "", "Click to Stop", "Started"};
    const struct
    {
        const char *name;
        bool options;
        const char *timer, *autoStart; // what the Options window leaves stored; nullptr: nothing
        const char *seconds;
        bool counts;
    } rows[] = {{"about", false, nullptr, nullptr, "10", false},
        {"options, auto-start", true, "7", "1", "7", true},
        {"about, auto-start", false, nullptr, nullptr, "7", true}, {"options", true, "1", "0", "1", false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        toggle->setChecked(true);
        window->Timer1_Timer();
        if (row.timer) {
            store.set(keys::Timer, row.timer);
            store.set(keys::AutoStart, row.autoStart);
        }
        bool counted = true;
        onNextModal([&](QWidget *) { counted = toggle->isChecked(); });
        if (row.options)
            window->lblOptions_Click();
        else
            window->lblAbout_Click();
        EXPECT_FALSE(counted) << "counted while the window was open";
        EXPECT_EQ(state()[0], row.seconds);
        EXPECT_EQ(state().mid(1), row.counts ? counting : stopped);
    }
}

TEST_F(MainWindow, AtZeroTheRunIsArmed)
{
    countToZero();
    EXPECT_EQ(state(), QStringList({"0", "down", "", "armed", "Click to Stop", "Running"}));
    EXPECT_EQ(child<QTimer>("Timer2")->interval(), 1000);
}

TEST_F(MainWindow, ARunShowsOnlyItsMessages)
{
    countToZero();
    for (const char *name : {"tglTimer", "Label1", "Label2", "lblLog", "lblOptions", "lblAbout", "txtMsg"})
        EXPECT_EQ(child(name)->isVisibleTo(window.get()), name == q("txtMsg")) << name;
    auto *area = static_cast<MessageArea *>(child<QListView>("txtMsg")->model());
    window->putRecord("1a\r\n\t1b\r\n");
    EXPECT_EQ(area->text(), "1a\n\t1b\nPlease wait") << "shown at once";
}

TEST_F(MainWindow, ARunEndsInTheNoticeUnlessItFails)
{
    const QString from = store.scratch("from"), to = store.scratch("to");
    Installed<host::setProgramEnder> noEnd([] {});
    // Closed minimized after a failed run, it stores no placement; the bar writes the count of its
    // 1,200 entries as the locale does.
    const struct
    {
        const char *name, *file, *count, *status;
        int done, planned;
        const char *bar;
        QString message;
        bool failed;
    } rows[] = {{"done", "*.dat", "1", "Finished", 1, 1, "1 of 1 files", "\tTo:   " + to + "data.dat", false},
        {"failed", "missing.txt", "1200", "Running", 0, 1200, "Stopped after 0 of 1,200 files", "Please wait",
            true}};
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempStore fresh;
        ScriptedMessageBoxes boxes;
        storeEntries({{row.file, from, to, "1"}});
        store.set(keys::Files, row.count);
        writeAged(from + "data.dat", "data");
        load("0", "1");
        window->setGeometry(120, 90, 480, 300);
        window->show();
        QWidget other; // closed with the main window
        other.show();
        const QRect frame = window->frameGeometry();
        window->Timer1_Timer();
        window->Timer2_Timer();
        const auto *bar = child<QProgressBar>("prgFiles");
        EXPECT_EQ(state(), QStringList({"0", "down", "", "", "Click to Stop", row.status}));
        EXPECT_EQ(bar->value(), row.done);
        EXPECT_EQ(bar->maximum(), row.planned);
        EXPECT_EQ(bar->format(), row.bar);
        EXPECT_EQ(window->isVisible(), row.failed);
        EXPECT_EQ(other.isVisible(), row.failed);
        int notices = 0;
        for (QWidget *notice : QApplication::topLevelWidgets())
            notices += qobject_cast<frmDone *>(notice) && notice->isVisible();
        EXPECT_EQ(notices, !row.failed);
        const auto *messages = static_cast<MessageArea *>(child<QListView>("txtMsg")->model());
        EXPECT_EQ(messages->text().section('\n', 0, 0), row.message);
        EXPECT_EQ(boxesSeen(boxes),
            QStringList(row.failed, "Error 53 | Error File not found (53) on Timer2 | Critical Ok"));
        // The failed run's Options values stay open until the window closes, and are saved then.
        store.set(keys::Timer, "9");
        window->setWindowState(Qt::WindowMinimized);
        window->close();
        EXPECT_EQ(store.value(keys::Timer), row.failed ? "0" : "9");
        const std::pair<keys::Key, int> placement[] = {{keys::MainLeft, frame.x()},
            {keys::MainTop, frame.y()}, {keys::MainWidth, frame.width()}, {keys::MainHeight, frame.height()}};
        for (const auto &[key, pixels] : placement) { // the same dots per inch both ways here
            const QString stored = QString::number(pixels * 1440 / window->logicalDpiX());
            EXPECT_EQ(store::get(key), row.failed ? "" : stored);
        }
        for (QWidget *notice : QApplication::topLevelWidgets())
            delete qobject_cast<frmDone *>(notice); // without ending the program
    }
    QLocale::setDefault(before);
}

// The controls of `window` that hold the focus, or show progress, with no word for a screen reader:
// no letter in their name nor in the label bound to it ("..." and "10" say nothing).
QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        QAccessibleInterface *control = QAccessible::queryAccessibleInterface(widget);
        QString words = control->text(QAccessible::Name);
        for (const auto &[label, relation] : control->relations(QAccessible::Label))
            words += label->text(QAccessible::Name);
        const bool focus = (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
        const bool reached
            = control->role() == QAccessible::ProgressBar || (focus && widget->window() == window);
        if (reached && !words.contains(QRegularExpression("\\p{L}")))
            unnamed << widget->objectName();
    }
    return unnamed;
}

TEST(Accessibility, EveryWindowNamesEachControlItsUserReaches)
{
    TempStore store;
    EntryList entries;
    frmFileSelect editor(entries);
    const std::function<QWidget *()> windows[] = {[] { return new frmMain; }, [] { return new frmOptions; },
        [&] { return new frmFileSelect(entries); }, [&] { return new frmSearch(&editor); },
        [] { return new frmPreview({}, "1", "h", false); }, [] { return new frmLogView("filelog.txt"); },
        [] { return new frmAbout; }, [] { return new frmSplash; }, [] { return new frmDone; }};
    for (const auto &open : windows) {
        const std::unique_ptr<QWidget> window(open());
        SCOPED_TRACE(qPrintable(window->objectName()));
        EXPECT_EQ(unnamedControls(window.get()), QStringList());
    }
}

TEST(Accessibility, TabVisitsTheControlsInOrder)
{
    TempStore store;
    EntryList entries;
    frmOptions options;
    frmFileSelect editor(entries);
    const struct
    {
        QWidget *window;
        QStringList order;
    } rows[] = {{&options,
                    {"cboTimer", "chkAutoStart", "txtExt", "txtInterval", "txtIntType", "lstFiles", "cmdFile",
                        "cmdRemove", "cmdClose"}},
        {&editor,
            {"cmdFile", "txtFile", "txtPath", "txtDest", "cmdDest", "chkMove", "cboConflict",
                "cboDateFolders", "cmdOK", "cmdCancel"}}};
    for (const auto &[window, order] : rows) {
        SCOPED_TRACE(qPrintable(window->objectName()));
        QStringList tabbed;
        for (QWidget *widget = window->nextInFocusChain(); widget != window;
             widget = widget->nextInFocusChain()) {
            if ((widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy()
                && widget->isVisibleTo(window))
                tabbed << widget->objectName();
        }
        EXPECT_EQ(tabbed, order);
    }
}

TEST(Startup, AnUnconfiguredStartOpensTheOptionsFirst)
{
    // A configured start is the end-to-end run's.
    const struct
    {
        const char *name, *files, *timer; // nullptr: absent
    } rows[] = {{"no entries", "0", "10"}, {"no countdown", "3", nullptr}, {"no count", nullptr, "10"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempStore store;
        ScriptedMessageBoxes boxes;
        for (const auto &[key, value] :
            {std::pair(keys::Files, row.files), std::pair(keys::Timer, row.timer)})
            if (value)
                store.set(key, value);
        bool opened = false;
        QTimer closer; // closes the Options window as soon as it shows
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto *options = qobject_cast<frmOptions *>(QApplication::activeModalWidget())) {
                opened = true;
                options->close();
            }
        });
        closer.start(0);
        QPointer<frmMain> main = app::runStartup();
        EXPECT_TRUE(opened);
        ASSERT_TRUE(main);
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(boxes.shown().size(), 0);
        EXPECT_EQ(main->findChild<QPushButton *>("tglTimer")->text(), "10");
        delete main;
    }
}

TEST(EndToEnd, TheProgramRunsUnattended)
{
    TempStore store;
    // The program's folder is its application folder: the log lands beside the copy.
    const QString folder = store.scratch("program"), from = store.scratch("from"), to = store.scratch("to");
    ASSERT_TRUE(QFile::copy(QUILLFEN_BUILD_DIR "/src/app/quillfen", folder + "quillfen"));
    writeAged(from + "a.dat", "a");
    storeEntries({{"*.dat", from, to, "1"}});
    store.set(keys::Timer, "0");
    store.set(keys::AutoStart, "1");

    QProcess process; // on the tests' platform, offscreen unless chosen otherwise
    process.start(folder + "quillfen", {});
    ASSERT_TRUE(process.waitForFinished(30000)) << "the program did not end after its run";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(to + "a.dat"));
    EXPECT_TRUE(readBytes(folder + "filelog.txt").contains("Move File successful"));
}

} // namespace quillfen::test
