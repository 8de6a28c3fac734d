#include "dialogs/qt_message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

constexpr QMessageBox::StandardButtons YesNo = QMessageBox::Yes | QMessageBox::No;

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
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->text(), QStringLiteral("First line\nSecond <b>line</b>"));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Title"));
        EXPECT_EQ(box->icon(), c.shownIcon);
        EXPECT_EQ(box->standardButtons(), c.shownButtons);
        if (c.press == QMessageBox::NoButton) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &escape);
        } else {
            box->button(c.press)->click();
        }
    });
    QtMessageBoxes boxes;
    EXPECT_EQ(boxes.show({QStringLiteral("First line\r\nSecond <b>line</b>"), QStringLiteral("Title"), c.icon,
                  c.buttons}),
        c.answer);
    EXPECT_TRUE(seen);
}

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
