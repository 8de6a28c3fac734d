#include "frmOptions.h"

// Placeholder until the Options window is built: loads on creation, saves on close.
frmOptions::frmOptions(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Options"));
    m_values.load();
    connect(this, &QDialog::finished, this, [this] { m_values.close(); });
}
