#include "frmDone.h"

#include "notice_frame.h"

#include "platform/host.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

frmDone::frmDone(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmDone"));
    setAttribute(Qt::WA_DeleteOnClose);

    QFrame *frame = fillWithNoticeFrame(this);

    auto *message = new QLabel(QStringLiteral("Operation Complete"), frame);
    message->setObjectName(QStringLiteral("lblMsg"));
    makeNoticeHeading(message);
    message->setAlignment(Qt::AlignCenter);
    auto *inner = new QVBoxLayout(frame);
    inner->setContentsMargins(24, 24, 24, 24);
    inner->addWidget(message);
    setFixedSize(320, 110);

    m_unload = new QTimer(this);
    m_unload->setObjectName(QStringLiteral("timUnload"));
    m_unload->setInterval(2000);
    connect(m_unload, &QTimer::timeout, this, &frmDone::timUnload_Timer);
    m_unload->start();
}

void frmDone::timUnload_Timer()
{
    m_unload->stop();
    close();
}

void frmDone::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    close();
}

void frmDone::closeEvent(QCloseEvent *event)
{
    m_unload->stop();
    event->accept();
    quillfen::host::endProgram();
}

void frmDone::showEvent(QShowEvent *event)
{
    if (const QScreen *where = screen())
        move(where->availableGeometry().center() - rect().center());
    QWidget::showEvent(event);
    activateWindow();
}
