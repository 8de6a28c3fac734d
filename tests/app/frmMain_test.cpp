#include "app/frmMain.h"
#include "dialogs/frmDone.h"
#include "platform/host.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/transfer_log.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace quillfen;

namespace {

const QString ViewLog = QStringLiteral("View Log");

void writeFile(const QString &path, const QByteArray &content, int hoursOld = 3)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(content);
    file.flush();
    file.setFileTime(
        QDateTime::currentDateTime().addSecs(-3600 * hoursOld), QFileDevice::FileModificationTime);
}

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

frmDone *shownNotice()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *notice = qobject_cast<frmDone *>(widget); notice && notice->isVisible())
            return notice;
    }
    return nullptr;
}

// What a modal dialog found when it opened, and closes it.
struct ModalSeen
{
    QString className;
    bool toggleDown = true;
    bool counting = true;
};

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host::setProgramStarter([this](const QString &program, const QStringList &arguments) {
            started.append(program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
            return startSucceeds;
        });
        host::setProgramEnder([this] { ++programEnds; });
    }

    void TearDown() override
    {
        window.reset();
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible())
                widget->close();
        }
        deleteClosedWindows();
        host::setProgramStarter({});
        host::setProgramEnder({});
    }

    frmMain &load(std::optional<QString> timer, std::optional<QString> autoStart)
    {
        if (timer)
            store.set(QLatin1String(keys::Timer), *timer);
        if (autoStart)
            store.set(QLatin1String(keys::AutoStart), *autoStart);
        window = std::make_unique<frmMain>();
        window->Form_Load();
        return *window;
    }

    template<typename T>
    T *child(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QPushButton *toggle() const { return child<QPushButton>("tglTimer"); }
    QString caption() const { return toggle()->text(); }
    bool counting() const { return child<QTimer>("Timer1")->isActive(); }
    QLabel *logLink() const { return child<QLabel>("lblLog"); }
    QString messages() const { return child<QPlainTextEdit>("txtMsg")->toPlainText(); }

    bool inRunningState() const
    {
        for (const char *name : {"tglTimer", "Label1", "Label2", "lblLog", "lblOptions", "lblAbout"}) {
            if (!child<QWidget>(name)->isHidden())
                return false;
        }
        const QTimer *runTimer = child<QTimer>("Timer2");
        return window->statusText() == QLatin1String("Running") && !counting()
            && !child<QWidget>("txtMsg")->isHidden() && runTimer->isActive() && runTimer->isSingleShot()
            && runTimer->interval() == 1000;
    }

    // Closes the next modal dialog as soon as it is shown, noting what the window looked like.
    ModalSeen *closeNextModal()
    {
        auto seen = std::make_shared<ModalSeen>();
        QTimer::singleShot(0, [this, seen] {
            QWidget *modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            seen->className = QString::fromLatin1(modal->metaObject()->className());
            seen->toggleDown = toggle()->isChecked();
            seen->counting = counting();
            modal->close();
        });
        m_seen.push_back(seen);
        return seen.get();
    }

    void addEntry(int n, const QString &file, const QString &from, const QString &to, const char *move)
    {
        store.set(keys::entryKey(keys::FileStem, n), file);
        store.set(keys::entryKey(keys::PathStem, n), from);
        store.set(keys::entryKey(keys::DestStem, n), to);
        store.set(keys::entryKey(keys::MoveStem, n), QLatin1String(move));
        store.set(QLatin1String(keys::Files), QString::number(n));
    }

    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    std::unique_ptr<frmMain> window;
    QStringList started;
    bool startSucceeds = true;
    int programEnds = 0;

private:
    std::vector<std::shared_ptr<ModalSeen>> m_seen;
};

TEST_F(MainWindow, CaptionControlsAndInitialTexts)
{
    load(QStringLiteral("10"), QStringLiteral("0"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillfen"));
    struct Row
    {
        const char *name;
        const char *text;
        const char *tip;
    };
    for (const Row &row : {Row {"lblLog", "View Log", "View Log File"},
             Row {"lblOptions", "Options", "Options"}, Row {"lblAbout", "About", "About"},
             Row {"Label1", "Application will commence in ", ""}, Row {"Label2", "seconds", ""}}) {
        const QLabel *label = child<QLabel>(row.name);
        EXPECT_EQ(label->text(), QLatin1String(row.text)) << row.name;
        EXPECT_EQ(label->toolTip(), QLatin1String(row.tip)) << row.name;
    }
    EXPECT_TRUE(toggle()->isCheckable());
    EXPECT_TRUE(toggle()->font().bold());
    EXPECT_TRUE(child<QWidget>("txtMsg")->isHidden());
    EXPECT_NE(child<QWidget>("sbStatusBar"), nullptr);
    EXPECT_FALSE(child<QTimer>("Timer2")->isActive());
}

TEST_F(MainWindow, DatePanelsShowTodayAndNow)
{
    // The two panels together read as the program's date and time text of this moment.
    const QString before = host::nowText();
    load(QStringLiteral("10"), QStringLiteral("0"));
    const QLabel *date = child<QLabel>("pnlDate");
    const QLabel *time = child<QLabel>("pnlTime");
    const QString shown = date->text() + QLatin1Char(' ') + time->text();
    const QString after = host::nowText();
    EXPECT_TRUE(shown == before || shown == after) << qPrintable(shown);
    EXPECT_TRUE(child<QTimer>("timClock")->isActive());
}

struct CountdownCase
{
    const char *timer;
    int ticksToRunning;
};

class Countdown : public MainWindow, public ::testing::WithParamInterface<CountdownCase>
{
};

TEST_P(Countdown, TheLastTickEntersRunningAndArmsTheRunOneSecondLater)
{
    const CountdownCase &c = GetParam();
    load(QLatin1String(c.timer), QStringLiteral("0"));
    toggle()->setChecked(true);
    const int length = QString::fromLatin1(c.timer).toInt();
    for (int tick = 1; tick < c.ticksToRunning; ++tick) {
        window->Timer1_Timer();
        ASSERT_EQ(caption(), QString::number(length - tick)) << "tick " << tick;
        ASSERT_FALSE(inRunningState()) << "tick " << tick;
    }
    window->Timer1_Timer();
    EXPECT_TRUE(inRunningState());
    EXPECT_EQ(messages(), QStringLiteral("Please wait"));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Countdown, ::testing::Values(CountdownCase {"10", 11}, CountdownCase {"0", 1}));

TEST_F(MainWindow, NegativeCountdownCountsOnAndNeverRuns)
{
    load(QStringLiteral("-3"), QStringLiteral("0"));
    toggle()->setChecked(true);
    for (int tick = 0; tick < 40; ++tick)
        window->Timer1_Timer();
    EXPECT_EQ(caption(), QStringLiteral("-43"));
    EXPECT_TRUE(counting());
    EXPECT_FALSE(child<QTimer>("Timer2")->isActive());
    EXPECT_EQ(window->statusText(), QStringLiteral("Started"));
}

struct LoadCase
{
    std::optional<const char *> timer;
    std::optional<const char *> autoStart;
    const char *caption;
    bool down;
    const char *status;
    const char *report; // nullptr: none
};

class LoadStep : public MainWindow, public ::testing::WithParamInterface<LoadCase>
{
};

TEST_P(LoadStep, SetsCaptionToggleAndStatus)
{
    const LoadCase &c = GetParam();
    load(c.timer ? std::optional<QString>(QLatin1String(*c.timer)) : std::nullopt,
        c.autoStart ? std::optional<QString>(QLatin1String(*c.autoStart)) : std::nullopt);
    EXPECT_EQ(caption(), QLatin1String(c.caption));
    EXPECT_EQ(toggle()->isChecked(), c.down);
    EXPECT_EQ(counting(), c.down);
    EXPECT_EQ(
        toggle()->toolTip(), c.down ? QStringLiteral("Click to Stop") : QStringLiteral("Click to Start"));
    EXPECT_EQ(window->statusText(), QLatin1String(c.status));
    EXPECT_EQ(boxes.texts(), c.report ? QStringList {QLatin1String(c.report)} : QStringList {});
    EXPECT_TRUE(logLink()->isHidden());
}

INSTANTIATE_TEST_SUITE_P(Stored, LoadStep,
    ::testing::Values(LoadCase {"10", "1", "10", true, "Auto-Start Enabled", nullptr},
        LoadCase {"15", "0", "15", false, "Auto-Start Disabled", nullptr},
        LoadCase {std::nullopt, std::nullopt, "10", false, "Auto-Start Disabled", nullptr},
        LoadCase {"010", "1.4", "10", true, "Auto-Start Enabled", nullptr},
        LoadCase {
            "abc", "0", "0", false, "Auto-Start Disabled", "Error Type mismatch (13) on Main form load"},
        LoadCase {"40000", "0", "0", false, "Auto-Start Disabled", "Error Overflow (6) on Main form load"},
        LoadCase {"10", "2", "10", true, "Auto-Start Enabled",
            "Error Invalid procedure call or argument (5) on Main form load"},
        LoadCase {
            "10", "yes", "10", false, "Auto-Start Disabled", "Error Type mismatch (13) on Main form load"}));

TEST_F(MainWindow, ReleasingTheToggleResetsTheCaption)
{
    load(QStringLiteral("10"), QStringLiteral("0"));
    toggle()->setChecked(true);
    EXPECT_EQ(window->statusText(), QStringLiteral("Started"));
    for (int tick = 0; tick < 3; ++tick)
        window->Timer1_Timer();
    ASSERT_EQ(caption(), QStringLiteral("7"));

    toggle()->setChecked(false);
    EXPECT_EQ(caption(), QStringLiteral("10"));
    EXPECT_FALSE(counting());
    EXPECT_EQ(window->statusText(), QStringLiteral("Stopped"));
    EXPECT_EQ(toggle()->toolTip(), QStringLiteral("Click to Start"));

    toggle()->setChecked(true);
    EXPECT_EQ(caption(), QStringLiteral("10"));
    window->Timer1_Timer();
    EXPECT_EQ(caption(), QStringLiteral("9"));
}

struct AboutCase
{
    const char *autoStart;
    bool downAfter;
    const char *statusAfter;
};

class AboutLink : public MainWindow, public ::testing::WithParamInterface<AboutCase>
{
};

TEST_P(AboutLink, StopsTheCountdownAndRestartsItOnlyForAutoStart)
{
    const AboutCase &c = GetParam();
    load(QStringLiteral("10"), QLatin1String(c.autoStart));
    toggle()->setChecked(true);
    for (int tick = 0; tick < 4; ++tick)
        window->Timer1_Timer();
    ASSERT_EQ(caption(), QStringLiteral("6"));

    const ModalSeen *seen = closeNextModal();
    window->lblAbout_Click();
    EXPECT_EQ(seen->className, QStringLiteral("frmAbout"));
    EXPECT_FALSE(seen->toggleDown);
    EXPECT_FALSE(seen->counting);
    EXPECT_EQ(toggle()->isChecked(), c.downAfter);
    EXPECT_EQ(counting(), c.downAfter);
    EXPECT_EQ(caption(), QStringLiteral("10"));
    EXPECT_EQ(window->statusText(), QLatin1String(c.statusAfter));
}

INSTANTIATE_TEST_SUITE_P(AutoStart, AboutLink,
    ::testing::Values(AboutCase {"0", false, "Stopped"}, AboutCase {"1", true, "Started"}));

struct OptionsCase
{
    const char *timerAfter;
    const char *autoStartAfter;
    const char *caption;
    bool down;
    const char *status;
};

class OptionsLink : public MainWindow, public ::testing::WithParamInterface<OptionsCase>
{
};

TEST_P(OptionsLink, ReadsTimerAndAutoStartAgainAfterTheWindowCloses)
{
    const OptionsCase &c = GetParam();
    load(QStringLiteral("10"), QStringLiteral("0"));
    toggle()->setChecked(true);
    window->Timer1_Timer();
    // What the Options window loads, and saves again on closing.
    store.set(QLatin1String(keys::Timer), QLatin1String(c.timerAfter));
    store.set(QLatin1String(keys::AutoStart), QLatin1String(c.autoStartAfter));

    const ModalSeen *seen = closeNextModal();
    window->lblOptions_Click();
    EXPECT_EQ(seen->className, QStringLiteral("frmOptions"));
    EXPECT_FALSE(seen->toggleDown);
    EXPECT_EQ(caption(), QLatin1String(c.caption));
    EXPECT_EQ(toggle()->isChecked(), c.down);
    EXPECT_EQ(counting(), c.down);
    EXPECT_EQ(window->statusText(), QLatin1String(c.status));
}

INSTANTIATE_TEST_SUITE_P(Stored, OptionsLink,
    ::testing::Values(
        OptionsCase {"7", "1", "7", true, "Started"}, OptionsCase {"20", "0", "20", false, "Stopped"}));

TEST_F(MainWindow, OptionsLinkKeepsTheLengthWhenTheNewTimerIsNoNumber)
{
    load(QStringLiteral("10"), QStringLiteral("0"));
    store.set(QLatin1String(keys::Timer), QStringLiteral("abc"));
    closeNextModal();
    window->lblOptions_Click();
    EXPECT_TRUE(boxes.texts().contains(QStringLiteral("Error Type mismatch (13) on Main form load")))
        << qPrintable(boxes.texts().join(QLatin1Char('|')));
    EXPECT_EQ(caption(), QStringLiteral("10"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Stopped"));
}

class LogLink : public MainWindow
{
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        writeFile(logFilePath(), "#log\r\n");
        load(QStringLiteral("10"), QStringLiteral("0"));
        ASSERT_FALSE(logLink()->isHidden());
    }
};

TEST_F(LogLink, ViewOpensTheLogThenOffersToDeleteIt)
{
    window->lblLog_Click();
    EXPECT_EQ(started, QStringList {QStringLiteral("xdg-open ") + logFilePath()});
    EXPECT_EQ(logLink()->text(), QStringLiteral("Delete Log"));
    EXPECT_EQ(logLink()->toolTip(), QStringLiteral("Delete Log File"));
    EXPECT_TRUE(boxes.shown().isEmpty());
}

struct DeleteCase
{
    MsgAnswer answer;
    bool fileKept;
    bool linkShown;
};

class DeleteLogLink : public LogLink, public ::testing::WithParamInterface<DeleteCase>
{
};

TEST_P(DeleteLogLink, AsksAndDeletesOnlyOnYes)
{
    const DeleteCase &c = GetParam();
    window->lblLog_Click();
    boxes.answerNext(c.answer);
    window->lblLog_Click();

    ASSERT_EQ(boxes.shown().size(), 1);
    const MessageBoxRequest &asked = boxes.shown().first();
    EXPECT_EQ(asked.text, QStringLiteral("Delete the log file?"));
    EXPECT_EQ(asked.title, QStringLiteral("Delete Log"));
    EXPECT_EQ(asked.icon, MsgIcon::Question);
    EXPECT_EQ(asked.buttons, MsgButtons::YesNo);
    EXPECT_EQ(QFile::exists(logFilePath()), c.fileKept);
    EXPECT_EQ(!logLink()->isHidden(), c.linkShown);
    EXPECT_EQ(logLink()->text(), c.fileKept ? ViewLog : QStringLiteral("Delete Log"));
    if (c.fileKept) {
        EXPECT_EQ(logLink()->toolTip(), QStringLiteral("View Log File"));
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, DeleteLogLink,
    ::testing::Values(DeleteCase {MsgAnswer::No, true, true}, DeleteCase {MsgAnswer::Yes, false, false}));

TEST_F(LogLink, AViewerThatCannotStartIsReportedAndTheLinkStays)
{
    startSucceeds = false;
    window->lblLog_Click();
    EXPECT_EQ(
        boxes.texts(), QStringList {QStringLiteral("Error File not found (53) on Main form, Log File")});
    EXPECT_EQ(boxes.shown().first().title, QStringLiteral("Error 53"));
    EXPECT_EQ(logLink()->text(), ViewLog);
}

TEST_F(MainWindow, RecordsGoOnTopOfTheMessages)
{
    load(QStringLiteral("0"), QStringLiteral("1"));
    window->Timer1_Timer();
    window->putRecord(QStringLiteral("first\r\n"));
    window->putRecord(QStringLiteral("second\r\n\tline\r\n"));
    window->putRecord(QStringLiteral("third\r\n\r\n\r\n"));
    EXPECT_EQ(messages(), QStringLiteral("third\n\n\nsecond\n\tline\nfirst\nPlease wait"));
}

class RunTimer : public MainWindow
{
protected:
    void enterRunning()
    {
        load(QStringLiteral("0"), QStringLiteral("1"));
        window->show();
        window->Timer1_Timer();
        ASSERT_TRUE(inRunningState());
    }
};

TEST_F(RunTimer, ASuccessfulRunShowsTheNoticeAndClosesTheWindow)
{
    const QString from = store.scratch(QStringLiteral("from"));
    const QString to = store.scratch(QStringLiteral("to"));
    writeFile(from + QStringLiteral("keep.txt"), "keep");
    writeFile(from + QStringLiteral("data.dat"), "data");
    addEntry(1, QStringLiteral("keep.txt"), from, to, "0");
    addEntry(2, QStringLiteral("*.dat"), from, to, "1");
    enterRunning();

    window->Timer2_Timer();

    EXPECT_TRUE(boxes.shown().isEmpty()) << qPrintable(boxes.texts().join(QLatin1Char('|')));
    EXPECT_TRUE(QFile::exists(to + QStringLiteral("keep.txt")));
    EXPECT_TRUE(QFile::exists(from + QStringLiteral("keep.txt")));
    EXPECT_TRUE(QFile::exists(to + QStringLiteral("data.dat")));
    EXPECT_FALSE(QFile::exists(from + QStringLiteral("data.dat")));
    EXPECT_TRUE(QFile::exists(logFilePath()));
    EXPECT_EQ(window->statusText(), QStringLiteral("Finished"));
    EXPECT_FALSE(child<QTimer>("Timer2")->isActive());

    const QStringList lines = messages().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), QStringLiteral("\tTo:   ") + to + QStringLiteral("data.dat"));
    EXPECT_EQ(lines.last(), QStringLiteral("Please wait"));
    const QProgressBar *files = child<QProgressBar>("prgFiles");
    EXPECT_EQ(files->maximum(), 2);
    EXPECT_EQ(files->value(), 2);

    EXPECT_FALSE(window->isVisible());
    frmDone *notice = shownNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(programEnds, 0);
    notice->close();
    EXPECT_EQ(programEnds, 1);
}

TEST_F(RunTimer, AFailedRunIsReportedAndTheWindowStaysRunning)
{
    const QString from = store.scratch(QStringLiteral("from"));
    addEntry(1, QStringLiteral("missing.txt"), from, store.scratch(QStringLiteral("to")), "0");
    enterRunning();

    window->Timer2_Timer();

    EXPECT_EQ(boxes.texts(), QStringList {QStringLiteral("Error File not found (53) on Timer2")});
    EXPECT_EQ(boxes.shown().first().title, QStringLiteral("Error 53"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Running"));
    EXPECT_FALSE(child<QTimer>("Timer2")->isActive());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(shownNotice(), nullptr);
    EXPECT_EQ(programEnds, 0);

    // The run's entry list stays open until the window closes, and is saved then.
    EXPECT_FALSE(store.has(QLatin1String(keys::DefaultFileExt)));
    window->close();
    EXPECT_EQ(store.value(QLatin1String(keys::DefaultFileExt)), QStringLiteral("*.txt"));
}

struct PlacementCase
{
    bool minimized;
};

class ClosePlacement : public MainWindow, public ::testing::WithParamInterface<PlacementCase>
{
};

TEST_P(ClosePlacement, StoresTwipsUnlessMinimized)
{
    load(QStringLiteral("10"), QStringLiteral("0"));
    window->setGeometry(120, 90, 480, 300);
    window->show();
    if (GetParam().minimized)
        window->setWindowState(Qt::WindowMinimized);
    const QRect frame = window->frameGeometry();
    const int dpiX = window->logicalDpiX();
    const int dpiY = window->logicalDpiY();
    window->close();

    const QString section = QLatin1String(keys::WindowSettings);
    const struct
    {
        const char *key;
        int pixels;
        int dpi;
    } expected[] = {{keys::MainLeft, frame.x(), dpiX}, {keys::MainTop, frame.y(), dpiY},
        {keys::MainWidth, frame.width(), dpiX}, {keys::MainHeight, frame.height(), dpiY}};
    for (const auto &row : expected) {
        if (GetParam().minimized) {
            EXPECT_FALSE(store::contains(section, QLatin1String(row.key))) << row.key;
        } else {
            EXPECT_EQ(
                store::get(section, QLatin1String(row.key)), QString::number(row.pixels * 1440 / row.dpi))
                << row.key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, ClosePlacement, ::testing::Values(PlacementCase {false}, PlacementCase {true}));

TEST_F(MainWindow, ClosingClosesTheOtherWindowsNewestFirstButNotTheNotice)
{
    load(QStringLiteral("10"), QStringLiteral("0"));
    window->show();
    QStringList closed;
    std::vector<std::unique_ptr<QWidget>> others;
    for (const char *name : {"first", "second", "third"}) {
        others.push_back(std::make_unique<QWidget>());
        others.back()->setObjectName(QLatin1String(name));
        others.back()->show();
    }
    QPointer<frmDone> notice = new frmDone;
    notice->show();

    struct Watcher : QObject
    {
        QStringList *closed;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Close)
                closed->append(watched->objectName());
            return false;
        }
    } watcher;
    watcher.closed = &closed;
    for (auto &other : others)
        other->installEventFilter(&watcher);
    notice->installEventFilter(&watcher);

    window->close();
    EXPECT_EQ(
        closed, (QStringList {QStringLiteral("third"), QStringLiteral("second"), QStringLiteral("first")}));
    ASSERT_FALSE(notice.isNull());
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(programEnds, 0);
}

} // namespace
