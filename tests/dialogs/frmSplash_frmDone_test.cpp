#include "dialogs/frmDone.h"
#include "dialogs/frmSplash.h"
#include "platform/host.h"
#include "support/qt_test_helpers.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPointer>

using quillfen::test::q;

namespace {

TEST(SplashAndNotice, ShowTheApplicationInformation)
{
    frmSplash splash;
    frmDone notice;
    const struct
    {
        QWidget *window;
        const char *name, *text;
        bool heading; // bold, 12 point
    } rows[] = {
        {&splash, "lblProductName", "Quillfen", true},
        {&splash, "lblVersion", "Version 1.2.2", true},
        {&splash, "lblDesc", "Scheduled file mover and copier", false},
        {&splash, "lblCompany", "Marivale", false},
        {&splash, "lblCopyright", "Copyright \u00a9 2026 Marivale", false},
        {&splash, "lblComment", "Tidies working folders and keeps simple backups.", false},
        {&notice, "lblMsg", "Operation Complete", true},
    };
    for (const auto &row : rows) {
        const auto *label = row.window->findChild<QLabel *>(q(row.name));
        ASSERT_NE(label, nullptr) << row.name;
        EXPECT_EQ(label->text(), q(row.text)) << row.name;
        EXPECT_EQ(label->font().bold(), row.heading) << row.name;
        EXPECT_TRUE(!row.heading || label->font().pointSize() == 12) << row.name;
    }
    EXPECT_NE(splash.findChild<QWidget *>(q("Frame1")), nullptr);
    EXPECT_NE(splash.findChild<QLabel *>(q("Picture1")), nullptr);
}

enum class CloseBy { Timer, Key, Request };

class Closing : public ::testing::TestWithParam<std::tuple<bool, CloseBy>>
{
};

// The splash closes quietly; the notice ends the program, once, however it closes.
TEST_P(Closing, OnlyTheNoticeEndsTheProgram)
{
    const auto [isNotice, how] = GetParam();
    int ends = 0;
    quillfen::host::setProgramEnder([&ends] { ++ends; });
    frmDone *notice = isNotice ? new frmDone : nullptr;
    frmSplash *splash = isNotice ? nullptr : new frmSplash;
    QPointer<QWidget> window = isNotice ? static_cast<QWidget *>(notice) : splash;
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    const auto *timer = window->findChild<QTimer *>(q("timUnload"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), isNotice ? 2000 : 1000);
    window->show();
    EXPECT_EQ(ends, 0);

    if (how == CloseBy::Timer) {
        isNotice ? notice->timUnload_Timer() : splash->timUnload_Timer();
    } else if (how == CloseBy::Key) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, q("a"));
        QCoreApplication::sendEvent(window, &press);
    } else {
        window->close();
    }
    EXPECT_TRUE(window.isNull() || !window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(ends, isNotice ? 1 : 0);
    quillfen::host::setProgramEnder({});
}

INSTANTIATE_TEST_SUITE_P(Ways, Closing,
    ::testing::Combine(::testing::Bool(), ::testing::Values(CloseBy::Timer, CloseBy::Key, CloseBy::Request)));

} // namespace
