#include "notice_frame.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

QFrame *fillWithNoticeFrame(QWidget *window)
{
    auto *frame = new QFrame(window);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Raised);
    frame->setLineWidth(2);
    auto *outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    return frame;
}

void makeNoticeHeading(QLabel *label)
{
    QFont font = label->font();
    font.setBold(true);
    font.setPointSize(12);
    label->setFont(font);
}
