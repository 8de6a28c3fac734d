#include "app/frmMain.h"
#include "app/message_area.h"
#include "app/startup.h"
#include "dialogs/frmDone.h"
#include "platform/host.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"
#include "transfer/transfer_log.h"

#include <QtWidgets>

using namespace quillfen;
using test::q;

namespace {

class MainWindow : public ::testing::Test
{
protected:
    // Stores the countdown and auto-start and runs the load step.
    void load(const char *timer, const char *autoStart)
    {
        store.set(keys::Timer, timer), store.set(keys::AutoStart, autoStart);
        window = std::make_unique<frmMain>();
        window->Form_Load();
    }
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

TEST_F(MainWindow, TheToggleCountsDownAndTheTickAfterZeroShowsOnlyTheMessages)
{
    load("1", "0");
    EXPECT_EQ(window->windowTitle() + ' ' + state(), "Quillfen 1 up Click to Start|Auto-Start Disabled");
    child<QPushButton>("tglTimer")->click();
    EXPECT_EQ(state(), "1 down counting Click to Stop|Started");
    window->Timer1_Timer();
    window->Timer1_Timer();
    EXPECT_EQ(state(), "0 down armed Click to Stop|Running");
    EXPECT_EQ(child<QTimer>("Timer2")->interval(), 1000);
    for (const char *name : {"tglTimer", "Label1", "Label2", "lblLog", "lblOptions", "lblAbout"})
        EXPECT_TRUE(child(name)->isHidden()) << name;
    EXPECT_TRUE(child("txtMsg")->isVisibleTo(window.get()));
    for (const char *record : {"first\r\n", "second\r\n\tline\r\n"})
        window->putRecord(record);
    EXPECT_EQ(static_cast<MessageArea *>(child<QListView>("txtMsg")->model())->text(),
        "second\n\tline\nfirst\nPlease wait");
}

TEST_F(MainWindow, AboutAndOptionsStopTheCountdownAndRestartItOnlyForAutoStart)
{
    // The link, the stored auto-start, what the Options window leaves stored; the state afterwards.
    const char *rows[][5] = {{"About", "0", "", "", "10 up Click to Start|Stopped"},
        {"About", "1", "", "", "10 down counting Click to Stop|Started"},
        {"Options", "0", "7", "1", "7 down counting Click to Stop|Started"},
        {"Options", "1", "20", "0", "20 up Click to Start|Stopped"}};
    for (const auto &[link, autoStart, timerAfter, autoStartAfter, after] : rows) {
        load("10", autoStart);
        child<QPushButton>("tglTimer")->setChecked(true);
        window->Timer1_Timer();
        if (*timerAfter)
            store.set(keys::Timer, timerAfter), store.set(keys::AutoStart, autoStartAfter);
        QString seen;
        test::onNextModal(
            [&](QWidget *modal) { seen = q(modal->metaObject()->className()) + ' ' + state(); });
        q(link) == "About" ? window->lblAbout_Click() : window->lblOptions_Click();
        EXPECT_EQ(seen + ", " + state(), "frm" + q(link) + " 10 up Click to Start|Stopped, " + after);
    }
    EXPECT_EQ(boxes.texts(), QStringList());
}

TEST_F(MainWindow, TheLogLinkViewsTheLogThenOffersToDeleteIt)
{
    // A folder name that a shell would split, quote and run: nothing runs, the path is one argument.
    const QString folder = store.root() + "/-app \"q\" 'q' ;$(touch INJECTED)\t\nend";
    ASSERT_TRUE(QDir().mkpath(folder));
    host::setApplicationFolderOverride(folder);
    const QString question = "Delete Log | Delete the log file? | Question YesNo";
    QStringList started;
    bool startSucceeds = true;
    host::setProgramStarter([&](const QString &program, const QStringList &arguments) {
        return started << program + '|' + arguments.join('|'), startSucceeds;
    });
    // An application opens the log; clicks, the answer; the question shown, the log kept, the link
    // afterwards ("": hidden).
    const std::tuple<bool, int, MsgAnswer, QString, bool, const char *> rows[]
        = {{true, 2, MsgAnswer::No, question, true, "View Log|View Log File"},
            {true, 2, MsgAnswer::Yes, question, false, ""},
            {false, 1, MsgAnswer::No, "", true, "Delete Log|Delete Log File"}};
    for (const auto &[viewerStarts, clicks, answer, box, kept, link] : rows) {
        test::writeOldFile(logFilePath(), "#log\r\n");
        test::ScriptedMessageBoxes boxes; // answers only this row's question
        started.clear();
        load("10", "0");
        auto *label = child<QLabel>("lblLog");
        startSucceeds = viewerStarts;
        boxes.answerNext(answer);
        for (int click = 0; click < clicks; ++click)
            window->lblLog_Click();
        EXPECT_EQ(started, QStringList {"xdg-open|" + folder + "/filelog.txt"});
        EXPECT_EQ(test::boxesSeen(boxes).join('\n'), box);
        EXPECT_EQ(QFile::exists(logFilePath()), kept);
        // Where no application opens the log, the window shows it itself.
        auto *viewer = window->findChild<QPlainTextEdit *>("txtLog");
        EXPECT_EQ(viewer ? viewer->toPlainText() : "", viewerStarts ? "" : "#log\n");
        EXPECT_EQ(label->isVisibleTo(window.get()) ? label->text() + '|' + label->toolTip() : "", link);
    }
    host::setProgramStarter({});
    EXPECT_FALSE(QFile::exists("INJECTED")) << "something ran in a shell";
}

TEST_F(MainWindow, TheRunShowsTheNoticeAndClosesOrReportsAFailureAndStaysRunningUntilClosed)
{
    const QString from = store.scratch("from"), to = store.scratch("to");
    int programEnds = 0;
    host::setProgramEnder([&] { ++programEnds; });
    // The entry's file, moved; the box, then the state, the files bar, the windows shown and the
    // newest message afterwards. The failed run's window closes minimized: no placement is stored.
    const char *rows[][3]
        = {{"*.dat", "", "0 down Click to Stop|Finished 1/1 %v of %m files, notice, \tTo:   <to>data.dat"},
            {"missing.txt", "Error 53 | Error File not found (53) on Timer2 | Critical Ok",
                "0 down Click to Stop|Running 0/1 Stopped after %v of %m files, main other, Please wait"}};
    for (const auto &[file, box, after] : rows) {
        test::TempStore fresh;
        test::ScriptedMessageBoxes boxes;
        const QString entry[] = {file, from, to, "1"};
        for (int k = 0; k < 4; ++k)
            store.set(keys::entryKey(keys::EntryStems[k], 1), entry[k]);
        store.set(keys::Files, "1");
        test::writeOldFile(from + "data.dat", "data");
        load("0", "1");
        window->setGeometry(120, 90, 480, 300);
        window->show();
        QWidget other;
        other.show();
        const QRect frame = window->frameGeometry();
        window->Timer1_Timer();
        window->Timer2_Timer();
        const auto *bar = child<QProgressBar>("prgFiles");
        const auto *messages = static_cast<MessageArea *>(child<QListView>("txtMsg")->model());
        QString shown = QString(window->isVisible() ? "main " : "") + (other.isVisible() ? "other" : "");
        for (QWidget *notice : QApplication::topLevelWidgets())
            shown += qobject_cast<frmDone *>(notice) && notice->isVisible() ? "notice" : "";
        EXPECT_EQ(state() + QString(" %1/%2 ").arg(bar->value()).arg(bar->maximum()) + bar->format() + ", "
                + shown + ", " + messages->text().section('\n', 0, 0).replace(to, "<to>"),
            after);
        EXPECT_EQ(test::boxesSeen(boxes).join('\n'), box);
        // The failed run's Options values stay open until the window closes, and are saved then.
        store.set(keys::Timer, "9");
        window->setWindowState(Qt::WindowMinimized);
        window->close();
        EXPECT_EQ(store.value(keys::Timer) + ' ' + QString::number(programEnds), *box ? "0 0" : "9 0");
        const keys::Key placement[] = {keys::MainLeft, keys::MainTop, keys::MainWidth, keys::MainHeight};
        const int pixels[] = {frame.x(), frame.y(), frame.width(), frame.height()};
        for (int k = 0; k < 4; ++k) // the same dots per inch both ways here
            EXPECT_EQ(store::get(placement[k]),
                *box ? "" : QString::number(pixels[k] * 1440 / window->logicalDpiX()));
        for (QWidget *notice : QApplication::topLevelWidgets())
            delete qobject_cast<frmDone *>(notice); // without ending the program
    }
    host::setProgramEnder({});
}

TEST(MessageAreaLines, NewestRecordsFirstAndOnlyTheNewestOnceTheBoundIsReached)
{
    MessageArea area;
    area.setBound(3);
    area.setLogPath("/app/filelog.txt");
    area.setText("Please wait");
    const QString note
        = "\u2026 older records are no longer shown here; the log holds them all: /app/filelog.txt";
    // records put, then the lines shown
    const std::pair<int, QString> rows[] = {{2, "2a\n2b\n1a\n1b\nPlease wait"},
        {3, "5a\n5b\n4a\n4b\n3a\n3b\n" + note}, {4, "9a\n9b\n8a\n8b\n7a\n7b\n" + note}};
    int record = 0;
    for (const auto &[records, shown] : rows) {
        for (int k = 0; k < records; ++k, ++record)
            area.putRecord(QString("%1a\r\n%1b\r\n").arg(record + 1));
        area.publish();
        EXPECT_EQ(area.text(), shown);
    }
}

// Notes the start's windows as they show and hide, and the main window as the splash goes;
// closes the Options window as soon as it shows (without an entry added).
struct Journal : QObject
{
    QStringList events;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QString name = watched->metaObject()->className();
        const bool show = event->type() == QEvent::Show;
        if (!name.startsWith("frm") || !static_cast<QWidget *>(watched)->isWindow()
            || (!show && event->type() != QEvent::Hide))
            return false;
        events << (show ? "show " : "hide ") + name;
        if (show && name == "frmOptions")
            QMetaObject::invokeMethod(watched, "close", Qt::QueuedConnection);
        for (QWidget *main : QApplication::topLevelWidgets())
            if (!show && name == "frmSplash" && qobject_cast<frmMain *>(main))
                events.last() += QString(main->isVisible() ? " (main shown " : " (main hidden ")
                    + main->findChild<QPushButton *>("tglTimer")->text() + ")";
        return false;
    }
};

TEST(Startup, ShowsTheSplashOpensOptionsOnlyWhenNotConfiguredAndShowsTheLoadedMainWindow)
{
    // The stored count and countdown ("-": absent), and whether Options opens.
    const std::tuple<const char *, const char *, bool> rows[] = {{"0", "10", true}, {"3", "-", true},
        {"-", "10", true}, {"3", "10", false}, {" ", "10", false}, {"00", "10", false}};
    for (const auto &[files, timer, opens] : rows) {
        test::TempStore store;
        test::ScriptedMessageBoxes boxes;
        for (const auto &[key, value] : {std::pair(keys::Files, files), std::pair(keys::Timer, timer)})
            if (q(value) != "-")
                store.set(key, value);
        Journal journal;
        qApp->installEventFilter(&journal);
        QPointer<frmMain> main = app::runStartup();
        qApp->removeEventFilter(&journal);
        EXPECT_TRUE(main && main->isVisible() && boxes.shown().isEmpty());
        delete main;
        EXPECT_EQ(journal.events.join('|'),
            QString("show frmSplash|") + (opens ? "show frmOptions|hide frmOptions|" : "")
                + "hide frmSplash (main hidden 10)|show frmMain")
            << files << " / " << timer;
    }
}

} // namespace
