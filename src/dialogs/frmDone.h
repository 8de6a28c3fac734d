#pragma once

#include <QWidget>

class QTimer;

// The completion notice after a scheduled run. It closes itself after two seconds or at
// any key, and its closing, in whatever way, ends the program.
class frmDone : public QWidget
{
    Q_OBJECT

public:
    explicit frmDone(QWidget *parent = nullptr);

    void timUnload_Timer();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QTimer *m_unload;
};
