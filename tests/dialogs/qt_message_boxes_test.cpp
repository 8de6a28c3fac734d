#include "dialogs/qt_message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

struct BoxCase
{
    MsgIcon icon;
    MsgButtons buttons;
    QMessageBox::StandardButton press; // NoButton: the Escape key
    QMessageBox::Icon shownIcon;
    QMessageBox::StandardButtons shownButtons;
    MsgAnswer answer;
};

class QtBoxes : public ::testing::TestWithParam<BoxCase>
{
};

TEST_P(QtBoxes, ShowIconButtonsTitleAndTextAndAnswer)
{
    const BoxCase &c = GetParam();
    struct Seen
    {
        QString text;
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        bool modal = false;
    } seen;
    QTimer::singleShot(0, [&seen, &c] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons(), box->isModal()};
        if (c.press == QMessageBox::NoButton) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &escape);
        } else {
            box->button(c.press)->click();
        }
    });
    QtMessageBoxes boxes;
    const MsgAnswer answer = boxes.show(MessageBoxRequest {
        QStringLiteral("First line\r\nSecond <b>line</b>"), QStringLiteral("Title"), c.icon, c.buttons});
    EXPECT_EQ(seen.text, QStringLiteral("First line\nSecond <b>line</b>"));
    EXPECT_EQ(seen.title, QStringLiteral("Title"));
    EXPECT_EQ(seen.icon, c.shownIcon);
    EXPECT_EQ(seen.buttons, c.shownButtons);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(answer, c.answer);
}

const QMessageBox::StandardButtons YesNo = QMessageBox::Yes | QMessageBox::No;

INSTANTIATE_TEST_SUITE_P(Kinds, QtBoxes,
    ::testing::Values(BoxCase {MsgIcon::Critical, MsgButtons::Ok, QMessageBox::Ok, QMessageBox::Critical,
                          QMessageBox::Ok, MsgAnswer::Ok},
        BoxCase {MsgIcon::None, MsgButtons::Ok, QMessageBox::NoButton, QMessageBox::NoIcon, QMessageBox::Ok,
            MsgAnswer::Ok},
        BoxCase {MsgIcon::Information, MsgButtons::Ok, QMessageBox::Ok, QMessageBox::Information,
            QMessageBox::Ok, MsgAnswer::Ok},
        BoxCase {MsgIcon::Question, MsgButtons::YesNo, QMessageBox::Yes, QMessageBox::Question, YesNo,
            MsgAnswer::Yes},
        BoxCase {MsgIcon::Exclamation, MsgButtons::YesNo, QMessageBox::No, QMessageBox::Warning, YesNo,
            MsgAnswer::No},
        BoxCase {MsgIcon::Exclamation, MsgButtons::YesNo, QMessageBox::NoButton, QMessageBox::Warning, YesNo,
            MsgAnswer::No}));

} // namespace
