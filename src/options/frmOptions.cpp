#include "frmOptions.h"

#include "ui_frmOptions.h"

#include "clear_settings.h"
#include "settings_file.h"

#include "dialogs/frmFileSelect.h"
#include "dialogs/frmPreview.h"
#include "dialogs/message_shown.h"
#include "platform/autostart.h"
#include "platform/schedule.h"
#include "settings/numeric.h"
#include "settings/store.h"
#include "transfer/transfer_log.h"
#include "undo_last_run.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimeEdit>

frmOptions::frmOptions(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmOptions>())
{
    ui->setupUi(this);
    ui->layoutWindow->setMenuBar(ui->menuBar);
    for (const auto &[field, characters] : {std::pair(ui->txtInterval, 6), std::pair(ui->txtIntType, 3)})
        field->setFixedWidth(field->fontMetrics().averageCharWidth() * characters + 12);
    resize(fontMetrics().averageCharWidth() * 72, fontMetrics().lineSpacing() * 24);
    // The first start opens this window: it tells where the run's log will be.
    ui->lblLogFile->setText(QStringLiteral("Log file: ") + quillfen::logFilePath());
    ui->cboTimer->setFocus();
    // The menu's captions carry no access keys: F10 opens it, as on the common desktops.
    connect(new QShortcut(Qt::Key_F10, this), &QShortcut::activated, this,
        [this] { ui->menuBar->setActiveAction(ui->mnuSettings->menuAction()); });

    connect(ui->cmdFile, &QPushButton::clicked, this, &frmOptions::cmdFile_Click);
    connect(ui->cmdRemove, &QPushButton::clicked, this, &frmOptions::cmdRemove_Click);
    connect(ui->cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->lstFiles, &QListWidget::itemDoubleClicked, this, &frmOptions::lstFiles_DblClick);
    connect(ui->mnuSettingsExport, &QAction::triggered, this, &frmOptions::mnuSettingsExport_Click);
    connect(ui->mnuSettingsImport, &QAction::triggered, this, &frmOptions::mnuSettingsImport_Click);
    connect(ui->mnuSettingsClear, &QAction::triggered, this, &frmOptions::mnuSettingsClear_Click);
    connect(ui->mnuSettingsPreview, &QAction::triggered, this, &frmOptions::mnuSettingsPreview_Click);
    connect(ui->mnuSettingsUndo, &QAction::triggered, this, &frmOptions::mnuSettingsUndo_Click);
    connect(ui->mnuSettings, &QMenu::aboutToShow, this, &frmOptions::showMenuStates);
    connect(
        ui->mnuSettingsStartAtLogin, &QAction::triggered, this, &frmOptions::mnuSettingsStartAtLogin_Click);
    connect(ui->mnuSettingsNotify, &QAction::triggered, this, &frmOptions::mnuSettingsNotify_Click);
    connect(ui->mnuSettingsSchedule, &QAction::triggered, this, &frmOptions::mnuSettingsSchedule_Click);

    Form_Load();
}

frmOptions::~frmOptions() = default;

void frmOptions::Form_Load()
{
    // A load step that fails leaves its control as it stands, so start from the controls.
    takeControls();
    quillfen::showReports(m_values.load());
    m_stored = m_values;
    showValues();
    m_unloaded = false;
}

void frmOptions::Form_Unload()
{
    if (m_unloaded || m_ended)
        return;
    m_unloaded = true;
    takeControls();
    quillfen::showReports(m_values.close());
    m_stored = m_values;
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
    m_values.timer = ui->cboTimer->currentText();
    m_values.autoStart = ui->chkAutoStart->isChecked();
    m_values.defaultFileExt = ui->txtExt->text();
    m_values.interval = ui->txtInterval->text();
    m_values.intervalType = ui->txtIntType->text();
    m_values.keepReplaced = ui->mnuSettingsKeepReplaced->isChecked();
}

void frmOptions::showValues()
{
    ui->cboTimer->setEditText(m_values.timer);
    ui->chkAutoStart->setChecked(m_values.autoStart);
    ui->txtExt->setText(m_values.defaultFileExt);
    ui->txtInterval->setText(m_values.interval);
    ui->txtIntType->setText(m_values.intervalType);
    ui->mnuSettingsKeepReplaced->setChecked(m_values.keepReplaced);
    showEntries();
}

void frmOptions::showEntries()
{
    const quillfen::EntryList &entries = m_values.entries;
    const std::pair<QListWidget *, const QStringList *> lists[] = {{ui->lstFiles, &entries.files},
        {ui->lstPath, &entries.paths}, {ui->lstDest, &entries.dests}, {ui->lstMove, &entries.moves}};
    for (const auto &[widget, texts] : lists) {
        widget->clear();
        widget->addItems(*texts);
    }
}

int frmOptions::selectedRow() const
{
    const QList<QListWidgetItem *> selected = ui->lstFiles->selectedItems();
    return selected.isEmpty() ? -1 : ui->lstFiles->row(selected.first());
}

void frmOptions::cmdFile_Click()
{
    frmFileSelect editor(m_values.entries, this);
    if (editor.exec() == QDialog::Accepted)
        listChosen();
    showEntries();
}

// A list the user changed is theirs to save, even where the stored one could not be read.
void frmOptions::listChosen()
{
    m_values.listReadable = true;
}

void frmOptions::cmdRemove_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_values.entries.removeAt(row);
    listChosen();
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
    editor.setFileName(ui->lstFiles->item(row)->text());
    editor.setSourceFolder(entries.paths.value(row));
    editor.setDestFolder(entries.dests.value(row));
    try {
        editor.setMoveChecked(quillfen::toMoveFlag(entries.moves.value(row)));
    } catch (const quillfen::Failure &failure) {
        // The entry opens all the same, so that the user can put the flag right.
        quillfen::reportPlace(failure, QStringLiteral("Options form edit"));
    }
    // A choice that names none opens as the default, which OK then stores.
    try {
        editor.setConflict(quillfen::toChoice(entries.conflicts.value(row), quillfen::ConflictCount));
        editor.setDateFolders(quillfen::toChoice(entries.dateFolders.value(row), quillfen::DateFoldersCount));
    } catch (const quillfen::Failure &failure) {
        quillfen::reportPlace(failure, QStringLiteral("Options form edit"));
    }
    editor.setIndex(QString::number(row));
    if (editor.exec() == QDialog::Accepted)
        listChosen();
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

void frmOptions::mnuSettingsPreview_Click()
{
    takeControls();
    frmPreview preview(
        m_values.entries, m_values.interval, m_values.intervalType, !m_values.plansLike(m_stored), this);
    preview.exec();
}

void frmOptions::mnuSettingsUndo_Click()
{
    quillfen::undoLastRun();
}

void frmOptions::showMenuStates()
{
    bool on = false;
    QTime daily;
    // A menu that opens shows no box: toggling an item reports what stands in the way.
    try {
        on = quillfen::startsAtLogin();
    } catch (const quillfen::Failure &) {
    }
    try {
        daily = quillfen::scheduledTime();
    } catch (const quillfen::Failure &) {
    }
    ui->mnuSettingsStartAtLogin->setChecked(on);
    ui->mnuSettingsSchedule->setChecked(daily.isValid());
    ui->mnuSettingsSchedule->setToolTip(daily.isValid()
            ? QStringLiteral("Runs each day at ") + QLocale().toString(daily, QLocale::ShortFormat)
            : QStringLiteral("Runs each day at a time you choose"));
    ui->mnuSettingsNotify->setChecked(quillfen::store::get(quillfen::keys::Notify) == QLatin1String("1"));
}

void frmOptions::mnuSettingsStartAtLogin_Click(bool checked)
{
    try {
        using quillfen::StartAtLogin;
        if (quillfen::setStartAtLogin(checked) == StartAtLogin::ForeignEntry
            && quillfen::confirm(
                quillfen::messages::foreignAutostart(quillfen::autostartEntryPath(), checked)))
            quillfen::setStartAtLogin(checked, quillfen::runningProgram(), true);
    } catch (const quillfen::Failure &failure) {
        quillfen::reportPlace(failure, QStringLiteral("Start at Login"));
    }
    showMenuStates();
}

void frmOptions::mnuSettingsNotify_Click(bool checked)
{
    try {
        quillfen::store::save(quillfen::keys::Notify, checked ? QStringLiteral("1") : QStringLiteral("0"));
    } catch (const quillfen::Failure &failure) {
        quillfen::reportPlace(failure, QStringLiteral("Notify Through the Desktop"));
    }
    showMenuStates();
}

namespace {

// Asks for the time of day of the daily run; a null time when the user cancels.
QTime askDailyTime(QWidget *parent, const QTime &shown)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgDailyTime"));
    dialog.setWindowTitle(QStringLiteral("Run Daily at"));
    auto *time = new QTimeEdit(shown, &dialog);
    time->setObjectName(QStringLiteral("timDaily"));
    time->setDisplayFormat(QStringLiteral("HH:mm"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QFormLayout(&dialog);
    layout->addRow(QStringLiteral("&Time of day:"), time);
    layout->addRow(buttons);
    return dialog.exec() == QDialog::Accepted ? time->time() : QTime();
}

} // namespace

void frmOptions::mnuSettingsSchedule_Click(bool checked)
{
    try {
        using quillfen::Schedule;
        QTime at;
        if (checked) {
            at = askDailyTime(this, QTime(8, 0));
            if (!at.isValid()) {
                showMenuStates();
                return;
            }
        }
        if (quillfen::setSchedule(at) == Schedule::ForeignUnit
            && quillfen::confirm(quillfen::messages::foreignSchedule(quillfen::scheduleFolder(), checked)))
            quillfen::setSchedule(at, quillfen::runningProgram(), true);
    } catch (const quillfen::Failure &failure) {
        quillfen::reportPlace(failure, QStringLiteral("Run Daily at"));
    }
    showMenuStates();
}
