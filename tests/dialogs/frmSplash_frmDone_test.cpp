// The splash window, the completion notice, the About box and the Qt message boxes.
#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmSplash.h"
#include "dialogs/qt_message_boxes.h"
#include "platform/host.h"
#include "platform/registry.h"
#include "support/qt_test_helpers.h"

#include <QtWidgets>

using namespace quillfen;

namespace {

TEST(Notices, SplashNoticeAndAboutShowTheApplicationAndAboutStartsTheSystemInformationTool)
{
    frmSplash splash;
    frmDone notice;
    frmAbout about;
    QString shown;
    for (QWidget *window :
        {static_cast<QWidget *>(&splash), static_cast<QWidget *>(&notice), static_cast<QWidget *>(&about)})
        for (const char *name : {"lblProductName", "lblTitle", "lblVersion", "lblDesc", "lblDescription",
                 "lblCompany", "lblCopyright", "lblComment", "lblCreated", "lblMsg"})
            if (const auto *label = window->findChild<QLabel *>(name))
                shown += label->text() + (label->font().bold() ? "*|" : "|"); // "*": bold
    EXPECT_EQ(shown,
        "Quillfen*|Version 1.2.2*|Scheduled file mover and copier|Marivale|Copyright © 2026 Marivale|"
        "Tidies working folders and keeps simple backups.|Operation Complete*|Quillfen*|Version 1.2.2|"
        "Scheduled file mover and copier|Created by Marivale\r\nCopyright © 2026 Marivale|");

    EXPECT_TRUE(splash.findChild<QFrame *>("Frame1") && notice.findChild<QFrame *>("Frame1")
        && about.minimumSize() == about.maximumSize());
    test::ScriptedMessageBoxes boxes;
    QStringList started;
    host::setProgramStarter([&](const QString &program, const QStringList &arguments) {
        return started << program + arguments.join(' '), true;
    });
    auto tools = std::make_shared<registry::TableRegistry>();
    registry::setCurrent(tools);
    about.show();
    about.findChild<QPushButton *>("cmdSysInfo")->click();
    tools->setText(registry::LocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", "/opt/info");
    about.findChild<QPushButton *>("cmdSysInfo")->click();
    EXPECT_TRUE(about.isVisible());
    about.findChild<QPushButton *>("cmdOK")->click();
    registry::setCurrent(nullptr);
    host::setProgramStarter({});
    EXPECT_EQ(test::boxesSeen(boxes),
        QStringList {"Quillfen | System Information Is Unavailable At This Time | None Ok"});
    EXPECT_EQ(started, QStringList {"/opt/info"});
    EXPECT_EQ(about.windowTitle() + about.findChild<QPushButton *>("cmdSysInfo")->text()
            + QString::number(about.isVisible()),
        "About Quillfen&System Info...0");
}

TEST(Notices, SplashAndNoticeCloseByTimerOrKeyAndOnlyTheNoticeEndsTheProgram)
{
    int ends = 0;
    host::setProgramEnder([&ends] { ++ends; });
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    for (const int way : {0, 1, 2, 3}) { // splash or notice, by timer or key
        QPointer<QWidget> window = way > 1 ? static_cast<QWidget *>(new frmDone) : new frmSplash;
        auto *timer = window->findChild<QTimer *>("timUnload");
        EXPECT_EQ(timer->isActive() ? timer->interval() : 0, way > 1 ? 2000 : 1000);
        window->show();
        way % 2 ? (void)QCoreApplication::sendEvent(window, &press)
                : (void)QMetaObject::invokeMethod(timer, "timeout");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull()) << way;
        EXPECT_EQ(ends, way > 1 ? way - 1 : 0);
    }
    host::setProgramEnder({});
}

TEST(Notices, QtMessageBoxesShowIconButtonsTitleAndLinesAndGiveTheAnswer)
{
    using Box = QMessageBox;
    // icon, buttons, the button pressed (NoButton: Escape), the icon shown, the answer
    const std::tuple<MsgIcon, MsgButtons, Box::StandardButton, Box::Icon, MsgAnswer> rows[]
        = {{MsgIcon::Critical, MsgButtons::Ok, Box::Ok, Box::Critical, MsgAnswer::Ok},
            {MsgIcon::None, MsgButtons::Ok, Box::NoButton, Box::NoIcon, MsgAnswer::Ok},
            {MsgIcon::Information, MsgButtons::Ok, Box::Ok, Box::Information, MsgAnswer::Ok},
            {MsgIcon::Question, MsgButtons::YesNo, Box::Yes, Box::Question, MsgAnswer::Yes},
            {MsgIcon::Exclamation, MsgButtons::YesNo, Box::NoButton, Box::Warning, MsgAnswer::No}};
    for (const auto &[icon, buttons, press, shownIcon, answer] : rows) {
        QString seen;
        QTimer::singleShot(0, [&, press = press] {
            auto *box = qobject_cast<Box *>(QApplication::activeModalWidget());
            seen = QStringList({box->windowTitle(), box->text(), QString::number(box->textFormat()),
                                   QString::number(box->icon()), QString::number(box->standardButtons())})
                       .join('|');
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            press == Box::NoButton ? (void)QCoreApplication::sendEvent(box, &escape)
                                   : box->button(press)->click();
        });
        EXPECT_EQ(
            QtMessageBoxes().show({"First line\r\nSecond <b>line</b>", "Title", icon, buttons}), answer);
        EXPECT_EQ(seen,
            QString("Title|First line\nSecond <b>line</b>|%1|%2|%3")
                .arg(Qt::PlainText)
                .arg(shownIcon)
                .arg(buttons == MsgButtons::Ok ? int(Box::Ok) : int(Box::Yes | Box::No)));
    }
}

} // namespace
