#include "frmSplash.h"

#include "notice_frame.h"

#include "platform/app_info.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLabel *addLabel(QWidget *parent, QBoxLayout *layout, const char *name, const char *designText, bool heading)
{
    auto *label = new QLabel(QString::fromLatin1(designText), parent);
    label->setObjectName(QLatin1String(name));
    if (heading) {
        makeNoticeHeading(label);
    }
    label->setWordWrap(!heading);
    layout->addWidget(label);
    return label;
}

} // namespace

frmSplash::frmSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);

    QFrame *frame = fillWithNoticeFrame(this);

    auto *picture = new QLabel(frame);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(QPixmap(QStringLiteral(":/quillfen/splash.png")));
    picture->setAlignment(Qt::AlignCenter);

    auto *texts = new QVBoxLayout;
    m_productName = addLabel(frame, texts, "lblProductName", "Product", true);
    m_version = addLabel(frame, texts, "lblVersion", "Version", true);
    texts->addSpacing(8);
    m_description = addLabel(frame, texts, "lblDesc", "File Description", false);
    texts->addStretch(1);
    m_company = addLabel(frame, texts, "lblCompany", "Company", false);
    m_copyright = addLabel(frame, texts, "lblCopyright", "Copyright", false);
    m_comment = addLabel(frame, texts, "lblComment", "Comment", false);

    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(16);
    row->addWidget(picture);
    row->addLayout(texts, 1);
    setFixedSize(520, 260);

    m_unload = new QTimer(this);
    m_unload->setObjectName(QStringLiteral("timUnload"));
    m_unload->setInterval(1000);
    connect(m_unload, &QTimer::timeout, this, &frmSplash::timUnload_Timer);
    m_unload->start();

    Form_Load();
}

void frmSplash::Form_Load()
{
    using namespace quillfen;
    m_comment->setText(QString::fromUtf8(app_info::Comments));
    m_version->setText(app_info::versionText());
    m_productName->setText(QString::fromUtf8(app_info::ProductName));
    m_copyright->setText(QString::fromUtf8(app_info::LegalCopyright));
    m_company->setText(QString::fromUtf8(app_info::CompanyName));
    m_description->setText(QString::fromUtf8(app_info::FileDescription));
}

void frmSplash::timUnload_Timer()
{
    m_unload->stop();
    close();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    close();
}

void frmSplash::showEvent(QShowEvent *event)
{
    if (const QScreen *where = screen())
        move(where->availableGeometry().center() - rect().center());
    QWidget::showEvent(event);
}
