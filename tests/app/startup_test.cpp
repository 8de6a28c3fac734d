#include "app/frmMain.h"
#include "app/startup.h"
#include "dialogs/frmSplash.h"
#include "settings/keys.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace quillfen;

namespace {

QWidget *shownWindowOf(const char *className)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->inherits(className))
            return widget;
    }
    return nullptr;
}

// Notes the order in which the start's windows appear and disappear, and closes the
// Options window as soon as it shows (the user closing it without adding an entry).
class Journal : public QObject
{
public:
    QStringList events;
    std::function<void()> whileOptionsOpen;
    QString picture = QStringLiteral("none");

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!watched->isWidgetType() || !static_cast<QWidget *>(watched)->isWindow())
            return false;
        const QString name = QString::fromLatin1(watched->metaObject()->className());
        if (!name.startsWith(QLatin1String("frm")))
            return false;
        if (event->type() == QEvent::Show) {
            events.append(QStringLiteral("show ") + name);
            if (name == QLatin1String("frmOptions")) {
                if (whileOptionsOpen)
                    whileOptionsOpen();
                QMetaObject::invokeMethod(watched, "close", Qt::QueuedConnection);
            }
            if (name == QLatin1String("frmSplash")) {
                const auto *label = watched->findChild<QLabel *>(QStringLiteral("Picture1"));
                picture
                    = label && !label->pixmap().isNull() ? QStringLiteral("drawn") : QStringLiteral("empty");
            }
        } else if (event->type() == QEvent::Hide) {
            QString note = QStringLiteral("hide ") + name;
            if (name == QLatin1String("frmSplash")) {
                // The main window is loaded, and still hidden, when the splash goes.
                const QWidget *shown = shownWindowOf("frmMain");
                const frmMain *any = nullptr;
                for (QWidget *widget : QApplication::topLevelWidgets())
                    if (auto *candidate = qobject_cast<frmMain *>(widget))
                        any = candidate;
                note += shown ? QStringLiteral(" (main shown)")
                    : any     ? QStringLiteral(" (main loaded: ")
                        + any->findChild<QPushButton *>(QStringLiteral("tglTimer"))->text() + QLatin1Char(')')
                          : QStringLiteral(" (no main)");
            }
            events.append(note);
        }
        return false;
    }
};

class Startup : public ::testing::Test
{
protected:
    void SetUp() override { qApp->installEventFilter(&journal); }

    void TearDown() override
    {
        qApp->removeEventFilter(&journal);
        if (main)
            main->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void setIfGiven(const char *key, const char *value)
    {
        if (value)
            store.set(QLatin1String(key), QLatin1String(value));
    }

    void start()
    {
        main = app::runStartup();
        qApp->removeEventFilter(&journal);
    }

    test::TempStore store;
    test::ScriptedMessageBoxes boxes;
    Journal journal;
    QPointer<frmMain> main;
};

struct ConfigCase
{
    const char *files; // nullptr: absent
    const char *timer;
    bool optionsFirst;
};

class StartupConfiguration : public Startup, public ::testing::WithParamInterface<ConfigCase>
{
};

TEST_P(StartupConfiguration, OpensOptionsOnlyWhenNotConfigured)
{
    const ConfigCase &c = GetParam();
    setIfGiven(keys::Files, c.files);
    setIfGiven(keys::Timer, c.timer);
    start();

    ASSERT_FALSE(main.isNull());
    EXPECT_TRUE(main->isVisible());
    QStringList expected {QStringLiteral("show frmSplash")};
    if (c.optionsFirst)
        expected << QStringLiteral("show frmOptions") << QStringLiteral("hide frmOptions");
    expected << QStringLiteral("hide frmSplash (main loaded: 10)") << QStringLiteral("show frmMain");
    EXPECT_EQ(journal.events, expected);
    EXPECT_EQ(journal.picture, QStringLiteral("drawn"));
}

INSTANTIATE_TEST_SUITE_P(Stored, StartupConfiguration,
    ::testing::Values(ConfigCase {"0", "10", true}, ConfigCase {"3", nullptr, true},
        ConfigCase {"3", "10", false}, ConfigCase {" ", "10", false}, ConfigCase {nullptr, "10", true},
        ConfigCase {"00", "10", false}, ConfigCase {"", "10", true}));

TEST_F(Startup, ASplashThatClosedItselfDuringOptionsLeavesTheStartGoingOn)
{
    journal.whileOptionsOpen = [] {
        if (auto *splash = qobject_cast<frmSplash *>(shownWindowOf("frmSplash")))
            splash->timUnload_Timer();
    };
    start();

    ASSERT_FALSE(main.isNull());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(journal.events,
        (QStringList {QStringLiteral("show frmSplash"), QStringLiteral("show frmOptions"),
            QStringLiteral("hide frmSplash (no main)"), QStringLiteral("hide frmOptions"),
            QStringLiteral("show frmMain")}));
    EXPECT_TRUE(boxes.shown().isEmpty()) << qPrintable(boxes.texts().join(QLatin1Char('|')));
}

} // namespace
