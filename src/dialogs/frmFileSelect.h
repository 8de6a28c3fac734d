#pragma once

#include "settings/entry_list.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The entry editor ("File Selection"): adds an entry to, or changes one of, the entry
// list of the Options window that opened it.
class frmFileSelect : public QDialog
{
    Q_OBJECT

public:
    explicit frmFileSelect(quillfen::EntryList &entries, QWidget *parent = nullptr);

    // Fields the Options window fills before showing, and the file search dialog fills on a pick.
    QString fileName() const;       // txtFile
    QString sourceFolder() const;   // txtPath
    QString destFolder() const;     // txtDest
    bool moveChecked() const;       // chkMove
    QString index() const;          // txtIndex (hidden)
    QString mode() const;           // txtMode (hidden): the browse target
    void setFileName(const QString &text);
    void setSourceFolder(const QString &text);
    void setDestFolder(const QString &text);
    void setMoveChecked(bool checked);
    void setIndex(const QString &text);
    void setMode(const QString &text);
};
