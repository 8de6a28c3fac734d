#pragma once

#include <QComboBox>
#include <QStringList>

namespace quillfen {

// The drive list: the root and the mounted volumes a user browses, each shown by its
// mount point. Only the user's choice emits driveChosen; the program sets the shown
// drive silently.
class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent = nullptr);

    // Reads the host's volumes again, keeping the shown drive when it is still there.
    void reload();
    // Shows exactly these drives (mount points), for a host without volumes to ask.
    void setDrives(const QStringList &roots);
    QStringList drives() const { return m_roots; }

    QString drive() const;
    // Shows the drive that holds `folder`; does not emit driveChosen.
    void showDriveOf(const QString &folder);

    void showPopup() override;

signals:
    void driveChosen(const QString &root);

private:
    QStringList m_roots; // as shown, in order
};

// True for a mounted volume worth browsing: not one of the kernel's own file systems
// and not mounted below the folders that only hold those.
bool isBrowsableVolume(const QString &root, const QByteArray &fileSystemType);

// The root among `roots` that holds `folder`: the longest one that is the folder or one of
// its ancestors; "/" when none is.
QString driveOf(const QStringList &roots, const QString &folder);

} // namespace quillfen
