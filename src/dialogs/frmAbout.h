#pragma once

#include <QDialog>

class QLabel;

// The About box: the application's identity and version, and a way to the system
// information tool.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

private:
    QLabel *m_title;
    QLabel *m_version;
    QLabel *m_description;
    QLabel *m_created;
};
