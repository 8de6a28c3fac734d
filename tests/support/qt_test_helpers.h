#pragma once

#include "support/core_test_helpers.h"
#include "support/scripted_message_boxes.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace quillfen::test {

// A file last changed three hours ago, so that a run does not take it for a new one.
inline void writeOldFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(content);
    file.flush();
    file.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600), QFileDevice::FileModificationTime);
}

// Runs `act` on the modal window that the next call opens, then closes it if still open.
inline void onNextModal(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            ADD_FAILURE() << "no modal window opened";
            return;
        }
        act(modal);
        if (modal->isVisible())
            modal->close();
    });
}

} // namespace quillfen::test
