#pragma once

#include "settings/options_values.h"

#include <QDialog>

#include <memory>

namespace Ui {
class frmOptions;
}

// The Options window: shows the store's settings and entry list, loaded when it is
// created, and saves them however it closes (its button, the title bar, Escape) - once.
// The controls are a view of an OptionsValues, whose load and close a transfer run shares;
// the Settings menu runs the export, import and clear of settings_file.h and clear_settings.h,
// previews the next run as the window shows it, undoes the last run and sets the start at login.
// No button is the default, so Enter in a field never closes the window; lstPath, lstDest
// and lstMove hold the other fields of each entry, row for row with lstFiles, never shown.
class frmOptions : public QDialog
{
    Q_OBJECT

public:
    explicit frmOptions(QWidget *parent = nullptr);
    ~frmOptions() override;

    quillfen::OptionsValues &values() { return m_values; }

    // The window's handlers, public so that tests can run them as the user would.
    void Form_Load();
    void cmdFile_Click();
    void cmdRemove_Click();
    void lstFiles_DblClick();
    void mnuSettingsExport_Click();
    void mnuSettingsImport_Click();
    void mnuSettingsClear_Click();
    void mnuSettingsPreview_Click();
    void mnuSettingsUndo_Click();
    void mnuSettingsStartAtLogin_Click(bool checked);
    void mnuSettingsNotify_Click(bool checked);
    void mnuSettingsSchedule_Click(bool checked);

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();
    void takeControls();
    void showValues();
    void showEntries();
    void listChosen();
    void showMenuStates();
    int selectedRow() const;

    std::unique_ptr<Ui::frmOptions> ui;
    quillfen::OptionsValues m_values;
    quillfen::OptionsValues m_stored; // as last loaded or saved
    bool m_unloaded = false; // saved since the last load
    bool m_ended = false; // a clear ended the program: nothing may be saved any more
};
