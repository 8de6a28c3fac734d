#pragma once

#include "desktop_notification.h"
#include "transfer/countdown.h"
#include "transfer/run_observer.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <memory>

class MessageArea;
class QLabel;
class QTimer;

namespace quillfen {
class TransferRun;
}

namespace Ui {
class frmMain;
}

// The main window: counts down to the one transfer run of this launch, performs it, shows
// its log records as they are written, and closes itself after it. The countdown's rules,
// the run, the log and the store live in transfer/ and settings/; this class shows them
// and wires them to its controls, which its form lays out.
class frmMain : public QMainWindow, public quillfen::RunObserver
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // The load step, run once while the window is still hidden.
    void Form_Load();
    // Puts the auto-start state into the first status panel.
    void SC_StatusBar();
    // The toggle's behaviour, run whenever its state changes.
    void tglTimer_Click();
    // The countdown tick.
    void Timer1_Timer();
    // The run timer: performs the transfer run.
    void Timer2_Timer();
    void lblLog_Click();
    void lblOptions_Click();
    void lblAbout_Click();

    // The text of the first status panel.
    QString statusText() const;

    void putRecord(const QString &recordWithLineEnd) override;
    void filesPlanned(int count) override;
    void fileStarted(const QString &sourcePath) override;
    void bytesCopied(qint64 done, qint64 total) override;
    void fileFinished(const quillfen::FileEnd &end) override;
    void report(const quillfen::Report &report) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showCountdown();
    void readSettings();
    void enterRunning();
    void storePlacement();
    void showClock();
    void keepResponsive();
    void showRunProgress();

    std::unique_ptr<Ui::frmMain> ui;
    quillfen::Countdown m_countdown;
    bool m_transferring = false;
    // What the run reported since the window last showed it.
    int m_filesPlanned = 0;
    int m_filesDone = 0;
    QString m_filesFormat; // "%L1 of %L2 files", or the stopped run's
    QString m_currentFile;
    qint64 m_bytesDone = 0;
    qint64 m_bytesTotal = 0;
    quillfen::app::RunTally m_tally;
    QElapsedTimer m_sinceEvents;
    MessageArea *m_messages;

    QLabel *m_statusPanel;
    QLabel *m_datePanel;
    QLabel *m_timePanel;
    QTimer *m_timer1;
    QTimer *m_timer2;
    QTimer *m_clock;
    // A run that a failure ended keeps its Options values open until the window closes.
    std::unique_ptr<quillfen::TransferRun> m_endedRun;
};
