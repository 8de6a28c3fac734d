#include "frmAbout.h"

#include "message_shown.h"
#include "platform/app_info.h"
#include "platform/registry.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const char *designText)
{
    auto *label = new QLabel(QString::fromLatin1(designText), parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillfen"));
    setModal(true);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    // Drawn at the screen's own density, so that it stays sharp at a scale of 2.
    icon->setPixmap(
        QIcon(QStringLiteral(":/quillfen/quillfen.png")).pixmap(QSize(48, 48), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    icon->setFixedWidth(64);

    m_title = makeLabel(this, "lblTitle", "Application Title");
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    m_title->setFont(bold);
    m_version = makeLabel(this, "lblVersion", "Version");
    m_description = makeLabel(this, "lblDescription", "App Description");
    m_created = makeLabel(this, "lblCreated", "Created");

    auto *texts = new QVBoxLayout;
    texts->addWidget(m_title);
    texts->addWidget(m_version);
    texts->addSpacing(10);
    texts->addWidget(m_description);
    texts->addSpacing(10);
    texts->addWidget(m_created);
    texts->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);

    // Two lines, grey over white: an etched separator.
    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(ok, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(sysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->addLayout(top, 1);
    layout->addWidget(line);
    layout->addLayout(bottom);

    Form_Load();
    setFixedSize(sizeHint().expandedTo(QSize(420, 230)));
}

void frmAbout::Form_Load()
{
    using namespace quillfen;
    m_version->setText(app_info::versionText());
    m_title->setText(QString::fromUtf8(app_info::ProductName));
    m_description->setText(QString::fromUtf8(app_info::FileDescription));
    m_created->setText(QStringLiteral("Created by ") + QString::fromUtf8(app_info::CompanyName)
        + QStringLiteral("\r\n") + QString::fromUtf8(app_info::LegalCopyright));
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    if (!quillfen::StartSysInfo())
        quillfen::showMessage(quillfen::messages::systemInformationUnavailable());
}
