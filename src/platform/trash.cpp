#include "trash.h"

#include "failure.h"
#include "native_names.h"
#include "raw_file.h"

#include <QDir>

#include <cerrno>
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

// Makes `folder` (and its "files" and "info") for this user alone, or answers false.
bool prepare(const QByteArray &folder)
{
    try {
        raw_file::makeFolderPath(folder + "/files");
        raw_file::makeFolderPath(folder + "/info");
    } catch (const Failure &) {
        return false;
    }
    struct stat st = {};
    return isFolder(folder, st) && st.st_uid == ::getuid();
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
        // On disk in this order, whatever a crash leaves: the info file whole, then the file in
        // the Trash, and only then may its old name be taken.
        try {
            raw_file::writeAll(fd.get(), info, infoPath);
            if (::fsync(fd.get()) != 0)
                throw Failure::fromErrno(errno, infoPath);
            fd.close(infoPath);
            raw_file::syncName(infoPath);
        } catch (const Failure &) {
            ::unlink(infoPath.constData());
            return {};
        }
        if (::link(path.constData(), kept.constData()) == 0) {
            try {
                raw_file::syncName(kept);
                return kept;
            } catch (const Failure &) {
                ::unlink(kept.constData());
                ::unlink(infoPath.constData());
                return {};
            }
        }
        const int err = errno;
        ::unlink(infoPath.constData());
        if (err != EEXIST)
            return {};
    }
    return {};
}

void Trash::restore(const QByteArray &trashed, const QByteArray &path)
{
    if (::renameat2(AT_FDCWD, trashed.constData(), AT_FDCWD, path.constData(), RENAME_NOREPLACE) != 0) {
        // Without an exclusive rename, a second name and then dropping the first does the same.
        const bool linked
            = (errno == EINVAL || errno == ENOSYS) && ::link(trashed.constData(), path.constData()) == 0;
        if (!linked) {
            if (errno == EEXIST)
                throw Failure(failure_no::FileExists);
            throw Failure::fromErrno(errno, path);
        }
        ::unlink(trashed.constData());
    }
    // The file is back on disk before its info file goes: a crash never leaves it in the Trash
    // without one. An info file whose file is gone is only ever dropped by file managers.
    try {
        raw_file::syncName(path);
        raw_file::syncName(trashed);
    } catch (const Failure &) {
        return;
    }
    const QByteArray trash = raw_file::folderPart(trashed).chopped(int(sizeof "files/") - 1);
    const QByteArray info = trash + "info/" + baseName(trashed) + ".trashinfo";
    ::unlink(info.constData());
}

} // namespace quillfen
