#include "frmSearch.h"

// Placeholder until the search dialog is built: closes at once, picking nothing.
frmSearch::frmSearch(frmFileSelect *, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select File"));
}
