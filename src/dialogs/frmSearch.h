#pragma once

#include <QDialog>

class frmFileSelect;

// The file search dialog ("Select File"): picks a folder, and for a source also a file,
// for the entry editor that opened it.
class frmSearch : public QDialog
{
    Q_OBJECT

public:
    explicit frmSearch(frmFileSelect *editor, QWidget *parent = nullptr);
};
