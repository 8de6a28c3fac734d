#include "drive_list.h"

#include "platform/host.h"
#include "transfer/sub_folders.h"

#include <QStorageInfo>

#include <algorithm>
#include <array>

namespace quillfen {

namespace {

bool isWithin(const QString &root, const QString &folder)
{
    return folder == root || folder.startsWith(folderPrefix(root));
}

} // namespace

bool isBrowsableVolume(const QString &root, const QByteArray &fileSystemType)
{
    static constexpr std::array<const char *, 20> KernelTypes = {"autofs", "binfmt_misc", "bpf", "cgroup",
        "cgroup2", "configfs", "debugfs", "devpts", "devtmpfs", "efivarfs", "fusectl", "hugetlbfs", "mqueue",
        "nsfs", "proc", "pstore", "rpc_pipefs", "securityfs", "squashfs", "sysfs"};
    if (std::any_of(
            KernelTypes.begin(), KernelTypes.end(), [&](const char *type) { return fileSystemType == type; }))
        return false;
    // Removable media appear under /run/media; the rest of /run, like /proc, /sys and /dev,
    // is the system's own.
    if (isWithin(QStringLiteral("/run/media"), root))
        return true;
    for (const char *system : {"/proc", "/sys", "/dev", "/run"}) {
        if (isWithin(QLatin1String(system), root))
            return false;
    }
    return true;
}

QString driveOf(const QStringList &roots, const QString &folder)
{
    QString best = host::separator();
    for (const QString &root : roots) {
        if (root.size() > best.size() && isWithin(root, folder))
            best = root;
    }
    return best;
}

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(this, &QComboBox::activated, this, [this] { emit driveChosen(drive()); });
    reload();
}

void DriveList::reload()
{
    QStringList roots {host::separator()};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())
            && isBrowsableVolume(volume.rootPath(), volume.fileSystemType()))
            roots.append(volume.rootPath());
    }
    setDrives(roots);
}

void DriveList::setDrives(const QStringList &roots)
{
    const QString shown = drive();
    m_roots = roots;
    std::sort(m_roots.begin(), m_roots.end());
    const QSignalBlocker quiet(this);
    clear();
    addItems(m_roots);
    const int at = findText(shown, Qt::MatchExactly);
    setCurrentIndex(at >= 0 ? at : 0);
}

QString DriveList::drive() const
{
    return currentText();
}

void DriveList::showDriveOf(const QString &folder)
{
    const int at = int(m_roots.indexOf(driveOf(m_roots, folder)));
    if (at >= 0 && at != currentIndex()) {
        const QSignalBlocker quiet(this);
        setCurrentIndex(at);
    }
}

void DriveList::showPopup()
{
    // Volumes come and go while the dialog is open.
    reload();
    QComboBox::showPopup();
}

} // namespace quillfen
