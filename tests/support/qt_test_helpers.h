#pragma once

#include "support/test_support.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace quillfen::test {

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
