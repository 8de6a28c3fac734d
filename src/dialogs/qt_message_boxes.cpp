#include "qt_message_boxes.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

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

QString withLineBreaks(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

void prepare(QMessageBox &box, const MessageBoxRequest &request)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(withLineBreaks(request.text));
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

// A message box whose details are a list beside the text, shown at once: each line whole (paths
// are not wrapped mid-name), scrolled when long.
MsgAnswer showWithDetails(const MessageBoxRequest &request)
{
    QDialog box;
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(request.title);
    auto *icon = new QLabel(&box);
    const int extent = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    static const QStyle::StandardPixmap pictures[] = {QStyle::SP_CustomBase, QStyle::SP_MessageBoxCritical,
        QStyle::SP_MessageBoxQuestion, QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxInformation};
    if (request.icon != MsgIcon::None)
        icon->setPixmap(box.style()->standardIcon(pictures[int(request.icon)], nullptr, &box).pixmap(extent));
    auto *text = new QLabel(withLineBreaks(request.text), &box);
    text->setTextFormat(Qt::PlainText);
    auto *details = new QPlainTextEdit(withLineBreaks(request.details), &box);
    details->setObjectName(QStringLiteral("txtDetails"));
    details->setAccessibleName(QStringLiteral("Details"));
    details->setReadOnly(true);
    details->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFontMetrics metrics(details->font());
    details->setMinimumSize(metrics.averageCharWidth() * 72, metrics.lineSpacing() * 8);
    // As wide as the longest line where the screen allows, so that paths show whole.
    int widest = 0;
    for (const QString &line : request.details.split(QLatin1String("\r\n")))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() * 4 / 5 : widest;
    const int lines = int(request.details.count(QLatin1String("\r\n"))) + 2;
    details->resize(
        std::min(widest + metrics.averageCharWidth() * 4, room), metrics.lineSpacing() * std::min(lines, 24));
    box.resize(box.sizeHint().expandedTo(details->size() + QSize(24, 120)));
    const bool question = request.buttons == MsgButtons::YesNo;
    auto *buttons = new QDialogButtonBox(
        question ? QDialogButtonBox::Yes | QDialogButtonBox::No : QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    buttons->button(question ? QDialogButtonBox::Yes : QDialogButtonBox::Ok)->setDefault(true);
    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto *layout = new QVBoxLayout(&box);
    layout->addLayout(top);
    layout->addWidget(details, 1);
    layout->addWidget(buttons);
    const bool agreed = box.exec() == QDialog::Accepted;
    if (!question)
        return MsgAnswer::Ok;
    return agreed ? MsgAnswer::Yes : MsgAnswer::No;
}

} // namespace

MsgAnswer QtMessageBoxes::show(const MessageBoxRequest &request)
{
    if (!request.details.isEmpty())
        return showWithDetails(request);
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
