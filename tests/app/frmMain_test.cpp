#include "app/frmMain.h"
#include "app/message_area.h"
#include "dialogs/frmDone.h"
#include "platform/host.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"
#include "transfer/transfer_log.h"

#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

using namespace quillfen;
using test::q;

namespace {

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host::setProgramStarter([this](const QString &program, const QStringList &arguments) {
            started.append(program + q(" ") + arguments.join(q(" ")));
            return startSucceeds;
        });
        host::setProgramEnder([this] { ++programEnds; });
    }

    void TearDown() override
    {
        window.reset();
        for (QWidget *widget : QApplication::topLevelWidgets())
            widget->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        host::setProgramStarter({});
        host::setProgramEnder({});
    }

    // Stores the given values and runs the load step.
    void load(const char *timer, const char *autoStart)
    {
        store.set(keys::Timer, q(timer));
        store.set(keys::AutoStart, q(autoStart));
        window = std::make_unique<frmMain>();
        window->Form_Load();
    }

    template<typename T = QWidget>
    T *child(const char *name) const
    {
        T *found = window->findChild<T *>(q(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QPushButton *toggle() const { return child<QPushButton>("tglTimer"); }
    QString messages() const
    {
        return static_cast<const MessageArea *>(child<QListView>("txtMsg")->model())->text();
    }
    // Caption, toggle, timers and status in one line, e.g. "10 down counting Started".
    QString state() const
    {
        return toggle()->text() + (toggle()->isChecked() ? q(" down") : q(" up"))
            + (child<QTimer>("Timer1")->isActive() ? q(" counting") : q(""))
            + (child<QTimer>("Timer2")->isActive() ? q(" armed ") : q(" ")) + window->statusText();
    }
    static bool noticeShown()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<frmDone *>(widget) && widget->isVisible())
                return true;
        return false;
    }

    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    std::unique_ptr<frmMain> window;
    QStringList started;
    bool startSucceeds = true;
    int programEnds = 0;
};

TEST_F(MainWindow, ControlsShowTheirTextsAndTheClock)
{
    const QString before = host::nowText();
    load("10", "0");
    const QString after = host::nowText();
    EXPECT_EQ(window->windowTitle(), q("Quillfen"));
    const char *rows[][3] = {{"lblLog", "View Log", "View Log File"}, {"lblOptions", "Options", "Options"},
        {"lblAbout", "About", "About"}, {"Label1", "Application will commence in ", ""},
        {"Label2", "seconds", ""}};
    for (const auto &row : rows)
        EXPECT_EQ(child<QLabel>(row[0])->text() + q("|") + child<QLabel>(row[0])->toolTip(),
            q(row[1]) + q("|") + q(row[2]));
    EXPECT_TRUE(toggle()->isCheckable() && toggle()->font().bold() && child("txtMsg")->isHidden()
        && child("lblLog")->isHidden() && child("sbStatusBar"));
    EXPECT_EQ(window->statusText(), q("Auto-Start Disabled"));
    // The date and time panels read as this moment's date and time text, and keep current.
    const QString shown = child<QLabel>("pnlDate")->text() + q(" ") + child<QLabel>("pnlTime")->text();
    EXPECT_TRUE(shown == before || shown == after) << qPrintable(shown);
    EXPECT_TRUE(child<QTimer>("timClock")->isActive());
}

TEST_F(MainWindow, TheToggleShowsTheCountdownAndTheTickAfterZeroShowsOnlyTheMessages)
{
    load("1", "1");
    EXPECT_EQ(state(), q("1 down counting Auto-Start Enabled"));
    EXPECT_EQ(toggle()->toolTip(), q("Click to Stop"));
    window->Timer1_Timer();
    EXPECT_EQ(state(), q("0 down counting Auto-Start Enabled"));
    window->Timer1_Timer();
    EXPECT_EQ(state(), q("0 down armed Running"));
    for (const char *name : {"tglTimer", "Label1", "Label2", "lblLog", "lblOptions", "lblAbout"})
        EXPECT_TRUE(child(name)->isHidden()) << name;
    EXPECT_FALSE(child("txtMsg")->isHidden());
    EXPECT_TRUE(child<QTimer>("Timer2")->isSingleShot() && child<QTimer>("Timer2")->interval() == 1000);
    // Records go on top of the messages.
    for (const char *record : {"first\r\n", "second\r\n\tline\r\n", "third\r\n\r\n\r\n"})
        window->putRecord(q(record));
    EXPECT_EQ(messages(), q("third\n\n\nsecond\n\tline\nfirst\nPlease wait"));
}

TEST_F(MainWindow, AboutAndOptionsStopTheCountdownAndRestartItOnlyForAutoStart)
{
    const struct
    {
        const char *link, *autoStart;
        const char *timerAfter, *autoStartAfter; // what the Options window leaves stored
        const char *after;
    } rows[] = {{"About", "0", nullptr, nullptr, "10 up Stopped"},
        {"About", "1", nullptr, nullptr, "10 down counting Started"},
        {"Options", "0", "7", "1", "7 down counting Started"}, {"Options", "1", "20", "0", "20 up Stopped"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.after);
        test::TempStore fresh;
        test::ScriptedMessageBoxes boxes;
        load("10", row.autoStart);
        toggle()->setChecked(true);
        window->Timer1_Timer();
        if (row.timerAfter) {
            store.set(keys::Timer, q(row.timerAfter));
            store.set(keys::AutoStart, q(row.autoStartAfter));
        }
        QString seen;
        test::onNextModal([&](QWidget *modal) {
            seen = q(modal->metaObject()->className()) + q(" ") + state() + q(", ") + toggle()->toolTip();
        });
        q(row.link) == q("About") ? window->lblAbout_Click() : window->lblOptions_Click();
        EXPECT_EQ(seen, q("frm") + q(row.link) + q(" 10 up Stopped, Click to Start"));
        EXPECT_EQ(state(), q(row.after));
        EXPECT_EQ(boxes.texts(), QStringList());
    }
}

TEST_F(MainWindow, LogLinkViewsTheLogThenOffersToDeleteIt)
{
    const QString question = q("Delete Log | Delete the log file? | Question YesNo");
    const struct
    {
        bool viewerStarts;
        int clicks;
        MsgAnswer answer; // to the delete question
        QString box; // empty: none
        bool fileKept;
        const char *link; // caption|tooltip; nullptr: hidden
    } rows[] = {{true, 1, MsgAnswer::No, {}, true, "Delete Log|Delete Log File"},
        {true, 2, MsgAnswer::No, question, true, "View Log|View Log File"},
        {true, 2, MsgAnswer::Yes, question, false, nullptr},
        {false, 1, MsgAnswer::No, {}, true, "Delete Log|Delete Log File"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.link);
        test::writeOldFile(logFilePath(), "#log\r\n");
        test::ScriptedMessageBoxes boxes;
        started.clear();
        load("10", "0");
        startSucceeds = row.viewerStarts;
        boxes.answerNext(row.answer);
        for (int click = 0; click < row.clicks; ++click)
            window->lblLog_Click();
        EXPECT_EQ(started, QStringList {q("xdg-open ") + logFilePath()});
        EXPECT_EQ(test::boxesSeen(boxes).join(q("\n")), row.box);
        EXPECT_EQ(QFile::exists(logFilePath()), row.fileKept);
        // Where no application opens the log, the window shows it itself.
        auto *viewer = window->findChild<QPlainTextEdit *>(q("txtLog"));
        EXPECT_EQ(viewer ? viewer->toPlainText() : QString(), row.viewerStarts ? QString() : q("#log\n"));
        if (viewer)
            delete viewer->window();
        EXPECT_EQ(child("lblLog")->isVisibleTo(window.get())
                ? child<QLabel>("lblLog")->text() + q("|") + child<QLabel>("lblLog")->toolTip()
                : QString(),
            q(row.link));
    }
}

class RunTimer : public MainWindow
{
protected:
    void runWith(const char *file)
    {
        const char *entries[][2] = {{file, "0"}, {"*.dat", "1"}};
        for (int n = 1; n <= 2; ++n) {
            store.set(keys::entryKey(keys::FileStem, n), q(entries[n - 1][0]));
            store.set(keys::entryKey(keys::PathStem, n), from);
            store.set(keys::entryKey(keys::DestStem, n), to);
            store.set(keys::entryKey(keys::MoveStem, n), q(entries[n - 1][1]));
        }
        store.set(keys::Files, q("2"));
        test::writeOldFile(from + q("keep.txt"), "keep");
        test::writeOldFile(from + q("data.dat"), "data");
        load("0", "1");
        window->show();
        window->Timer1_Timer();
        window->Timer2_Timer();
    }

    const QString from = store.scratch(q("from")), to = store.scratch(q("to"));
};

TEST_F(RunTimer, ASuccessfulRunShowsTheNoticeAndClosesTheWindow)
{
    runWith("keep.txt");
    EXPECT_EQ(boxes.texts(), QStringList());
    EXPECT_EQ(QDir(from).entryList(QDir::Files), QStringList {"keep.txt"});
    EXPECT_EQ(QDir(to).entryList(QDir::Files), QStringList({"data.dat", "keep.txt"}));
    EXPECT_TRUE(QFile::exists(logFilePath()));
    EXPECT_EQ(window->statusText(), q("Finished"));
    const QStringList lines = messages().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), q("\tTo:   ") + to + q("data.dat"));
    EXPECT_EQ(lines.last(), q("Please wait"));
    const QProgressBar *files = child<QProgressBar>("prgFiles");
    EXPECT_EQ(QString::number(files->value()) + q("/") + QString::number(files->maximum()), q("2/2"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(noticeShown());
    EXPECT_EQ(programEnds, 0);
}

TEST_F(RunTimer, AFailedRunIsReportedAndTheWindowStaysRunning)
{
    runWith("missing.txt");
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList {q("Error 53 | Error File not found (53) on Timer2 | Critical Ok")});
    EXPECT_EQ(state(), q("0 down Running"));
    const QProgressBar *files = child<QProgressBar>("prgFiles");
    EXPECT_EQ(files->format(), q("Stopped after %v of %m files"));
    EXPECT_GT(files->maximum(), 0) << "not busy any more";
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(noticeShown());
    // The run's entry list stays open until the window closes, and is saved then.
    EXPECT_FALSE(store.has(keys::DefaultFileExt));
    window->close();
    EXPECT_EQ(store.value(keys::DefaultFileExt), q("*.txt"));
    EXPECT_EQ(programEnds, 0);
}

TEST_F(MainWindow, ClosingStoresThePlacementInTwipsUnlessMinimized)
{
    for (const bool minimized : {false, true}) {
        test::TempStore fresh;
        load("10", "0");
        window->setGeometry(120, 90, 480, 300);
        window->show();
        if (minimized)
            window->setWindowState(Qt::WindowMinimized);
        const QRect frame = window->frameGeometry();
        const int dpiX = window->logicalDpiX(), dpiY = window->logicalDpiY();
        window->close();
        const std::pair<keys::Key, int> rows[] = {{keys::MainLeft, frame.x() * 1440 / dpiX},
            {keys::MainTop, frame.y() * 1440 / dpiY}, {keys::MainWidth, frame.width() * 1440 / dpiX},
            {keys::MainHeight, frame.height() * 1440 / dpiY}};
        for (const auto &[key, twips] : rows) {
            EXPECT_EQ(store::contains(key.section, key.nameText()), !minimized) << key.name;
            EXPECT_EQ(store::get(key), minimized ? QString() : QString::number(twips));
        }
    }
}

TEST_F(MainWindow, ClosingClosesTheOtherWindowsNewestFirstButNotTheNotice)
{
    struct Watcher : QObject
    {
        QStringList closed;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Close)
                closed.append(watched->objectName());
            return false;
        }
    } watcher;
    load("10", "0");
    window->show();
    std::vector<std::unique_ptr<QWidget>> others;
    for (const char *name : {"first", "second", "third"}) {
        others.push_back(std::make_unique<QWidget>());
        others.back()->setObjectName(q(name));
        others.back()->installEventFilter(&watcher);
        others.back()->show();
    }
    QPointer<frmDone> notice = new frmDone;
    notice->installEventFilter(&watcher);
    notice->show();

    window->close();
    EXPECT_EQ(watcher.closed, QStringList({"third", "second", "first"}));
    EXPECT_TRUE(notice && notice->isVisible());
    EXPECT_EQ(programEnds, 0);
}

TEST(MessageAreaLines, NewestRecordsFirstAndOnlyTheNewestOnceTheBoundIsReached)
{
    MessageArea area;
    area.setBound(3);
    area.setLogPath(q("/app/filelog.txt"));
    area.setText(q("Please wait"));
    const std::pair<int, const char *> rows[] = {
        {2, "2a\n2b\n1a\n1b\nPlease wait"},
        {3,
            "5a\n5b\n4a\n4b\n3a\n3b\n\u2026 older records are no longer shown here; the log holds them all: "
            "/app/filelog.txt"},
        {4,
            "9a\n9b\n8a\n8b\n7a\n7b\n\u2026 older records are no longer shown here; the log holds them all: "
            "/app/filelog.txt"},
    };
    int record = 0;
    for (const auto &[records, shown] : rows) {
        for (int k = 0; k < records; ++k) {
            ++record;
            area.putRecord(QString::number(record) + q("a\r\n") + QString::number(record) + q("b\r\n"));
        }
        area.publish();
        EXPECT_EQ(area.text(), q(shown));
        EXPECT_EQ(area.rowCount(), area.text().count(QLatin1Char('\n')) + 1);
    }
}

} // namespace
