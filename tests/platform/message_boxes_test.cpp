#include "platform/message_boxes.h"
#include "support/scripted_message_boxes.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

TEST(MessageBoxes, PlaceReportShape)
{
    test::ScriptedMessageBoxes boxes;
    reportPlace(Failure(53), QStringLiteral("Timer2"));
    ASSERT_EQ(boxes.shown().size(), 1);
    const MessageBoxRequest &box = boxes.shown().first();
    EXPECT_EQ(box.text, QStringLiteral("Error File not found (53) on Timer2"));
    EXPECT_EQ(box.title, QStringLiteral("Error 53"));
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
}

TEST(MessageBoxes, RoutineReportShapeWithHint)
{
    test::ScriptedMessageBoxes boxes;
    reportRoutine(Failure(76), QStringLiteral("Error"), QStringLiteral("\r\n\r\nhint"));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown().first().text, QStringLiteral("Error: Path not found (76)\r\n\r\nhint"));
    EXPECT_EQ(boxes.shown().first().title, QStringLiteral("Error"));
    EXPECT_EQ(boxes.shown().first().icon, MsgIcon::Critical);
}

TEST(MessageBoxes, ConfirmationIsYesOnly)
{
    test::ScriptedMessageBoxes boxes;
    boxes.answerNext(MsgAnswer::Yes);
    EXPECT_TRUE(confirm(QStringLiteral("Go?")));
    boxes.answerNext(MsgAnswer::No);
    EXPECT_FALSE(confirm(QStringLiteral("Go?")));
    boxes.answerNext(MsgAnswer::Ok);
    EXPECT_FALSE(confirm(QStringLiteral("Go?")));
    EXPECT_FALSE(confirm(QStringLiteral("Go?"))) << "an unscripted question answers No";
    ASSERT_EQ(boxes.shown().size(), 4);
    EXPECT_EQ(boxes.shown().first().title, QStringLiteral("Continue?"));
    EXPECT_EQ(boxes.shown().first().icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxes.shown().first().buttons, MsgButtons::YesNo);
}

} // namespace
