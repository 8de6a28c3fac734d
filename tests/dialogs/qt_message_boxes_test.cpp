#include "dialogs/qt_message_boxes.h"
#include "support/qt_test_helpers.h"

#include <QMessageBox>
#include <QPushButton>

namespace quillfen::test {

TEST(QtMessageBoxes, AQuestionAnswersYesWhenYesIsClicked)
{
    onNextModal([](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(
        QtMessageBoxes().show({"Go on?", "Quillfen", MsgIcon::Question, MsgButtons::YesNo}), MsgAnswer::Yes);
}

} // namespace quillfen::test
