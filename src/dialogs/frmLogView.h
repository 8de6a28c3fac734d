#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmLogView;
}

// The log, read-only, for a desktop where no application opens it.
class frmLogView : public QDialog
{
    Q_OBJECT

public:
    explicit frmLogView(const QString &path, QWidget *parent = nullptr);
    ~frmLogView() override;

    // A log grows without limit: the viewer reads its end only.
    static constexpr qint64 ShownBytes = qint64(8) << 20;

private:
    std::unique_ptr<Ui::frmLogView> ui;
};
