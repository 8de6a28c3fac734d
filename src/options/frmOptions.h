#pragma once

#include "settings/options_values.h"

#include <QDialog>

// The Options window: shows the store's settings and entry list, loaded when it is
// created, and saves them however it closes.
class frmOptions : public QDialog
{
    Q_OBJECT

public:
    explicit frmOptions(QWidget *parent = nullptr);

    quillfen::OptionsValues &values() { return m_values; }

private:
    quillfen::OptionsValues m_values;
};
