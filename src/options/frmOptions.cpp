#include "frmOptions.h"

#include "clear_settings.h"
#include "settings_file.h"

#include "dialogs/frmFileSelect.h"
#include "platform/message_boxes.h"
#include "settings/numeric.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

template<typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Enter in a field must not close the window: no button is the default.
QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *result = named(new QPushButton(caption, parent), name);
    result->setAutoDefault(false);
    return result;
}

QLineEdit *shortField(QWidget *parent, const char *name, int characters)
{
    auto *field = named(new QLineEdit(parent), name);
    field->setFixedWidth(field->fontMetrics().averageCharWidth() * characters + 12);
    return field;
}

} // namespace

frmOptions::frmOptions(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Options"));

    m_cboTimer = named(new QComboBox(this), "cboTimer");
    m_cboTimer->setEditable(true);
    m_cboTimer->setInsertPolicy(QComboBox::NoInsert);
    m_cboTimer->addItems(
        {QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("20")});
    m_cboTimer->setEditText(QString());
    m_chkAutoStart = named(new QCheckBox(QStringLiteral("Auto-Start"), this), "chkAutoStart");
    m_txtExt = named(new QLineEdit(this), "txtExt");
    m_txtInterval = shortField(this, "txtInterval", 6);
    m_txtIntType = shortField(this, "txtIntType", 3);
    m_lstFiles = named(new QListWidget(this), "lstFiles");
    m_lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_cmdFile = button(this, "cmdFile", QStringLiteral("&Add File"));
    m_cmdRemove = button(this, "cmdRemove", QStringLiteral("&Remove"));
    m_cmdClose = button(this, "cmdClose", QStringLiteral("&Save && Close"));

    // The other three fields of each entry, row for row with lstFiles; never shown.
    m_lstPath = named(new QListWidget(this), "lstPath");
    m_lstDest = named(new QListWidget(this), "lstDest");
    m_lstMove = named(new QListWidget(this), "lstMove");
    for (QListWidget *hidden : {m_lstPath, m_lstDest, m_lstMove}) {
        hidden->setFocusPolicy(Qt::NoFocus);
        hidden->hide();
    }

    auto *menuBar = named(new QMenuBar(this), "menuBar");
    QMenu *settings = named(menuBar->addMenu(QStringLiteral("Settings")), "mnuSettings");
    QAction *exportItem = named(settings->addAction(QStringLiteral("Export")), "mnuSettingsExport");
    QAction *importItem = named(settings->addAction(QStringLiteral("Import")), "mnuSettingsImport");
    QAction *clearItem = named(settings->addAction(QStringLiteral("Clear All")), "mnuSettingsClear");

    auto *scheduling = new QGridLayout;
    scheduling->addWidget(
        named(new QLabel(QStringLiteral("Startup Timer Interval"), this), "lblTimer"), 0, 0);
    scheduling->addWidget(m_cboTimer, 0, 1);
    scheduling->addWidget(m_chkAutoStart, 0, 2, 1, 3);
    scheduling->addWidget(named(new QLabel(QStringLiteral("Default File Extension"), this), "lblExt"), 1, 0);
    scheduling->addWidget(m_txtExt, 1, 1);
    scheduling->addWidget(named(new QLabel(QStringLiteral("Interval"), this), "lblInterval"), 1, 2);
    scheduling->addWidget(m_txtInterval, 1, 3);
    scheduling->addWidget(m_txtIntType, 1, 4);
    scheduling->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdFile);
    buttons->addWidget(m_cmdRemove);
    buttons->addWidget(m_cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(scheduling);
    layout->addWidget(
        named(new QLabel(QStringLiteral("Select the file you want to review."), this), "lblReview"));
    layout->addWidget(m_lstFiles, 1);
    layout->addLayout(buttons);
    resize(fontMetrics().averageCharWidth() * 72, fontMetrics().lineSpacing() * 24);

    setTabOrder(m_cboTimer, m_chkAutoStart);
    setTabOrder(m_chkAutoStart, m_txtExt);
    setTabOrder(m_txtExt, m_txtInterval);
    setTabOrder(m_txtInterval, m_txtIntType);
    setTabOrder(m_txtIntType, m_lstFiles);
    setTabOrder(m_lstFiles, m_cmdFile);
    setTabOrder(m_cmdFile, m_cmdRemove);
    setTabOrder(m_cmdRemove, m_cmdClose);
    m_cboTimer->setFocus();

    connect(m_cmdFile, &QPushButton::clicked, this, &frmOptions::cmdFile_Click);
    connect(m_cmdRemove, &QPushButton::clicked, this, &frmOptions::cmdRemove_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_lstFiles, &QListWidget::itemDoubleClicked, this, &frmOptions::lstFiles_DblClick);
    connect(exportItem, &QAction::triggered, this, &frmOptions::mnuSettingsExport_Click);
    connect(importItem, &QAction::triggered, this, &frmOptions::mnuSettingsImport_Click);
    connect(clearItem, &QAction::triggered, this, &frmOptions::mnuSettingsClear_Click);

    Form_Load();
}

void frmOptions::Form_Load()
{
    // A load step that fails leaves its control as it stands, so start from the controls.
    takeControls();
    m_values.load();
    showValues();
    m_unloaded = false;
}

void frmOptions::Form_Unload()
{
    if (m_unloaded || m_ended)
        return;
    m_unloaded = true;
    takeControls();
    m_values.close();
}

void frmOptions::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void frmOptions::showEvent(QShowEvent *event)
{
    // Shown again after it was closed: each opening starts from the store.
    if (m_unloaded && !m_ended)
        Form_Load();
    QDialog::showEvent(event);
}

void frmOptions::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    QDialog::closeEvent(event);
}

void frmOptions::takeControls()
{
    m_values.timer = m_cboTimer->currentText();
    m_values.autoStart = m_chkAutoStart->isChecked();
    m_values.defaultFileExt = m_txtExt->text();
    m_values.interval = m_txtInterval->text();
    m_values.intervalType = m_txtIntType->text();
}

void frmOptions::showValues()
{
    m_cboTimer->setEditText(m_values.timer);
    m_chkAutoStart->setChecked(m_values.autoStart);
    m_txtExt->setText(m_values.defaultFileExt);
    m_txtInterval->setText(m_values.interval);
    m_txtIntType->setText(m_values.intervalType);
    showEntries();
}

void frmOptions::showEntries()
{
    const quillfen::EntryList &entries = m_values.entries;
    const std::pair<QListWidget *, const QStringList *> lists[] = {{m_lstFiles, &entries.files},
        {m_lstPath, &entries.paths}, {m_lstDest, &entries.dests}, {m_lstMove, &entries.moves}};
    for (const auto &[widget, texts] : lists) {
        widget->clear();
        widget->addItems(*texts);
    }
}

int frmOptions::selectedRow() const
{
    const QList<QListWidgetItem *> selected = m_lstFiles->selectedItems();
    return selected.isEmpty() ? -1 : m_lstFiles->row(selected.first());
}

void frmOptions::cmdFile_Click()
{
    frmFileSelect editor(m_values.entries, this);
    editor.exec();
    showEntries();
}

void frmOptions::cmdRemove_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_values.entries.removeAt(row);
    showEntries();
}

void frmOptions::lstFiles_DblClick()
{
    // The editor needs an entry to show: without a selection there is nothing to change.
    const int row = selectedRow();
    if (row < 0)
        return;
    const quillfen::EntryList &entries = m_values.entries;
    frmFileSelect editor(m_values.entries, this);
    editor.setFileName(m_lstFiles->item(row)->text());
    editor.setSourceFolder(entries.paths.value(row));
    editor.setDestFolder(entries.dests.value(row));
    try {
        editor.setMoveChecked(quillfen::toMoveFlag(entries.moves.value(row)));
    } catch (const quillfen::Failure &failure) {
        // The entry opens all the same, so that the user can put the flag right.
        quillfen::reportPlace(failure, QStringLiteral("Options form edit"));
    }
    editor.setIndex(QString::number(row));
    editor.exec();
    showEntries();
}

void frmOptions::mnuSettingsExport_Click()
{
    quillfen::sc_ExportSettings();
}

void frmOptions::mnuSettingsImport_Click()
{
    // Whatever the answer, the window shows the store again and unsaved edits are gone.
    quillfen::sc_ImportSettings();
    Form_Load();
}

void frmOptions::mnuSettingsClear_Click()
{
    if (quillfen::sc_ClearSettings())
        m_ended = true;
}
