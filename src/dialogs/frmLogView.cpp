#include "frmLogView.h"

#include "ui_frmLogView.h"

#include <QFile>
#include <QFontDatabase>

frmLogView::frmLogView(const QString &path, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmLogView>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(path);
    ui->txtLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QFile log(path);
    if (log.open(QIODevice::ReadOnly)) {
        const qint64 from = std::max<qint64>(0, log.size() - ShownBytes);
        log.seek(from);
        QString text = QString::fromUtf8(log.readAll());
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        ui->txtLog->setPlainText(from > 0 ? QStringLiteral("\u2026\n") + text : text);
    }
    ui->txtLog->setFocus();
}

frmLogView::~frmLogView() = default;
