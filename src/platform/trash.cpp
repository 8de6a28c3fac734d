#include "trash.h"

#include "failure.h"
#include "native_names.h"
#include "raw_file.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

bool isFolder(const QByteArray &path, struct stat &st)
{
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether the file system that holds `folder` shows every entry as `owner`'s, whoever made
// it, as FAT, exFAT and NTFS without a user mapping do: an entry made now shows it too.
bool keepsNoOwners(const QByteArray &folder, uid_t owner)
{
    QByteArray probe = raw_file::folderPart(folder) + ".quillfen-owner-XXXXXX";
    if (!::mkdtemp(probe.data()))
        return false;
    struct stat st = {};
    const bool same = ::stat(probe.constData(), &st) == 0 && st.st_uid == owner;
    ::rmdir(probe.constData());
    return same;
}

// Makes `folder` (and its "files" and "info") for this user alone, or answers false. Where
// the file system keeps no owners, a folder that is not this user's is as much its as any.
bool prepare(const QByteArray &folder)
{
    try {
        raw_file::makeFolderPath(folder + "/files");
        raw_file::makeFolderPath(folder + "/info");
    } catch (const Failure &) {
        return false;
    }
    struct stat st = {};
    if (!isFolder(folder, st))
        return false;
    return st.st_uid == ::getuid() || keepsNoOwners(folder, st.st_uid);
}

// The top folder of the file system that holds `path`: the last folder above it on the same
// device.
QByteArray topOf(const QByteArray &path, dev_t device)
{
    QByteArray top = raw_file::folderPart(path);
    while (top.size() > 1) {
        QByteArray parent = top.chopped(1);
        parent = parent.left(parent.lastIndexOf('/') + 1);
        struct stat st = {};
        if (parent.isEmpty() || ::stat(parent.constData(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

QByteArray deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    return QByteArray(text, qsizetype(std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local)));
}

QByteArray baseName(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

} // namespace

QByteArray Trash::homeTrash()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return nativePath(base) + "/Trash";
}

QByteArray Trash::trashFor(const QByteArray &path, dev_t device)
{
    const auto known = m_trashes.constFind(device);
    if (known != m_trashes.cend())
        return *known;
    QByteArray chosen;
    const QByteArray home = homeTrash();
    struct stat st = {};
    raw_file::makeFolderPath(raw_file::folderPart(home));
    if (::stat(raw_file::folderPart(home).constData(), &st) == 0 && st.st_dev == device) {
        if (prepare(home))
            chosen = home;
    } else {
        const QByteArray top = topOf(path, device);
        const QByteArray uid = QByteArray::number(::getuid());
        // A shared ".Trash" counts only when it is a real folder with the sticky bit.
        const QByteArray shared = top + ".Trash";
        if (isFolder(shared, st) && (st.st_mode & S_ISVTX) && prepare(shared + '/' + uid))
            chosen = shared + '/' + uid;
        else if (prepare(top + ".Trash-" + uid))
            chosen = top + ".Trash-" + uid;
    }
    m_trashes.insert(device, chosen);
    return chosen;
}

QByteArray Trash::keep(const QByteArray &path)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0)
        return {};
    QByteArray trash;
    try {
        trash = trashFor(path, st.st_dev);
    } catch (const Failure &) {
        return {};
    }
    if (trash.isEmpty())
        return {};
    const QByteArray home = homeTrash();
    // Paths are absolute in the home trash and relative to the top elsewhere.
    const QByteArray top = trash == home ? QByteArray() : trash.left(trash.lastIndexOf("/.Trash") + 1);
    const QByteArray shownPath = top.isEmpty() ? path : path.mid(top.size());
    const QByteArray info = "[Trash Info]\nPath=" + shownPath.toPercentEncoding("/")
        + "\nDeletionDate=" + deletionDate() + "\n";

    const QByteArray name = baseName(path);
    for (int n = 1; n < 1000; ++n) {
        const QByteArray trashName = n == 1 ? name : name + '.' + QByteArray::number(n);
        // The info file is made first and exclusively: it reserves the name.
        const QByteArray infoPath = trash + "/info/" + trashName + ".trashinfo";
        raw_file::Descriptor fd(::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const QByteArray kept = trash + "/files/" + trashName;
        try {
            raw_file::writeAll(fd.get(), info, infoPath);
            fd.close(infoPath);
        } catch (const Failure &) {
            ::unlink(infoPath.constData());
            return {};
        }
        if (::link(path.constData(), kept.constData()) == 0)
            return kept;
        const int err = errno;
        ::unlink(infoPath.constData());
        if (err != EEXIST)
            return {};
    }
    return {};
}

void Trash::restore(const QByteArray &trashed, const QByteArray &path)
{
    // Without an exclusive rename, a second name or a claimed one does the same.
    raw_file::Placement way = raw_file::Placement::ExclusiveRename;
    if (!raw_file::renameExclusive(trashed, path, way))
        throw Failure(failure_no::FileExists);
    const QByteArray trash = raw_file::folderPart(trashed).chopped(int(sizeof "files/") - 1);
    const QByteArray info = trash + "info/" + baseName(trashed) + ".trashinfo";
    ::unlink(info.constData());
}

} // namespace quillfen
