#pragma once

#include <QDBusConnection>
#include <QEventLoop>
#include <QEventLoopLocker>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace quillfen::app {

// What a run did, as its notification tells it.
struct RunTally
{
    qint64 moved = 0;
    qint64 copied = 0;
    qint64 failed = 0;
};

// One notification of the desktop's notification service (org.freedesktop.Notifications on
// the session bus) with the actions "Undo" and "Open Log".
class DesktopNotification : public QObject
{
    Q_OBJECT

public:
    enum class End { Closed, Undo, OpenLog };

    DesktopNotification();
    ~DesktopNotification() override;

    // Shows `text`; false when no notification service answers.
    bool show(const QString &text);
    // Waits until the notification is closed, acted on or expires.
    End wait();

private Q_SLOTS:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    void end(End how);

    // No window may be open while the notification is: the program stays all the same.
    QEventLoopLocker m_staying;
    QDBusConnection m_bus;
    uint m_id = 0;
    std::optional<End> m_end;
    QEventLoop m_loop;
};

// Where the user asked for it, says how the run went through a desktop notification: none when
// the setting is off or no notification service answers.
std::unique_ptr<DesktopNotification> notifyRunEnd(const RunTally &tally);
// Waits for the notification and does what the user chose: "Undo" undoes the last run (asking
// first, as the menu's item does), "Open Log" opens the log.
void followRunNotice(DesktopNotification &notification);

} // namespace quillfen::app
