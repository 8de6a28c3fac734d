#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmSplash.h"
#include "platform/host.h"
#include "platform/registry.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

#include <QtCore/qtestsupport_core.h>
#include <QtWidgets>

using namespace quillfen;
using test::q;

namespace {

// The splash window, the completion notice, the About box and the Qt message boxes.
TEST(Notices, SplashNoticeAndAboutShowTheApplication)
{
    int ends = 0;
    host::setProgramEnder([&ends] { ++ends; });
    QPointer<QWidget> splash = new frmSplash, notice = new frmDone;
    frmAbout about;
    QString shown;
    for (QWidget *window : QWidgetList {splash, notice, &about}) {
        for (const char *name : {"lblProductName", "lblTitle", "lblVersion", "lblDesc", "lblDescription",
                 "lblCompany", "lblCopyright", "lblComment", "lblCreated", "lblMsg"})
            if (const auto *label = window->findChild<QLabel *>(name))
                shown += label->text() + (label->font().bold() ? "*|" : "|"); // "*": bold
        if (const auto *timer = window->findChild<QTimer *>("timUnload")) // the window goes then
            shown += QString::number(timer->isActive() * timer->interval()) + " ms|";
    }
    EXPECT_EQ(shown,
        "Quillfen*|Version 1.2.2*|Scheduled file mover and copier|Marivale|Copyright © 2026 Marivale|"
        "Tidies working folders and keeps simple backups.|1000 ms|Operation Complete*|2000 ms|Quillfen*|"
        "Version 1.2.2|Scheduled file mover and copier|Created by Marivale\r\nCopyright © 2026 Marivale|");

    EXPECT_TRUE(splash->findChild<QFrame *>("Frame1"));
    EXPECT_TRUE(notice->findChild<QFrame *>("Frame1"));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    // The splash goes by its timer, the notice by its timer or at a key, and ends the program.
    QMetaObject::invokeMethod(splash->findChild<QTimer *>("timUnload"), "timeout");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(notice, &press);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
    EXPECT_TRUE(notice.isNull());
    EXPECT_EQ(ends, 1);
    host::setProgramEnder({});
    test::ScriptedMessageBoxes boxes;
    QStringList started;
    host::setProgramStarter([&](const QString &program, const QStringList &arguments) {
        return started << program + arguments.join(' '), true;
    });
    auto tools = std::make_shared<registry::TableRegistry>();
    registry::setCurrent(tools);
    auto *sysInfo = about.findChild<QPushButton *>("cmdSysInfo");
    about.show();
    sysInfo->click();
    tools->setText(registry::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", "/opt/info");
    sysInfo->click();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(started, QStringList {"/opt/info"});
    registry::setCurrent(nullptr), host::setProgramStarter({});
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList {"Quillfen | System Information Is Unavailable At This Time | None Ok"});
}

} // namespace
