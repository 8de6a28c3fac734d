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
#include "support/temp_store.h"
#include "transfer/transfer_log.h"

#include <QAccessible>
#include <QProcess>
#include <QtWidgets>

using namespace quillfen;
using test::q;

namespace {

class MainWindow : public ::testing::Test
{
protected:
    template<typename T = QWidget>
    T *child(const char *name) const
    {
        return window->findChild<T *>(name);
    }
    // Caption, toggle, timers, tooltip and status, e.g. "10 down counting Click to Stop|Started".
    QString state() const
    {
        const auto *toggle = child<QPushButton>("tglTimer");
        return toggle->text() + (toggle->isChecked() ? " down " : " up ")
            + (child<QTimer>("Timer1")->isActive() ? "counting " : "")
            + (child<QTimer>("Timer2")->isActive() ? "armed " : "") + toggle->toolTip() + '|'
            + window->statusText();
    }

    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    std::unique_ptr<frmMain> window;
};

TEST_F(MainWindow, TheCountdownObeysItsToggleAndLinks)
{
    // A folder name that a shell would split, quote and run: the path is one argument.
    const QString folder = store.root() + "/-app \"q\" 'q' ;$(touch INJECTED)\t\nend";
    ASSERT_TRUE(QDir().mkpath(folder));
    host::setApplicationFolderOverride(folder);
    test::writeAged(logFilePath(), "#log\r\n");
    QStringList started;
    bool viewerStarts = true;
    host::setProgramStarter([&](const QString &program, const QStringList &arguments) {
        return started << program + '|' + arguments.join('|'), viewerStarts;
    });
    store.set(keys::Timer, "10"), store.set(keys::AutoStart, "0");
    window = std::make_unique<frmMain>(), window->Form_Load();
    EXPECT_EQ(window->windowTitle() + ' ' + state(), "Quillfen 10 up Click to Start|Auto-Start Disabled");
    // Whether an application opens the log, the answer to the question at the second click; the
    // boxes, the log, the window's own viewer and the link afterwards ("": hidden).
    const std::tuple<bool, MsgAnswer, QString> logClicks[]
        = {{true, MsgAnswer::No, "|#log\r\n||View Log|View Log File"},
            {false, MsgAnswer::No, "|#log\r\n|#log\n|View Log|View Log File"},
            {true, MsgAnswer::Yes, "|<none>|#log\n|"}};
    for (const auto &[starts, answer, after] : logClicks) {
        viewerStarts = starts, boxes.clear(), boxes.answerNext(answer);
        window->lblLog_Click(), window->lblLog_Click();
        const auto *viewer = window->findChild<QPlainTextEdit *>("txtLog");
        const auto *label = child<QLabel>("lblLog");
        const QString link = label->isVisibleTo(window.get()) ? label->text() + '|' + label->toolTip() : "";
        EXPECT_EQ(test::boxesSeen(boxes).join('\n') + '|' + test::readBytes(logFilePath()) + '|'
                + (viewer ? viewer->toPlainText() : "") + '|' + link,
            "Delete Log | Delete the log file? | Question YesNo" + after);
    }
    host::setProgramStarter({});
    EXPECT_EQ(started, QStringList(3, "xdg-open|" + folder + "/filelog.txt"));

    auto *toggle = child<QPushButton>("tglTimer");
    toggle->click();
    EXPECT_EQ(state(), "10 down counting Click to Stop|Started");
    // One tick into the countdown, the link, and what the Options window leaves stored (countdown,
    // auto-start); whether it counts while the window is open, and the state afterwards: the
    // links stop the countdown, back at its start, and start it again only for auto-start.
    const char *links[][4] = {{"About", "", "", "stopped, 10 up Click to Start|Stopped"},
        {"Options", "7", "1", "stopped, 7 down counting Click to Stop|Started"},
        {"About", "", "", "stopped, 7 down counting Click to Stop|Started"},
        {"Options", "1", "0", "stopped, 1 up Click to Start|Stopped"}};
    for (const auto &[link, timer, autoStart, seenAndAfter] : links) {
        toggle->setChecked(true);
        window->Timer1_Timer();
        if (*timer)
            store.set(keys::Timer, timer), store.set(keys::AutoStart, autoStart);
        bool counting = true;
        test::onNextModal([&](QWidget *) { counting = toggle->isChecked(); });
        q(link) == "About" ? window->lblAbout_Click() : window->lblOptions_Click();
        EXPECT_EQ(QString(counting ? "counting, " : "stopped, ") + state(), seenAndAfter);
    }

    toggle->click();
    window->Timer1_Timer(), window->Timer1_Timer();
    EXPECT_EQ(state() + QString::number(child<QTimer>("Timer2")->interval()),
        "0 down armed Click to Stop|Running1000");
    for (const char *name : {"tglTimer", "Label1", "Label2", "lblLog", "lblOptions", "lblAbout", "txtMsg"})
        EXPECT_EQ(child(name)->isVisibleTo(window.get()), name == q("txtMsg")) << name;
    auto *area = static_cast<MessageArea *>(child<QListView>("txtMsg")->model());
    window->putRecord("1a\r\n\t1b\r\n");
    EXPECT_EQ(area->text(), "1a\n\t1b\nPlease wait") << "shown at once";
}

TEST_F(MainWindow, ARunEndsInTheNoticeOrStaysOpenOnAFailure)
{
    const QString from = store.scratch("from"), to = store.scratch("to");
    host::setProgramEnder([] {}); // the notice ends the program
    // The entry's file and whether the run fails; the state, files bar, windows shown, newest message
    // and boxes afterwards. The failed run's window closes minimized: no placement is stored. It
    // counts 1,200 entries, whose count the bar writes as the locale does.
    const std::tuple<const char *, bool, QString> rows[] = {
        {"*.dat", false, "0 down Click to Stop|Finished 1/1 1 of 1 files, notice, \tTo:   <to>data.dat, "},
        {"missing.txt", true,
            "0 down Click to Stop|Running 0/1200 Stopped after 0 of 1,200 files, main other, Please wait, "
            "Error 53 | Error File not found (53) on Timer2 | Critical Ok"}};
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const auto &[file, failed, after] : rows) {
        test::TempStore fresh;
        test::ScriptedMessageBoxes boxes;
        store.set("sc_File1", file), store.set("sc_Path1", from), store.set("sc_Dest1", to);
        store.set("sc_Files", failed ? "1200" : "1");
        store.set("sc_Move1", "1"), store.set("Timer", "0"), store.set("AutoStart", "1");
        test::writeAged(from + "data.dat", "data");
        window = std::make_unique<frmMain>(), window->Form_Load();
        window->setGeometry(120, 90, 480, 300), window->show();
        QWidget other; // closed with the main window
        other.show();
        const QRect frame = window->frameGeometry();
        window->Timer1_Timer(), window->Timer2_Timer();
        const auto *bar = child<QProgressBar>("prgFiles");
        const auto *messages = static_cast<MessageArea *>(child<QListView>("txtMsg")->model());
        QString shown = QString(window->isVisible() ? "main " : "") + (other.isVisible() ? "other" : "");
        for (QWidget *notice : QApplication::topLevelWidgets())
            shown += qobject_cast<frmDone *>(notice) && notice->isVisible() ? "notice" : "";
        EXPECT_EQ(state() + QString(" %1/%2 ").arg(bar->value()).arg(bar->maximum()) + bar->format() + ", "
                + shown + ", " + messages->text().section('\n', 0, 0).replace(to, "<to>") + ", "
                + test::boxesSeen(boxes).join('\n'),
            after);
        // The failed run's Options values stay open until the window closes, and are saved then.
        store.set(keys::Timer, "9");
        window->setWindowState(Qt::WindowMinimized);
        window->close();
        EXPECT_EQ(store.value(keys::Timer), failed ? "0" : "9");
        const std::pair<keys::Key, int> placement[] = {{keys::MainLeft, frame.x()},
            {keys::MainTop, frame.y()}, {keys::MainWidth, frame.width()}, {keys::MainHeight, frame.height()}};
        for (const auto &[key, pixels] : placement) // the same dots per inch both ways here
            EXPECT_EQ(store::get(key), failed ? "" : QString::number(pixels * 1440 / window->logicalDpiX()));
        for (QWidget *notice : QApplication::topLevelWidgets())
            delete qobject_cast<frmDone *>(notice); // without ending the program
    }
    QLocale::setDefault(before);
    host::setProgramEnder({});
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
    test::TempStore store;
    EntryList entries;
    frmFileSelect editor(entries);
    // Each window traces as its own name.
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

TEST(Accessibility, TabVisitsTheOptionsAndEditorControlsInOrder)
{
    test::TempStore store;
    EntryList entries;
    frmOptions options;
    frmFileSelect editor(entries);
    for (const auto &[window, order] :
        {std::pair<QWidget *, const char *>(&options,
             "cboTimer chkAutoStart txtExt txtInterval txtIntType lstFiles cmdFile cmdRemove cmdClose"),
            {&editor,
                "cmdFile txtFile txtPath txtDest cmdDest chkMove cboConflict cboDateFolders cmdOK "
                "cmdCancel"}}) {
        QStringList tabbed;
        for (QWidget *widget = window->nextInFocusChain(); widget != window;
             widget = widget->nextInFocusChain()) {
            if ((widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy()
                && widget->isVisibleTo(window))
                tabbed << widget->objectName();
        }
        EXPECT_EQ(tabbed.join(' '), order);
    }
}

TEST(Startup, OpensOptionsOnlyWhenNotConfiguredAndShowsTheLoadedMainWindow)
{
    // The stored count and countdown ("-": absent); a configured start is the end-to-end run's.
    for (const auto &[files, timer] : {std::pair("0", "10"), std::pair("3", "-"), std::pair("-", "10")}) {
        test::TempStore store;
        test::ScriptedMessageBoxes boxes;
        for (const auto &[key, value] : {std::pair(keys::Files, files), std::pair(keys::Timer, timer)})
            if (q(value) != "-")
                store.set(key, value);
        bool opened = false;
        QTimer closer; // closes the Options window as soon as it shows
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto *options = qobject_cast<frmOptions *>(QApplication::activeModalWidget()))
                opened = true, options->close();
        });
        closer.start(0);
        QPointer<frmMain> main = app::runStartup();
        SCOPED_TRACE(std::string(files) + " / " + timer);
        EXPECT_TRUE(opened);
        ASSERT_TRUE(main);
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(boxes.shown().size(), 0);
        EXPECT_EQ(main->findChild<QPushButton *>("tglTimer")->text(), "10");
        delete main;
    }
}

TEST(EndToEnd, TheProgramTransfersLogsAndEndsByItself)
{
    test::TempStore store;
    // The program's folder is its application folder: the log lands beside the copy.
    const QString folder = store.scratch("program"), from = store.scratch("from"), to = store.scratch("to");
    ASSERT_TRUE(QFile::copy(QUILLFEN_BUILD_DIR "/src/app/quillfen", folder + "quillfen"));
    test::writeAged(from + "a.dat", "a");
    store.set("sc_File1", "*.dat"), store.set("sc_Path1", from), store.set("sc_Dest1", to);
    store.set("sc_Move1", "1"), store.set("sc_Files", "1"), store.set("Timer", "0"),
        store.set("AutoStart", "1");

    QProcess process; // on the tests' platform, offscreen unless chosen otherwise
    process.start(folder + "quillfen", {});
    ASSERT_TRUE(process.waitForFinished(30000)) << "the program did not end after its run";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(to + "a.dat"));
    EXPECT_TRUE(test::readBytes(folder + "filelog.txt").contains("Move File successful"));
}

} // namespace
