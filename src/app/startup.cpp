#include "startup.h"

#include "dialogs/frmSplash.h"
#include "dialogs/message_shown.h"
#include "frmMain.h"
#include "options/frmOptions.h"
#include "platform/failure.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "window_order.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>

static void loadResources()
{
    Q_INIT_RESOURCE(quillfen);
}

namespace quillfen::app {

namespace {

template<typename Step>
void guarded(Step step)
{
    try {
        step();
    } catch (const Failure &failure) {
        reportPlace(failure, QStringLiteral("Main"));
    }
}

} // namespace

frmMain *runStartup()
{
    loadResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillfen/quillfen.png")));
    trackWindowOrder();

    QPointer<frmSplash> splash;
    bool needsConfiguring = false;
    QPointer<frmMain> mainWindow;

    guarded([&] {
        splash = new frmSplash;
        splash->show();
        splash->repaint();
        // Lets the window system map it, so it is drawn before the slower steps.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    guarded([&] {
        const QString files = store::stored(keys::Files);
        if (files.isEmpty() || files == QLatin1String("0"))
            needsConfiguring = true;
    });
    guarded([&] {
        if (store::stored(keys::Timer).isEmpty())
            needsConfiguring = true;
    });
    guarded([&] {
        if (needsConfiguring) {
            frmOptions options;
            options.exec();
        }
    });
    guarded([&] {
        mainWindow = new frmMain;
        mainWindow->setAttribute(Qt::WA_DeleteOnClose);
        mainWindow->Form_Load();
    });
    guarded([&] {
        if (splash)
            splash->close();
    });
    guarded([&] {
        if (mainWindow)
            mainWindow->show();
    });
    return mainWindow;
}

} // namespace quillfen::app
