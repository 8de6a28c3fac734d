#include "trash.h"

#include "failure.h"
#include "native_names.h"
#include "raw_file.h"

#include <QDir>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

using raw_file::Descriptor;

[[noreturn]] void fail(int err, const QByteArray &path)
{
    throw Failure::fromErrno(err, path);
}

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

// Makes `folder` and its "files" and "info" for this user alone; throws what stands in the way.
// Where the file system keeps no owners, a folder that is not this user's is as much its as any.
void prepare(const QByteArray &folder)
{
    for (const QByteArray &part : {folder, folder + "/files", folder + "/info"}) {
        if (::mkdir(part.constData(), 0700) == 0)
            raw_file::syncName(part);
        else if (errno != EEXIST)
            fail(errno, part);
        struct stat st = {};
        // A link in a trash's place is not followed: it could lead anywhere.
        if (!isFolder(part, st))
            throw Failure(failure_no::PathFileAccessError);
        if (st.st_uid != ::getuid() && !keepsNoOwners(part, st.st_uid))
            throw Failure(failure_no::PathFileAccessError);
    }
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

// The name of the `n`th file of one name in a trash: the file's own, numbered from the second
// on, and cut where its info file's name would be too long, keeping a short extension.
QByteArray nameInTrash(const QByteArray &name, int n)
{
    const QByteArray number = n == 1 ? QByteArray() : '.' + QByteArray::number(n);
    const qsizetype room = NAME_MAX - qsizetype(sizeof ".trashinfo" - 1) - number.size();
    if (name.size() <= room)
        return name + number;
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray extension = dot > 0 && name.size() - dot <= 16 ? name.mid(dot) : QByteArray();
    qsizetype cut = room - extension.size();
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut; // not inside a character of several bytes
    return name.left(cut) + extension + number;
}

void copyData(int in, int out, const QByteArray &source, const QByteArray &dest)
{
    for (;;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (copied == 0)
            return;
        if (copied > 0 || errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            fail(errno, dest);
        break;
    }
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0)
            return;
        if (got < 0 && errno != EINTR)
            fail(errno, source);
        if (got > 0)
            raw_file::writeAll(out, QByteArrayView(buffer.data(), got), dest);
    }
}

// Copies the file or link `path` to the free name `kept`, with its times and mode, and flushes
// it and its folder to disk; answers false when the name was taken meanwhile.
bool copyInto(const QByteArray &path, const QByteArray &kept)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0)
        fail(errno, path);
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (length < 0)
            fail(errno, path);
        target.truncate(length);
        if (::symlink(target.constData(), kept.constData()) == 0)
            return true;
        if (errno == EEXIST)
            return false;
        fail(errno, kept);
    }
    const Descriptor in(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (in.get() < 0)
        fail(errno, path);
    if (::fstat(in.get(), &st) != 0)
        fail(errno, path);
    if (!S_ISREG(st.st_mode))
        raw_file::failNotPlainFile();
    raw_file::TempFile temp(kept, st.st_mode & 0777);
    copyData(in.get(), temp.fd(), path, kept);
    const std::array<timespec, 2> times = {st.st_atim, st.st_mtim};
    if (!temp.hasMode())
        ::fchmod(temp.fd(), st.st_mode & 0777);
    ::futimens(temp.fd(), times.data());
    if (::fsync(temp.fd()) != 0)
        fail(errno, kept);
    if (!temp.renameIfFree(kept))
        return false;
    raw_file::syncName(kept);
    return true;
}

// Keeps `path` in the trash folder `trash`: its info file first, made exclusively to reserve
// the name, then the file by a second name or, where that is refused, a copy that is on disk
// before the answer.
QByteArray keepIn(const QByteArray &trash, const QByteArray &path)
{
    // Paths are absolute in the home trash and relative to the top elsewhere.
    const QByteArray top
        = trash == Trash::homeTrash() ? QByteArray() : trash.left(trash.lastIndexOf("/.Trash") + 1);
    const QByteArray shownPath = top.isEmpty() ? path : path.mid(top.size());
    const QByteArray info = "[Trash Info]\nPath=" + shownPath.toPercentEncoding("/")
        + "\nDeletionDate=" + deletionDate() + "\n";
    const QByteArray name = baseName(path);
    for (int n = 1; n < 1000; ++n) {
        const QByteArray trashName = nameInTrash(name, n);
        const QByteArray infoPath = trash + "/info/" + trashName + ".trashinfo";
        Descriptor fd(::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            fail(errno, infoPath);
        }
        const QByteArray kept = trash + "/files/" + trashName;
        // On disk in this order, whatever a crash leaves: the info file whole, then the file in
        // the Trash, and only then may its old name be taken.
        try {
            raw_file::writeAll(fd.get(), info, infoPath);
            if (::fsync(fd.get()) != 0)
                fail(errno, infoPath);
            fd.close(infoPath);
            raw_file::syncName(infoPath);
            if (::link(path.constData(), kept.constData()) == 0) {
                try {
                    raw_file::syncName(kept);
                } catch (const Failure &) {
                    ::unlink(kept.constData());
                    throw;
                }
                return kept;
            }
            if (errno == EEXIST || !copyInto(path, kept)) {
                ::unlink(infoPath.constData());
                continue;
            }
            return kept;
        } catch (const Failure &) {
            ::unlink(infoPath.constData());
            throw;
        }
    }
    throw Failure(failure_no::FileExists);
}

} // namespace

QByteArray Trash::homeTrash()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return nativePath(base) + "/Trash";
}

QByteArray Trash::infoFileOf(const QByteArray &trashed)
{
    return raw_file::folderPart(raw_file::folderPart(trashed).chopped(1)) + "info/" + baseName(trashed)
        + ".trashinfo";
}

QByteArray Trash::trashFor(const QByteArray &path, dev_t device)
{
    const auto known = m_trashes.constFind(device);
    if (known != m_trashes.cend())
        return *known;
    const QByteArray home = homeTrash();
    struct stat st = {};
    raw_file::makeFolderPath(raw_file::folderPart(home));
    QByteArray chosen = home;
    bool prepared = false;
    if (::stat(raw_file::folderPart(home).constData(), &st) != 0 || st.st_dev != device) {
        const QByteArray top = topOf(path, device);
        const QByteArray uid = QByteArray::number(::getuid());
        // A shared ".Trash" counts only when it is a real folder with the sticky bit.
        const QByteArray shared = top + ".Trash";
        if (isFolder(shared, st) && (st.st_mode & S_ISVTX)) {
            try {
                prepare(shared + '/' + uid);
                chosen = shared + '/' + uid;
                prepared = true;
            } catch (const Failure &) {
                // The user's own trash at the top is the next choice.
            }
        }
        if (!prepared)
            chosen = top + ".Trash-" + uid;
    }
    if (!prepared)
        prepare(chosen);
    m_trashes.insert(device, chosen);
    return chosen;
}

QByteArray Trash::keep(const QByteArray &path)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0)
        fail(errno, path);
    if (S_ISDIR(st.st_mode))
        fail(EISDIR, path);
    const QByteArray home = homeTrash();
    try {
        return keepIn(trashFor(path, st.st_dev), path);
    } catch (const Failure &own) {
        // Another file system's file goes to the home trash as a copy when its own cannot take it.
        if (m_trashes.value(st.st_dev) == home)
            throw;
        try {
            prepare(home);
            return keepIn(home, path);
        } catch (const Failure &) {
            throw own;
        }
    }
}

void Trash::restore(const QByteArray &trashed, const QByteArray &path)
{
    // Without an exclusive rename, a second name or a claimed one does the same.
    raw_file::Placement way = raw_file::Placement::ExclusiveRename;
    if (!raw_file::renameExclusive(trashed, path, way))
        throw Failure(failure_no::FileExists);
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
