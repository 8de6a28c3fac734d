#include "frmFileSelect.h"

#include "frmSearch.h"

#include "platform/failure.h"
#include "settings/numeric.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <QVBoxLayout>

namespace {

template<typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A folder field two lines high that wraps anywhere, since folder texts rarely hold blanks.
QPlainTextEdit *folderField(QWidget *parent, const char *name, const QString &hint)
{
    auto *field = named(new QPlainTextEdit(parent), name);
    field->setToolTip(hint);
    field->setTabChangesFocus(true);
    field->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QMargins margins = field->contentsMargins();
    const int margin = static_cast<int>(field->document()->documentMargin());
    field->setFixedHeight(
        field->fontMetrics().lineSpacing() * 2 + 2 * margin + margins.top() + margins.bottom());
    return field;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *result = named(new QPushButton(caption, parent), name);
    result->setAutoDefault(false);
    return result;
}

} // namespace

frmFileSelect::frmFileSelect(quillfen::EntryList &entries, QWidget *parent)
    : QDialog(parent)
    , m_entries(entries)
{
    setWindowTitle(QStringLiteral("File Selection"));

    m_txtFile = named(new QLineEdit(this), "txtFile");
    m_txtPath = folderField(this, "txtPath", QStringLiteral("Source Directory"));
    m_txtDest = folderField(this, "txtDest", QStringLiteral("Destination Directory"));
    m_chkMove = named(new QCheckBox(QStringLiteral("Move"), this), "chkMove");
    m_cmdFile = button(this, "cmdFile", QStringLiteral("..."));
    m_cmdFile->setToolTip(QStringLiteral("Select File and Path"));
    m_cmdDest = button(this, "cmdDest", QStringLiteral("..."));
    m_cmdDest->setToolTip(QStringLiteral("Select Destination"));
    m_cmdOK = button(this, "cmdOK", QStringLiteral("OK"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = button(this, "cmdCancel", QStringLiteral("Cancel"));

    // Carried for the Options window and the file search dialog, never shown.
    m_txtIndex = named(new QLineEdit(this), "txtIndex");
    m_txtMode = named(new QLineEdit(this), "txtMode");
    for (QLineEdit *hidden : {m_txtIndex, m_txtMode}) {
        hidden->setFocusPolicy(Qt::NoFocus);
        hidden->hide();
    }

    auto *fields = new QGridLayout;
    fields->addWidget(named(new QLabel(QStringLiteral("File Name"), this), "lblFile"), 0, 0);
    fields->addWidget(m_txtFile, 0, 1);
    fields->addWidget(m_cmdFile, 0, 2);
    fields->addWidget(named(new QLabel(QStringLiteral("Source"), this), "lblPath"), 1, 0, Qt::AlignTop);
    fields->addWidget(m_txtPath, 1, 1);
    fields->addWidget(named(new QLabel(QStringLiteral("Destination"), this), "lblDest"), 2, 0, Qt::AlignTop);
    fields->addWidget(m_txtDest, 2, 1);
    fields->addWidget(m_cmdDest, 2, 2, Qt::AlignTop);
    fields->addWidget(m_chkMove, 3, 1);
    fields->setColumnMinimumWidth(1, fontMetrics().averageCharWidth() * 48);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    setTabOrder(m_cmdFile, m_txtFile);
    setTabOrder(m_txtFile, m_txtPath);
    setTabOrder(m_txtPath, m_txtDest);
    setTabOrder(m_txtDest, m_cmdDest);
    setTabOrder(m_cmdDest, m_chkMove);
    setTabOrder(m_chkMove, m_cmdOK);
    setTabOrder(m_cmdOK, m_cmdCancel);
    m_cmdFile->setFocus();

    // Enter in a folder field accepts, as it does in the one-line field.
    m_txtPath->installEventFilter(this);
    m_txtDest->installEventFilter(this);

    connect(m_cmdFile, &QPushButton::clicked, this, &frmFileSelect::cmdFile_Click);
    connect(m_cmdDest, &QPushButton::clicked, this, &frmFileSelect::cmdDest_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmFileSelect::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString frmFileSelect::fileName() const
{
    return m_txtFile->text();
}

QString frmFileSelect::sourceFolder() const
{
    return m_txtPath->toPlainText();
}

QString frmFileSelect::destFolder() const
{
    return m_txtDest->toPlainText();
}

bool frmFileSelect::moveChecked() const
{
    return m_chkMove->isChecked();
}

QString frmFileSelect::index() const
{
    return m_txtIndex->text();
}

QString frmFileSelect::mode() const
{
    return m_txtMode->text();
}

void frmFileSelect::setFileName(const QString &text)
{
    m_txtFile->setText(text);
}

void frmFileSelect::setSourceFolder(const QString &text)
{
    m_txtPath->setPlainText(text);
}

void frmFileSelect::setDestFolder(const QString &text)
{
    m_txtDest->setPlainText(text);
}

void frmFileSelect::setMoveChecked(bool checked)
{
    m_chkMove->setChecked(checked);
}

void frmFileSelect::setIndex(const QString &text)
{
    m_txtIndex->setText(text);
}

void frmFileSelect::setMode(const QString &text)
{
    m_txtMode->setText(text);
}

bool frmFileSelect::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_cmdOK->click();
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
    m_entries.append(
        fileName(), sourceFolder(), destFolder(), moveChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    accept();
}
