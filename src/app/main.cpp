#include "app/command_line.h"
#include "app/startup.h"
#include "dialogs/qt_message_boxes.h"
#include "platform/app_info.h"
#include "platform/host.h"

#include <QApplication>

namespace {

void nameApplication()
{
    QCoreApplication::setApplicationName(quillfen::app_info::title());
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(quillfen::app_info::VersionMajor)
                                                .arg(quillfen::app_info::VersionMinor)
                                                .arg(quillfen::app_info::VersionRevision));
}

} // namespace

int main(int argc, char *argv[])
{
    quillfen::host::pinLocalTimeZone();
    // Options ask for the command line, which needs no display.
    if (quillfen::app::wantsCommandLine(argc, argv) && quillfen::app::wantsWindowsToo(argc, argv)) {
        QApplication application(argc, argv);
        nameApplication();
        quillfen::QtMessageBoxes boxes;
        quillfen::setMessageBoxes(&boxes);
        const int code = quillfen::app::runCommandLine(QCoreApplication::arguments());
        quillfen::setMessageBoxes(nullptr);
        return code;
    }
    if (quillfen::app::wantsCommandLine(argc, argv)) {
        QCoreApplication application(argc, argv);
        nameApplication();
        return quillfen::app::runCommandLine(QCoreApplication::arguments());
    }
    QApplication application(argc, argv);
    nameApplication();
    QGuiApplication::setDesktopFileName(QLatin1String(quillfen::app_info::AppId));

    quillfen::QtMessageBoxes boxes;
    quillfen::setMessageBoxes(&boxes);
    if (!quillfen::app::runStartup())
        return 0; // no main window could be made: no window is left open
    const int code = QApplication::exec();
    quillfen::setMessageBoxes(nullptr);
    return code;
}
