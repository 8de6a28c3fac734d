#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmSplash.h"
#include "platform/host.h"
#include "platform/registry.h"
#include "support/qt_test_helpers.h"

#include <QtCore/qtestsupport_core.h>
#include <QtWidgets>

namespace quillfen::test {

// The texts of the window's labels, "*" after a bold one, and how long it stays ("-": for good).
QStringList shown(QWidget *window)
{
    QStringList texts;
    for (const char *name : {"lblProductName", "lblTitle", "lblVersion", "lblDesc", "lblDescription",
             "lblCompany", "lblCopyright", "lblComment", "lblCreated", "lblMsg"})
        if (const auto *label = window->findChild<QLabel *>(name))
            texts << label->text() + (label->font().bold() ? "*" : "");
    const auto *timer = window->findChild<QTimer *>("timUnload");
    texts << (timer ? QString::number(timer->isActive() * timer->interval()) + " ms" : "-");
    return texts;
}

TEST(Notices, EachWindowShowsTheApplicationsWords)
{
    Installed<host::setProgramEnder> noEnd([] {});
    const struct
    {
        const char *name;
        std::function<QWidget *()> open;
        QStringList texts;
    } rows[] = {
        {"splash", [] { return new frmSplash; },
            {"Quillfen*", "Version 1.2.2*", "Scheduled file mover and copier", "Marivale",
                "Copyright © 2026 Marivale", "Tidies working folders and keeps simple backups.", "1000 ms"}},
        {"notice", [] { return new frmDone; }, {"Operation Complete*", "2000 ms"}},
        {"about", [] { return new frmAbout; },
            {"Quillfen*", "Version 1.2.2", "Scheduled file mover and copier",
                "Created by Marivale\r\nCopyright © 2026 Marivale", "-"}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::unique_ptr<QWidget> window(row.open());
        EXPECT_EQ(shown(window.get()), row.texts);
    }
}

TEST(Notices, NoticesLeaveByThemselves)
{
    int ends = 0;
    Installed<host::setProgramEnder> counted([&ends] { ++ends; });
    QPointer<QWidget> splash = new frmSplash, notice = new frmDone;
    QMetaObject::invokeMethod(splash->findChild<QTimer *>("timUnload"), "timeout");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(notice, &press);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
    EXPECT_TRUE(notice.isNull());
    EXPECT_EQ(ends, 1);
}

TEST(Notices, AboutStartsTheSystemInfoTheRegistryNames)
{
    frmAbout about;
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    ScriptedMessageBoxes boxes;
    QStringList started;
    Installed<host::setProgramStarter> starter([&](const QString &program, const QStringList &arguments) {
        started << program << arguments;
        return true;
    });
    const auto tools = std::make_shared<registry::TableRegistry>();
    Installed<registry::setCurrent> installed(tools);
    auto *sysInfo = about.findChild<QPushButton *>("cmdSysInfo");
    about.show();
    sysInfo->click();
    tools->setText(registry::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", "/opt/info");
    sysInfo->click();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(started, QStringList {"/opt/info"});
    EXPECT_EQ(boxesSeen(boxes),
        QStringList {"Quillfen | System Information Is Unavailable At This Time | None Ok"});
}

} // namespace quillfen::test
