#include "dialogs/frmAbout.h"
#include "platform/registry.h"
#include "support/qt_test_helpers.h"

#include <QLabel>
#include <QPushButton>

using namespace quillfen;
using test::q;

namespace {

TEST(AboutBox, ShowsTheApplicationInformation)
{
    frmAbout about;
    const char *rows[][2] = {{"lblTitle", "Quillfen"}, {"lblVersion", "Version 1.2.2"},
        {"lblDescription", "Scheduled file mover and copier"},
        {"lblCreated", "Created by Marivale\r\nCopyright \u00a9 2026 Marivale"},
        {"cmdSysInfo", "&System Info..."}};
    for (const auto &row : rows) {
        QWidget *control = about.findChild<QWidget *>(q(row[0]));
        ASSERT_NE(control, nullptr) << row[0];
        const auto *label = qobject_cast<QLabel *>(control);
        EXPECT_EQ(label ? label->text() : static_cast<QPushButton *>(control)->text(), q(row[1])) << row[0];
    }
    EXPECT_TRUE(about.findChild<QLabel *>(q("lblTitle"))->font().bold());
    EXPECT_NE(about.findChild<QWidget *>(q("picIcon")), nullptr);
    EXPECT_NE(about.findChild<QWidget *>(q("Line1")), nullptr);
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    about.show();
    EXPECT_EQ(about.windowTitle(), q("About Quillfen"));

    test::ScriptedMessageBoxes boxes; // System Info on an empty registry: no tool to start
    registry::setCurrent(std::make_shared<registry::TableRegistry>());
    about.findChild<QPushButton *>(q("cmdSysInfo"))->click();
    registry::setCurrent(nullptr);
    EXPECT_EQ(boxes.texts(), QStringList {q("System Information Is Unavailable At This Time")});
    about.findChild<QPushButton *>(q("cmdOK"))->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

} // namespace
