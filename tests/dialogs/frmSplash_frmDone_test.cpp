#include "dialogs/frmDone.h"
#include "dialogs/frmSplash.h"
#include "platform/host.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct LabelCase
{
    const char *name;
    const char *text;
    bool heading; // bold, 12 point
};

class SplashLabels : public ::testing::TestWithParam<LabelCase>
{
};

TEST_P(SplashLabels, ShowTheApplicationInformation)
{
    frmSplash splash;
    const LabelCase &c = GetParam();
    const auto *label = splash.findChild<QLabel *>(QLatin1String(c.name));
    ASSERT_NE(label, nullptr) << c.name;
    EXPECT_EQ(label->text(), QString::fromUtf8(c.text)) << c.name;
    EXPECT_EQ(label->font().bold(), c.heading) << c.name;
    if (c.heading) {
        EXPECT_EQ(label->font().pointSize(), 12) << c.name;
    }
    EXPECT_NE(splash.findChild<QWidget *>(QStringLiteral("Frame1")), nullptr);
    EXPECT_NE(splash.findChild<QLabel *>(QStringLiteral("Picture1")), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Information, SplashLabels,
    ::testing::Values(LabelCase {"lblProductName", "Quillfen", true},
        LabelCase {"lblVersion", "Version 1.2.2", true},
        LabelCase {"lblDesc", "Scheduled file mover and copier", false},
        LabelCase {"lblCompany", "Marivale", false},
        LabelCase {"lblCopyright", "Copyright \u00a9 2026 Marivale", false},
        LabelCase {"lblComment", "Tidies working folders and keeps simple backups.", false}));

// Ways a window of the two closes itself.
enum class CloseBy { Timer, Key, Request };

void closeBy(QWidget &window, CloseBy how, const std::function<void()> &timerTick)
{
    switch (how) {
    case CloseBy::Timer:
        timerTick();
        break;
    case CloseBy::Key: {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QCoreApplication::sendEvent(&window, &press);
        break;
    }
    case CloseBy::Request:
        window.close();
        break;
    }
}

class SplashClosing : public ::testing::TestWithParam<CloseBy>
{
};

TEST_P(SplashClosing, ClosesWithoutEndingTheProgram)
{
    int ends = 0;
    quillfen::host::setProgramEnder([&ends] { ++ends; });
    QPointer<frmSplash> splash = new frmSplash;
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    const auto *timer = splash->findChild<QTimer *>(QStringLiteral("timUnload"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    splash->show();

    closeBy(*splash, GetParam(), [&splash] { splash->timUnload_Timer(); });
    EXPECT_TRUE(splash.isNull() || !splash->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
    EXPECT_EQ(ends, 0);
    quillfen::host::setProgramEnder({});
}

INSTANTIATE_TEST_SUITE_P(
    Ways, SplashClosing, ::testing::Values(CloseBy::Timer, CloseBy::Key, CloseBy::Request));

class NoticeClosing : public ::testing::TestWithParam<CloseBy>
{
};

TEST_P(NoticeClosing, EndsTheProgramOnce)
{
    int ends = 0;
    quillfen::host::setProgramEnder([&ends] { ++ends; });
    QPointer<frmDone> notice = new frmDone;
    EXPECT_TRUE(notice->windowFlags().testFlag(Qt::FramelessWindowHint));
    const auto *message = notice->findChild<QLabel *>(QStringLiteral("lblMsg"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), QStringLiteral("Operation Complete"));
    EXPECT_TRUE(message->font().bold());
    EXPECT_EQ(message->font().pointSize(), 12);
    const auto *timer = notice->findChild<QTimer *>(QStringLiteral("timUnload"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 2000);
    notice->show();
    EXPECT_EQ(ends, 0);

    closeBy(*notice, GetParam(), [&notice] { notice->timUnload_Timer(); });
    EXPECT_EQ(ends, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(notice.isNull());
    EXPECT_EQ(ends, 1);
    quillfen::host::setProgramEnder({});
}

INSTANTIATE_TEST_SUITE_P(
    Ways, NoticeClosing, ::testing::Values(CloseBy::Timer, CloseBy::Key, CloseBy::Request));

} // namespace
