#pragma once

#include <QWidget>

class QLabel;
class QTimer;

// The splash window: the application's identity while the program starts. It closes
// itself after a second of event loop or at any key.
class frmSplash : public QWidget
{
    Q_OBJECT

public:
    explicit frmSplash(QWidget *parent = nullptr);

    void Form_Load();
    void timUnload_Timer();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_productName;
    QLabel *m_version;
    QLabel *m_description;
    QLabel *m_company;
    QLabel *m_copyright;
    QLabel *m_comment;
    QTimer *m_unload;
};
