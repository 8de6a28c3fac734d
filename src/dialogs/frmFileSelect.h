#pragma once

#include "settings/entry_list.h"

#include <QDialog>

#include <memory>

namespace Ui {
class frmFileSelect;
}

namespace quillfen::browse_target {
// The words the editor puts into txtMode before it opens the file search dialog.
inline constexpr char Source[] = "Source";
inline constexpr char Destination[] = "Destination";
} // namespace quillfen::browse_target

// The entry editor ("File Selection"): adds an entry to, or changes one of, the entry
// list of the Options window that opened it. OK writes straight into that list; Cancel,
// Escape and the title bar leave it untouched.
class frmFileSelect : public QDialog
{
    Q_OBJECT

public:
    explicit frmFileSelect(quillfen::EntryList &entries, QWidget *parent = nullptr);
    ~frmFileSelect() override;

    // Fields the Options window fills before showing, and the file search dialog fills on a pick.
    QString fileName() const; // txtFile
    QString sourceFolder() const; // txtPath
    QString destFolder() const; // txtDest
    bool moveChecked() const; // chkMove
    QString index() const; // txtIndex (hidden)
    QString mode() const; // txtMode (hidden): the browse target
    void setFileName(const QString &text);
    void setSourceFolder(const QString &text);
    void setDestFolder(const QString &text);
    void setMoveChecked(bool checked);
    void setIndex(const QString &text);
    void setMode(const QString &text);
    // The entry's choices, by their stored numbers.
    int conflict() const; // cboConflict: a quillfen::Conflict
    int dateFolders() const; // cboDateFolders: quillfen::DateFolders
    void setConflict(int choice);
    void setDateFolders(int choice);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void cmdFile_Click();
    void cmdDest_Click();
    void cmdOK_Click();

private:
    void browse(const char *target);

    std::unique_ptr<Ui::frmFileSelect> ui;
    quillfen::EntryList &m_entries;
};
