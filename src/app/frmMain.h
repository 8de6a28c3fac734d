#pragma once

#include "transfer/run_observer.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <memory>

namespace quillfen {
class TransferRun;
}

class LinkLabel;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// The main window: counts down to the one transfer run of this launch, performs it, shows
// its log records as they are written, and closes itself after it. The rules of the run,
// the log and the store live in transfer/ and settings/; this class wires them to controls.
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
    void fileFinished() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setStatus(const QString &text);
    void readCountdownLength();
    void readAutoStart();
    void setToggleFromAutoStart();
    void enterRunning();
    void storePlacement();
    void showClock();
    void keepResponsive();

    qint16 m_countdownLength = 0;
    qint16 m_autoStart = 0;
    bool m_transferring = false;
    int m_filesPlanned = 0;
    int m_filesDone = 0;
    QString m_currentFile;
    QElapsedTimer m_sinceEvents;

    LinkLabel *m_log;
    LinkLabel *m_options;
    LinkLabel *m_about;
    QLabel *m_label1;
    QPushButton *m_toggle;
    QLabel *m_label2;
    QPlainTextEdit *m_messages;
    QProgressBar *m_filesBar;
    QProgressBar *m_bytesBar;
    QLabel *m_statusPanel;
    QLabel *m_datePanel;
    QLabel *m_timePanel;
    QTimer *m_timer1;
    QTimer *m_timer2;
    QTimer *m_clock;
    // A run that a failure ended keeps its Options values open until the window closes.
    std::unique_ptr<quillfen::TransferRun> m_endedRun;
};
