#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

class frmFileSelect;

namespace Ui {
class frmSearch;
}

namespace quillfen {
class FoundFilesModel;
}

// The file search dialog ("Select File"): picks a folder, and for a source also a file,
// for the entry editor that opened it. The criteria panel browses with the drive, folder
// and file lists; Search runs a FolderWalk from the current folder, showing each folder it
// enters in the folder list and every matching file in the results panel.
class frmSearch : public QDialog
{
    Q_OBJECT

public:
    explicit frmSearch(frmFileSelect *editor, QWidget *parent = nullptr);
    ~frmSearch() override;

    // How long the count may lag behind a running search.
    static constexpr int RefreshMilliseconds = 100;

public slots:
    void reject() override;

    void drvList_Change();
    void dirList_Change();
    void dirList_LostFocus();
    void txtSearchSpec_Change();
    void filList_DblClick();
    void cmdSearch_Click();
    void cmdCancel_Click();
    void cmdSelect_Click();
    void lstFoundFiles_DblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void ClearSearch();
    // False when a failure ended the program.
    bool Search(const QString &root);
    void showProgress(bool now);
    void openStartFolder();

    std::unique_ptr<Ui::frmSearch> ui;
    frmFileSelect *m_editor;
    quillfen::FoundFilesModel *m_found;
    QString m_startFolder;
    bool m_searching = false; // cleared by Cancel and by a reset; the scan stops at its next folder
    bool m_scanRunning = false;
    QElapsedTimer m_sinceCount;
    QElapsedTimer m_sinceRows;
};
