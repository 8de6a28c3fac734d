#include "desktop_notification.h"

#include "dialogs/frmLogView.h"
#include "options/undo_last_run.h"
#include "platform/app_info.h"
#include "platform/host.h"
#include "settings/store.h"
#include "transfer/messages.h"
#include "transfer/transfer_log.h"

#include <QApplication>
#include <QDBusMessage>
#include <QFileInfo>
#include <QTimer>

namespace quillfen::app {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString UndoAction = QStringLiteral("undo");
const QString LogAction = QStringLiteral("open-log");
const QString BusName = QStringLiteral("quillfen-notification");
// A service may take a moment to be started on demand; past this it counts as not answering.
const int AnswerMilliseconds = 5000;
// A service that never says the notification went away does not keep the program for ever.
const int LongestWaitMilliseconds = 60 * 60 * 1000;

// The session bus of the environment, or the user's own where a user manager runs one but the
// environment does not name it (as for a service started by a timer).
QString sessionBusAddress()
{
    const QString named = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!named.isEmpty())
        return named;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

void openLog()
{
    QEventLoop opening;
    const QString path = logFilePath();
    host::openWithApplication(
        path,
        [&opening, path] {
            if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
                frmLogView viewer(path);
                viewer.exec();
            }
            opening.quit();
        },
        [&opening] { opening.quit(); });
    opening.exec();
}

} // namespace

DesktopNotification::DesktopNotification()
    : m_bus(QDBusConnection::connectToBus(sessionBusAddress(), BusName))
{
}

DesktopNotification::~DesktopNotification()
{
    QDBusConnection::disconnectFromBus(BusName);
}

bool DesktopNotification::show(const QString &text)
{
    if (!m_bus.isConnected())
        return false;
    const QString interface = Service;
    m_bus.connect(QString(), Path, interface, QStringLiteral("ActionInvoked"), this,
        SLOT(actionInvoked(uint, QString)));
    m_bus.connect(QString(), Path, interface, QStringLiteral("NotificationClosed"), this,
        SLOT(notificationClosed(uint, uint)));
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, interface, QStringLiteral("Notify"));
    const QVariantMap hints = {{QStringLiteral("desktop-entry"), QLatin1String(app_info::AppId)}};
    call << app_info::title() << 0u << QLatin1String(app_info::AppId) << text << QString()
         << QStringList({UndoAction, QStringLiteral("Undo"), LogAction, QStringLiteral("Open Log")}) << hints
         << -1;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, AnswerMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    m_id = reply.arguments().constFirst().toUInt();
    return true;
}

DesktopNotification::End DesktopNotification::wait()
{
    QTimer::singleShot(LongestWaitMilliseconds, &m_loop, [this] { end(End::Closed); });
    if (!m_end)
        m_loop.exec();
    return m_end.value_or(End::Closed);
}

void DesktopNotification::actionInvoked(uint id, const QString &action)
{
    if (id != m_id)
        return;
    if (action == UndoAction)
        end(End::Undo);
    else if (action == LogAction)
        end(End::OpenLog);
}

void DesktopNotification::notificationClosed(uint id, uint)
{
    if (id == m_id)
        end(End::Closed);
}

void DesktopNotification::end(End how)
{
    if (m_end)
        return;
    m_end = how;
    m_loop.quit();
}

std::unique_ptr<DesktopNotification> notifyRunEnd(const RunTally &tally)
{
    if (store::get(keys::Notify) != QLatin1String("1"))
        return nullptr;
    auto notification = std::make_unique<DesktopNotification>();
    if (!notification->show(messages::runNotice(tally.moved, tally.copied, tally.failed)))
        return nullptr;
    return notification;
}

void followRunNotice(DesktopNotification &notification)
{
    switch (notification.wait()) {
    case DesktopNotification::End::Undo:
        undoLastRun();
        break;
    case DesktopNotification::End::OpenLog:
        openLog();
        break;
    case DesktopNotification::End::Closed:
        break;
    }
}

} // namespace quillfen::app
