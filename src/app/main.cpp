#include "app/startup.h"
#include "dialogs/qt_message_boxes.h"
#include "platform/app_info.h"
#include "platform/host.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    quillfen::host::pinLocalTimeZone();
    QApplication application(argc, argv);
    QApplication::setApplicationName(quillfen::app_info::title());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(quillfen::app_info::VersionMajor)
                                            .arg(quillfen::app_info::VersionMinor)
                                            .arg(quillfen::app_info::VersionRevision));
    QGuiApplication::setDesktopFileName(QLatin1String(quillfen::app_info::AppId));

    quillfen::QtMessageBoxes boxes;
    quillfen::setMessageBoxes(&boxes);
    if (!quillfen::app::runStartup())
        return 0; // no main window could be made: no window is left open
    const int code = QApplication::exec();
    quillfen::setMessageBoxes(nullptr);
    return code;
}
