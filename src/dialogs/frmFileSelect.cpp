#include "frmFileSelect.h"

#include "ui_frmFileSelect.h"

#include "frmSearch.h"

#include "platform/failure.h"
#include "settings/numeric.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>

frmFileSelect::frmFileSelect(quillfen::EntryList &entries, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmFileSelect>())
    , m_entries(entries)
{
    ui->setupUi(this);
    ui->layoutFields->setColumnMinimumWidth(1, fontMetrics().averageCharWidth() * 48);
    for (QPlainTextEdit *field : {ui->txtPath, ui->txtDest}) {
        // Two lines high, wrapping anywhere, since folder texts rarely hold blanks.
        field->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        const QMargins margins = field->contentsMargins();
        const int margin = static_cast<int>(field->document()->documentMargin());
        field->setFixedHeight(
            field->fontMetrics().lineSpacing() * 2 + 2 * margin + margins.top() + margins.bottom());
        // Enter in a folder field accepts, as it does in the one-line field.
        field->installEventFilter(this);
    }
    // "..." says nothing to a screen reader: the browse buttons go by their hints.
    for (QPushButton *browse : {ui->cmdFile, ui->cmdDest})
        browse->setAccessibleName(browse->toolTip());
    for (QLabel *label : {ui->lblConflict, ui->lblDateFolders})
        label->buddy()->setAccessibleName(label->text().remove(QLatin1Char('&')));
    ui->cmdFile->setFocus();

    connect(ui->cmdFile, &QPushButton::clicked, this, &frmFileSelect::cmdFile_Click);
    connect(ui->cmdDest, &QPushButton::clicked, this, &frmFileSelect::cmdDest_Click);
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmFileSelect::cmdOK_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmFileSelect::~frmFileSelect() = default;

QString frmFileSelect::fileName() const
{
    return ui->txtFile->text();
}

QString frmFileSelect::sourceFolder() const
{
    return ui->txtPath->toPlainText();
}

QString frmFileSelect::destFolder() const
{
    return ui->txtDest->toPlainText();
}

bool frmFileSelect::moveChecked() const
{
    return ui->chkMove->isChecked();
}

QString frmFileSelect::index() const
{
    return ui->txtIndex->text();
}

QString frmFileSelect::mode() const
{
    return ui->txtMode->text();
}

void frmFileSelect::setFileName(const QString &text)
{
    ui->txtFile->setText(text);
}

void frmFileSelect::setSourceFolder(const QString &text)
{
    ui->txtPath->setPlainText(text);
}

void frmFileSelect::setDestFolder(const QString &text)
{
    ui->txtDest->setPlainText(text);
}

void frmFileSelect::setMoveChecked(bool checked)
{
    ui->chkMove->setChecked(checked);
}

void frmFileSelect::setIndex(const QString &text)
{
    ui->txtIndex->setText(text);
}

void frmFileSelect::setMode(const QString &text)
{
    ui->txtMode->setText(text);
}

int frmFileSelect::conflict() const
{
    return ui->cboConflict->currentIndex();
}

int frmFileSelect::dateFolders() const
{
    return ui->cboDateFolders->currentIndex();
}

void frmFileSelect::setConflict(int choice)
{
    ui->cboConflict->setCurrentIndex(choice);
}

void frmFileSelect::setDateFolders(int choice)
{
    ui->cboDateFolders->setCurrentIndex(choice);
}

bool frmFileSelect::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->cmdOK->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFileSelect::browse(const char *target)
{
    setMode(QString::fromLatin1(target));
    frmSearch dlg(this, this);
    dlg.exec();
}

void frmFileSelect::cmdFile_Click()
{
    browse(quillfen::browse_target::Source);
}

void frmFileSelect::cmdDest_Click()
{
    browse(quillfen::browse_target::Destination);
}

void frmFileSelect::cmdOK_Click()
{
    // Blanks are a value: only a field of zero length is missing.
    if (fileName().isEmpty() || sourceFolder().isEmpty() || destFolder().isEmpty())
        return;

    // A changed entry leaves its place and joins the end of the list. A position that is
    // not one of the list's removes nothing, so the four lists keep their common length.
    try {
        m_entries.removeAt(quillfen::toInteger16(index()));
    } catch (const quillfen::Failure &) {
        // No number here: a new entry.
    }
    m_entries.append(fileName(), sourceFolder(), destFolder(),
        moveChecked() ? QStringLiteral("1") : QStringLiteral("0"), quillfen::choiceText(conflict()),
        quillfen::choiceText(dateFolders()));
    accept();
}
