#include "window_order.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace quillfen::app {

namespace {

class WindowOrder final : public QObject
{
public:
    explicit WindowOrder(QObject *parent)
        : QObject(parent)
    {
    }

    QList<QPointer<QWidget>> windows;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            const Qt::WindowType type = widget->windowType();
            if (widget->isWindow() && type != Qt::Popup && type != Qt::ToolTip && !windows.contains(widget))
                windows.append(widget);
        }
        return false;
    }
};

WindowOrder *g_order = nullptr;

} // namespace

void trackWindowOrder()
{
    if (g_order || !QCoreApplication::instance())
        return;
    g_order = new WindowOrder(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(g_order);
    QObject::connect(g_order, &QObject::destroyed, [] { g_order = nullptr; });
}

QList<QWidget *> windowsNewestFirst()
{
    QList<QWidget *> result;
    if (!g_order)
        return result;
    g_order->windows.removeIf([](const QPointer<QWidget> &window) { return window.isNull(); });
    for (auto it = g_order->windows.crbegin(); it != g_order->windows.crend(); ++it)
        result.append(it->data());
    return result;
}

} // namespace quillfen::app
