#include "volume.h"

#include "raw_file.h"

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace quillfen::volume {

namespace {

enum class Kind { Other, Fat, Exfat, Ntfs, Smb };

constexpr qint64 FatLargestFile = 0xFFFFFFFFLL;

// Spaces and the like are written as \ooo in the mount table.
QByteArray unescaped(const QByteArray &field)
{
    QByteArray out;
    for (qsizetype k = 0; k < field.size(); ++k) {
        if (field[k] == '\\' && k + 3 < field.size()) {
            out += char(field.mid(k + 1, 3).toInt(nullptr, 8));
            k += 3;
        } else {
            out += field[k];
        }
    }
    return out;
}

// The type of the file system whose image or device is at `source`, from its boot sector.
Kind bootSectorKind(const QByteArray &source)
{
    const raw_file::Descriptor fd(::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st = {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !(S_ISBLK(st.st_mode) || S_ISREG(st.st_mode)))
        return Kind::Other;
    char sector[512] = {};
    if (::pread(fd.get(), sector, sizeof sector, 0) != qint64(sizeof sector))
        return Kind::Other;
    const QByteArrayView boot(sector, sizeof sector);
    if (boot.sliced(3, 8) == "EXFAT   ")
        return Kind::Exfat;
    if (boot.sliced(3, 8) == "NTFS    ")
        return Kind::Ntfs;
    if (boot.sliced(82, 5) == "FAT32" || boot.sliced(54, 3) == "FAT")
        return Kind::Fat;
    return Kind::Other;
}

Kind kindByName(const QByteArray &type)
{
    if (type == "vfat" || type == "msdos" || type == "fat" || type == "fusefat")
        return Kind::Fat;
    if (type == "exfat" || type == "exfat-fuse")
        return Kind::Exfat;
    if (type.startsWith("ntfs"))
        return Kind::Ntfs;
    if (type == "cifs" || type == "smb3")
        return Kind::Smb;
    return Kind::Other;
}

// From the mount table's line for the device `device`: its type and, for SMB, its options.
Kind mountedKind(dev_t device, QByteArray &options)
{
    QByteArray table;
    try {
        table = raw_file::readPlainFile(QStringLiteral("/proc/self/mountinfo"));
    } catch (const std::exception &) {
        return Kind::Other;
    }
    const QByteArray id = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 3 || fields.at(2) != id || dash < 0 || dash + 3 >= fields.size())
            continue;
        const QByteArray &type = fields.at(dash + 1);
        options = fields.at(dash + 3);
        if (type.startsWith("fuse.")) {
            const Kind named = kindByName(type.mid(5));
            if (named != Kind::Other)
                return named;
        }
        if (type == "fuse" || type == "fuseblk" || type.startsWith("fuse."))
            return bootSectorKind(unescaped(fields.at(dash + 2)));
        return kindByName(type);
    }
    return Kind::Other;
}

} // namespace

Rules rulesOf(const QByteArray &folder)
{
    struct statfs fs = {};
    struct stat st = {};
    // A folder still to be made will be on its parent's file system.
    QByteArray at = folder.isEmpty() ? QByteArray(".") : folder;
    while (::statfs(at.constData(), &fs) != 0) {
        while (at.size() > 1 && at.endsWith('/'))
            at.chop(1);
        if (errno != ENOENT || at.lastIndexOf('/') <= 0)
            return {};
        at.truncate(at.lastIndexOf('/') + 1);
    }
    if (::stat(at.constData(), &st) != 0)
        return {};
    QByteArray options;
    Kind kind = Kind::Other;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case MSDOS_SUPER_MAGIC:
        kind = Kind::Fat;
        break;
    case EXFAT_SUPER_MAGIC:
        kind = Kind::Exfat;
        break;
    case 0x5346544eUL: // ntfs
    case 0x7366746eUL: // ntfs3
        kind = Kind::Ntfs;
        break;
    case FUSE_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
        kind = mountedKind(st.st_dev, options);
        break;
    default:
        break;
    }
    switch (kind) {
    case Kind::Fat:
        return {true, true, FatLargestFile};
    case Kind::Exfat:
        return {true, true, 0};
    case Kind::Smb: {
        // Unless mapped to characters of their own, the server refuses what Windows refuses.
        const QList<QByteArray> list = options.split(',');
        const bool mapped = list.contains("mapposix") || list.contains("mapchars");
        return {!mapped, !list.contains("posix"), 0};
    }
    case Kind::Ntfs:
    case Kind::Other:
        break;
    }
    return {};
}

bool refuses(const Rules &rules, QByteArrayView name)
{
    if (!rules.refusesWindowsNames || name.isEmpty())
        return false;
    if (name.endsWith('.') || name.endsWith(' '))
        return true;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || QByteArrayView(":*?\"<>|\\").contains(c))
            return true;
    }
    return false;
}

} // namespace quillfen::volume
