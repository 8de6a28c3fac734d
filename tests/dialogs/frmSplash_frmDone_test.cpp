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
using test::q;

namespace {

TEST(Notices, SplashNoticeAndAboutShowTheApplicationAndAboutStartsTheSystemInformationTool)
{
    frmSplash splash;
    frmDone notice;
    frmAbout about;
    QString shown, headings;
    for (const auto &[window, names] :
        {std::pair<QWidget *, const char *>(
             &splash, "lblProductName lblVersion lblDesc lblCompany lblCopyright lblComment"),
            {&notice, "lblMsg"}, {&about, "lblTitle lblVersion lblDescription lblCreated"}}) {
        for (const QString &name : QString(names).split(' ')) {
            const QFont font = window->findChild<QLabel *>(name)->font();
            shown += window->findChild<QLabel *>(name)->text() + '|';
            headings += font.bold() && font.pointSize() == 12 ? name + ' ' : "";
        }
    }
    EXPECT_EQ(shown,
        "Quillfen|Version 1.2.2|Scheduled file mover and copier|Marivale|Copyright © 2026 Marivale|Tidies "
        "working folders and keeps simple backups.|Operation Complete|Quillfen|Version 1.2.2|Scheduled file "
        "mover and copier|Created by Marivale\r\nCopyright © 2026 Marivale|");
    EXPECT_EQ(headings, "lblProductName lblVersion lblMsg ");
    EXPECT_TRUE(splash.findChild<QWidget *>("Frame1") && splash.findChild<QLabel *>("Picture1")
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
    EXPECT_EQ(about.windowTitle() + about.findChild<QPushButton *>("cmdSysInfo")->text(),
        "About Quillfen&System Info...");
    EXPECT_TRUE(!about.isVisible() && about.result() == QDialog::Accepted);
}

TEST(Notices, SplashAndNoticeCloseByTimerOrKeyAndOnlyTheNoticeEndsTheProgram)
{
    int ends = 0;
    host::setProgramEnder([&ends] { ++ends; });
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    for (const bool isNotice : {false, true}) {
        for (const bool byKey : {false, true}) {
            ends = 0;
            QPointer<QWidget> window = isNotice ? static_cast<QWidget *>(new frmDone) : new frmSplash;
            auto *timer = window->findChild<QTimer *>("timUnload");
            EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint) && timer->isActive());
            EXPECT_EQ(timer->interval(), isNotice ? 2000 : 1000);
            window->show();
            byKey ? (void)QCoreApplication::sendEvent(window, &press)
                  : (void)QMetaObject::invokeMethod(timer, "timeout");
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(window.isNull()) << isNotice << byKey;
            EXPECT_EQ(ends, isNotice ? 1 : 0);
        }
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
            seen = QString("%1|%2|%3|%4|%5")
                       .arg(box->windowTitle(), box->text())
                       .arg(box->textFormat())
                       .arg(box->icon())
                       .arg(box->standardButtons());
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
