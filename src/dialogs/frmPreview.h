#pragma once

#include "settings/entry_list.h"

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

namespace Ui {
class frmPreview;
}

namespace quillfen {
class PreviewModel;
}

// The preview of the next run: every file the run would handle for the given entries and
// restriction, in the run's order, with what would happen to it and why, and the totals. The
// preview starts once the window shows and runs inside it, yielding to the events a few times
// a second; Cancel, Escape or closing the window stop it. It changes nothing on disk and
// nothing in the store; its size is kept for the next preview of the session.
class frmPreview : public QDialog
{
    Q_OBJECT

public:
    // `unsaved`: the entries or restriction differ from the store's, and the title says so.
    frmPreview(const quillfen::EntryList &entries, const QString &interval, const QString &unitCode,
        bool unsaved, QWidget *parent = nullptr);
    ~frmPreview() override;

    // How long the window may go without handling its events, and its rows without showing.
    static constexpr int EventsMilliseconds = 50;
    static constexpr int RowsMilliseconds = 250;

    void cmdCancel_Click();
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void run();
    void showProgress(bool now);
    void setColumnWidths();
    void fitColumns();

    std::unique_ptr<Ui::frmPreview> ui;
    quillfen::PreviewModel *m_model;
    const quillfen::EntryList m_entries;
    const QString m_interval;
    const QString m_unitCode;
    bool m_started = false;
    bool m_running = false;
    bool m_stopped = false; // asked to stop: Cancel, or the window closed
    bool m_cut = false; // the preview stopped before the end
    QElapsedTimer m_sinceRows;
};
