#include "qt_message_boxes.h"

#include <QMessageBox>

namespace quillfen {

namespace {

QMessageBox::Icon toQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void prepare(QMessageBox &box, const MessageBoxRequest &request)
{
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowTitle(request.title);
    box.setIcon(toQtIcon(request.icon));
    if (request.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
}

} // namespace

MsgAnswer QtMessageBoxes::show(const MessageBoxRequest &request)
{
    // No parent: a box may outlive the window that was active when it opened.
    QMessageBox box;
    box.setWindowModality(Qt::ApplicationModal);
    prepare(box, request);
    const int answer = box.exec();
    if (request.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

} // namespace quillfen
