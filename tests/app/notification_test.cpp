#include "app/desktop_notification.h"
#include "app/frmMain.h"
#include "dialogs/frmDone.h"
#include "platform/host.h"
#include "support/test_support.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QtWidgets>

namespace quillfen::test {

const QString Interface = "org.freedesktop.Notifications", Path = "/org/freedesktop/Notifications";

// Stands in for the desktop's notification service: records each notification's application,
// summary and actions, then invokes `action` on it, or closes it when there is none.
class StandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit StandIn(const QString &address)
        : bus(QDBusConnection::connectToBus(address, "stand-in"))
    {
    }
    QDBusConnection bus;
    QString action;
    QStringList seen;

public Q_SLOTS:
    uint Notify(const QString &app, uint, const QString &, const QString &summary, const QString &,
        const QStringList &actions, const QVariantMap &, int)
    {
        seen << app << summary << actions;
        QTimer::singleShot(100, this, [this] {
            const bool closing = action.isEmpty();
            QDBusMessage signal = QDBusMessage::createSignal(
                Path, Interface, closing ? "NotificationClosed" : "ActionInvoked");
            signal << 7u << (closing ? QVariant(2u) : QVariant(action));
            bus.send(signal);
        });
        return 7;
    }
};

// A private session bus for the test, and a service on it that answers from a thread of its own.
class Notification : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        ASSERT_TRUE(daemon.waitForReadyRead(10000));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    }
    void TearDown() override
    {
        thread.quit();
        thread.wait();
        delete standIn;
        QDBusConnection::disconnectFromBus("stand-in");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    void serve(const QString &action)
    {
        standIn = new StandIn(address);
        standIn->action = action;
        ASSERT_TRUE(standIn->bus.registerService(Interface));
        ASSERT_TRUE(standIn->bus.registerObject(Path, standIn, QDBusConnection::ExportAllSlots));
        standIn->moveToThread(&thread);
        thread.start();
    }
    // One file moved and one copy that fails, notified if the setting says so.
    void run()
    {
        writeAged(src + "a.txt", "a");
        writeAged(src + "c.dat", "c");
        storeEntries({{"a.txt", src, dst, "1"}, {"c.dat", src, store.root() + "/no/such/", "0"}});
        store.set(keys::Notify, "1");
    }

    TempStore store;
    ScriptedMessageBoxes boxes;
    const QString src = store.scratch("src"), dst = store.scratch("dst");
    QProcess daemon;
    QString address;
    QThread thread;
    StandIn *standIn = nullptr;
};

TEST_F(Notification, UndoAsksFirstThenUndoesTheRun)
{
    serve("undo");
    run();
    sc_TransferFiles();
    boxes.clear();
    boxes.answerNext(MsgAnswer::Yes);
    const std::unique_ptr<app::DesktopNotification> shown = app::notifyRunEnd({.moved = 1});
    ASSERT_TRUE(shown);
    app::followRunNotice(*shown);
    EXPECT_EQ(boxes.texts().value(0), "Undo the last run?");
    EXPECT_EQ(readBytes(src + "a.txt"), "a");
}

TEST_F(Notification, AScheduledRunSaysItsCountsWithBothActions)
{
    serve("");
    run();
    // From the test's application folder, so that its log lands there.
    ASSERT_TRUE(QDir().mkpath(store.appFolder()));
    ASSERT_TRUE(QFile::copy(QUILLFEN_BUILD_DIR "/src/app/quillfen", store.appFolder() + "/quillfen"));
    QProcess quillfen;
    quillfen.start(store.appFolder() + "/quillfen", {"--run"});
    ASSERT_TRUE(quillfen.waitForFinished(30000));
    QMetaObject::invokeMethod(
        standIn, [] {}, Qt::BlockingQueuedConnection); // its records are all in
    EXPECT_EQ(standIn->seen,
        QStringList({"Quillfen", "Quillfen: 1 file moved, 0 copied, 1 failed", "undo", "Undo", "open-log",
            "Open Log"}));
}

TEST_F(Notification, NothingIsSentWhileTheSettingIsOff)
{
    serve("");
    store.set(keys::Notify, "0");
    EXPECT_FALSE(app::notifyRunEnd({}));
}

TEST_F(Notification, WithoutAServiceTheNoticeWindowShows)
{
    const struct
    {
        const char *name, *address;
    } rows[] = {{"no session bus", "unix:path=/nonexistent/bus"}, {"a bus without the service", nullptr}};
    store.set(keys::Timer, "0");
    store.set(keys::AutoStart, "1");
    Installed<host::setProgramEnder> noEnd([] {});
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        qputenv("DBUS_SESSION_BUS_ADDRESS", row.address ? QByteArray(row.address) : address.toUtf8());
        run();
        frmMain window;
        window.Form_Load();
        window.Timer1_Timer();
        window.Timer2_Timer();
        QWidgetList shown = QApplication::topLevelWidgets();
        const auto notice = std::find_if(shown.begin(), shown.end(),
            [](QWidget *w) { return qobject_cast<frmDone *>(w) && w->isVisible(); });
        ASSERT_NE(notice, shown.end());
        delete *notice;
    }
}

} // namespace quillfen::test

#include "notification_test.moc"
