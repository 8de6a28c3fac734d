#include "app/frmMain.h"
#include "app/startup.h"
#include "dialogs/frmSplash.h"
#include "settings/keys.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

using namespace quillfen;
using test::q;

namespace {

// Notes the order in which the start's windows show and hide, and closes the Options window
// as soon as it shows (the user closing it without adding an entry).
struct Journal : QObject
{
    QStringList events;
    bool closeSplashDuringOptions = false;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QString name = q(watched->metaObject()->className());
        const bool show = event->type() == QEvent::Show;
        if (!name.startsWith(q("frm")) || !static_cast<QWidget *>(watched)->isWindow()
            || (!show && event->type() != QEvent::Hide))
            return false;
        events.append((show ? q("show ") : q("hide ")) + name);
        if (show && name == q("frmSplash") && watched->findChild<QLabel *>(q("Picture1"))->pixmap().isNull())
            events.last() += q(" (no picture)");
        if (show && name == q("frmOptions")) {
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *splash = qobject_cast<frmSplash *>(widget); splash && closeSplashDuringOptions)
                    splash->timUnload_Timer();
            QMetaObject::invokeMethod(watched, "close", Qt::QueuedConnection);
        }
        if (!show && name == q("frmSplash")) {
            // The main window is loaded, and still hidden, when the splash goes.
            QString main = q(" (no main)");
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (qobject_cast<frmMain *>(widget))
                    main = widget->isVisible() ? q(" (main shown)")
                                               : q(" (main loaded: ")
                            + widget->findChild<QPushButton *>(q("tglTimer"))->text() + q(")");
            events.last() += main;
        }
        return false;
    }
};

// Runs the start on a fresh store holding the given values (nullptr: absent) and returns
// the order in which its windows showed and hid, followed by any message box.
QString startWith(const char *files, const char *timer, bool closeSplashDuringOptions = false)
{
    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    if (files)
        store.set(keys::Files, q(files));
    if (timer)
        store.set(keys::Timer, q(timer));
    Journal journal;
    journal.closeSplashDuringOptions = closeSplashDuringOptions;
    qApp->installEventFilter(&journal);
    QPointer<frmMain> main = app::runStartup();
    qApp->removeEventFilter(&journal);
    EXPECT_TRUE(main && main->isVisible());
    for (const QString &text : boxes.texts())
        journal.events.append(q("box ") + text);
    if (main)
        main->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return journal.events.join(q("|"));
}

TEST(Startup, OpensOptionsOnlyWhenNotConfigured)
{
    const QString withOptions
        = q("show frmSplash|show frmOptions|hide frmOptions|hide frmSplash (main loaded: "
            "10)|show frmMain");
    const QString without = q("show frmSplash|hide frmSplash (main loaded: 10)|show frmMain");
    const struct
    {
        const char *files, *timer;
        bool options;
        const char *box = "";
    } rows[] = {{"0", "10", true}, {"3", nullptr, true}, {"3", "10", false}, {" ", "10", false},
        {nullptr, "10", true}, {"00", "10", false},
        {"", "10", true, "|box Error Type mismatch (13) on Get Files"}};
    for (const auto &row : rows)
        EXPECT_EQ(startWith(row.files, row.timer), (row.options ? withOptions : without) + q(row.box))
            << (row.files ? row.files : "absent") << " / " << (row.timer ? row.timer : "absent");
}

TEST(Startup, ASplashThatClosedItselfDuringOptionsLeavesTheStartGoingOn)
{
    EXPECT_EQ(startWith("0", "10", true),
        q("show frmSplash|show frmOptions|hide frmSplash (no main)|hide frmOptions|show frmMain"));
}

} // namespace
