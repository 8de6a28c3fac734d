#include "raw_file.h"

#include "failure.h"
#include "native_names.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen::raw_file {

namespace {

const char TempPrefix[] = ".quillfen-";
const char TempSuffix[] = ".part";

// A temporary that is empty and new may belong to a writer that has not taken its lock yet.
constexpr time_t YoungSeconds = 60;

[[noreturn]] void fail(int err, const QByteArray &path)
{
    throw Failure::fromErrno(err, path);
}

QByteArray tempNameIn(const QByteArray &folder)
{
    const quint64 tag = QRandomGenerator::global()->generate64();
    return folder + TempPrefix + QByteArray::number(tag, 16) + TempSuffix;
}

bool isYoung(const struct stat &st)
{
    return st.st_ctim.tv_sec > std::time(nullptr) - YoungSeconds;
}

// A name that a call taking it refuses as invalid is one the file system cannot hold.
[[noreturn]] void failNaming(int err, const QByteArray &path)
{
    if (err == EINVAL)
        throw Failure(failure_no::BadFileName);
    fail(err, path);
}

bool flagsRefused(int err)
{
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

bool linksRefused(int err)
{
    return err == EPERM || err == ENOSYS || err == EOPNOTSUPP || err == EMLINK;
}

bool sameTimes(const timespec &a, const timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The last way: the name claimed by an exclusive create, then `from` renamed over the claim.
bool placeByClaim(const QByteArray &from, const QByteArray &to)
{
    struct stat claimed = {};
    {
        const Descriptor fd(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                return false;
            failNaming(errno, to);
        }
        if (::fstat(fd.get(), &claimed) != 0) {
            const int err = errno;
            ::unlink(to.constData());
            fail(err, to);
        }
    }
    // Whoever opened the claim to write into it meanwhile has made it a file of its own.
    const auto stillClaimed = [&] {
        struct stat now = {};
        return ::lstat(to.constData(), &now) == 0 && S_ISREG(now.st_mode) && now.st_ino == claimed.st_ino
            && now.st_size == 0 && sameTimes(now.st_mtim, claimed.st_mtim);
    };
    if (!stillClaimed())
        return false;
    if (::rename(from.constData(), to.constData()) != 0) {
        const int err = errno;
        if (stillClaimed())
            ::unlink(to.constData());
        failNaming(err, to);
    }
    return true;
}

Descriptor openNameless(const QByteArray &folder, mode_t mode)
{
    return Descriptor(
        ::open(folder.isEmpty() ? "." : folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
}

bool namelessRefused(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

// The name by which a nameless file can be given one.
QByteArray selfPath(int fd)
{
    char path[32];
    return QByteArray(path, std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd));
}

} // namespace

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

Descriptor::~Descriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void Descriptor::close(const QByteArray &path)
{
    const int fd = std::exchange(m_fd, -1);
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        fail(errno, path);
}

void writeAll(int fd, QByteArrayView bytes, const QByteArray &path, qint64 *written)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            if (written)
                *written = done;
            fail(err, path);
        }
        done += put;
    }
    if (written)
        *written = done;
}

QByteArray folderPart(const QByteArray &path)
{
    const qsizetype cut = path.lastIndexOf('/');
    return cut < 0 ? QByteArray() : path.left(cut + 1);
}

bool renameExclusive(const QByteArray &from, const QByteArray &to, Placement &way)
{
    if (way <= Placement::ExclusiveRename) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST)
            return false;
        if (!flagsRefused(errno))
            failNaming(errno, to);
        way = Placement::Link;
    }
    if (way == Placement::Link) {
        // A link fails the same way on an existing name. The new name is on disk before the
        // old one goes: a crash never leaves the file with neither.
        if (::link(from.constData(), to.constData()) == 0) {
            try {
                syncName(to);
            } catch (const Failure &) {
                ::unlink(to.constData());
                throw;
            }
            ::unlink(from.constData());
            return true;
        }
        if (errno == EEXIST)
            return false;
        if (!linksRefused(errno))
            failNaming(errno, to);
        way = Placement::Claim;
    }
    return placeByClaim(from, to);
}

TempFile::TempFile(const QByteArray &target, mode_t mode, Placement *way)
    : m_path(folderPart(target))
    , m_way(way ? way : &m_ownWay)
{
    if (*m_way == Placement::Nameless) {
        // Nameless, a killed run leaves nothing behind at all, and nobody sees the file before
        // it is complete, whatever its mode.
        m_fd = openNameless(m_path, mode);
        if (m_fd.get() >= 0) {
            m_hasMode = (mode & currentUmask()) == 0;
            return;
        }
        if (!namelessRefused(errno))
            fail(errno, target);
        *m_way = Placement::ExclusiveRename;
    }
    const QByteArray folder = m_path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = tempNameIn(folder);
        Descriptor fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() >= 0) {
            // Taken before anything is written, so a temporary with data in it is always locked
            // while its writer lives.
            ::flock(fd.get(), LOCK_EX | LOCK_NB);
            m_path = std::move(name);
            m_fd = std::move(fd);
            m_named = true;
            m_hasMode = mode == 0600;
            return;
        }
        if (errno != EEXIST)
            fail(errno, name);
    }
    fail(EEXIST, target);
}

TempFile::TempFile(const QByteArray &folder, Descriptor fd, mode_t mode)
    : m_path(folder)
    , m_fd(std::move(fd))
    , m_way(&m_ownWay)
    , m_hasMode((mode & currentUmask()) == 0)
{
}

std::unique_ptr<TempFile> TempFile::nameless(const QByteArray &target, mode_t mode)
{
    const QByteArray folder = folderPart(target);
    Descriptor fd = openNameless(folder, mode);
    if (fd.get() >= 0)
        return std::unique_ptr<TempFile>(new TempFile(folder, std::move(fd), mode));
    if (!namelessRefused(errno))
        fail(errno, target);
    return nullptr;
}

TempFile::~TempFile()
{
    if (m_named)
        ::unlink(m_path.constData());
}

void TempFile::closeFile()
{
    m_fd.close(m_path);
}

bool TempFile::renameIfFree(const QByteArray &target)
{
    if (!m_named) {
        // A nameless file takes the name only where it is free, as an exclusive rename would.
        const QByteArray self = selfPath(m_fd.get());
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST)
                return false;
            failNaming(errno, target);
        }
        try {
            closeFile();
        } catch (const Failure &) {
            ::unlink(target.constData());
            throw;
        }
        return true;
    }
    closeFile();
    if (!renameExclusive(m_path, target, *m_way))
        return false;
    m_named = false;
    return true;
}

void TempFile::renameOver(const QByteArray &target)
{
    if (!m_named) {
        // A name of its own first, from which a rename replaces the target in one step.
        const QByteArray self = selfPath(m_fd.get());
        const QByteArray folder = m_path;
        for (int attempt = 0;; ++attempt) {
            QByteArray name = tempNameIn(folder);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
                ::flock(m_fd.get(), LOCK_EX | LOCK_NB);
                m_path = std::move(name);
                m_named = true;
                break;
            }
            if (errno != EEXIST || attempt == 99)
                fail(errno, target);
        }
    }
    if (m_fd.get() >= 0)
        closeFile();
    if (::rename(m_path.constData(), target.constData()) != 0)
        failNaming(errno, target);
    m_named = false;
}

mode_t currentUmask()
{
    // Read once: asking the host sets it for a moment, and nothing here changes it.
    static const mode_t mask = [] {
        const mode_t current = ::umask(0);
        ::umask(current);
        return current;
    }();
    return mask;
}

mode_t newFileMode()
{
    return 0666 & ~currentUmask();
}

void makeFolderPath(const QByteArray &folder)
{
    struct stat st = {};
    if (folder.isEmpty() || ::stat(folder.constData(), &st) == 0)
        return;
    QByteArray parent = folder;
    while (parent.size() > 1 && parent.endsWith('/'))
        parent.chop(1);
    const qsizetype cut = parent.lastIndexOf('/');
    if (cut > 0)
        makeFolderPath(parent.left(cut));
    if (::mkdir(folder.constData(), 0777) == 0)
        syncName(folder);
    else if (errno != EEXIST)
        fail(errno, folder);
}

void syncName(const QByteArray &path)
{
    QByteArray name = path;
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    const QByteArray folder = folderPart(name);
    const Descriptor dir(
        ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        fail(errno, folder);
    if (::fsync(dir.get()) != 0 && errno != EINVAL && errno != EROFS)
        fail(errno, folder);
}

QByteArray temporaryNameFor(const QByteArray &target)
{
    return tempNameIn(folderPart(target));
}

bool isTemporaryName(const char *name)
{
    const size_t length = std::strlen(name);
    const size_t prefix = sizeof TempPrefix - 1;
    const size_t suffix = sizeof TempSuffix - 1;
    return length > prefix + suffix && std::strncmp(name, TempPrefix, prefix) == 0
        && std::strcmp(name + length - suffix, TempSuffix) == 0;
}

void removeStaleTemporaries(const QByteArray &folder)
{
    try {
        FolderReader reader(folder.isEmpty() ? QByteArray(".") : folder);
        while (const dirent *entry = reader.next()) {
            if (!isTemporaryName(entry->d_name))
                continue;
            struct stat st = {};
            if (::fstatat(reader.fd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISLNK(st.st_mode)) {
                // A link made in place of a moved link lives for a moment only.
                if (!isYoung(st))
                    ::unlinkat(reader.fd(), entry->d_name, 0);
                continue;
            }
            if (!S_ISREG(st.st_mode))
                continue;
            const Descriptor fd(
                ::openat(reader.fd(), entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
            if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
                continue; // a live writer holds it
            if (::fstat(fd.get(), &st) != 0 || (st.st_size == 0 && isYoung(st)))
                continue;
            ::unlinkat(reader.fd(), entry->d_name, 0);
        }
    } catch (const Failure &) {
        // The copy that follows meets whatever is wrong with the folder and reports it.
    }
}

void replaceWhole(const QString &path, QByteArrayView bytes)
{
    const QByteArray target = nativePath(path);
    struct stat existing = {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        failNotPlainFile();
    const mode_t mode = exists ? (existing.st_mode & 07777) : newFileMode();
    TempFile temp(target, mode);
    if (!temp.hasMode() && ::fchmod(temp.fd(), mode) != 0)
        fail(errno, target);
    writeAll(temp.fd(), bytes, target);
    if (::fsync(temp.fd()) != 0)
        fail(errno, target);
    temp.renameOver(target);
}

QByteArray readPlainFile(const QString &path)
{
    const QByteArray native = nativePath(path);
    Descriptor fd(::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        fail(errno, native);
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0)
        fail(errno, native);
    if (!S_ISREG(st.st_mode))
        failNotPlainFile();
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got == 0)
            return bytes;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, native);
        }
        bytes.append(buffer, got);
    }
}

std::optional<QByteArray> readPlainFileIfAny(const QString &path)
{
    try {
        return readPlainFile(path);
    } catch (const Failure &failure) {
        if (failure.number() == failure_no::FileNotFound || failure.number() == failure_no::PathNotFound)
            return std::nullopt;
        throw;
    }
}

namespace {

// Fills `buffer` from `fd` up to its size or the end of the file; -1 on a failure.
qsizetype readUpTo(int fd, QByteArray &buffer)
{
    qsizetype done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::read(fd, buffer.data() + done, size_t(buffer.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? -1 : done;
        done += got;
    }
    return done;
}

} // namespace

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    const Descriptor one(::open(a.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    const Descriptor other(::open(b.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st[2] = {};
    if (one.get() < 0 || other.get() < 0 || ::fstat(one.get(), &st[0]) != 0
        || ::fstat(other.get(), &st[1]) != 0 || !S_ISREG(st[0].st_mode) || !S_ISREG(st[1].st_mode)
        || st[0].st_size != st[1].st_size)
        return false;
    QByteArray first(65536, Qt::Uninitialized), second(65536, Qt::Uninitialized);
    for (;;) {
        const qsizetype got = readUpTo(one.get(), first);
        if (got < 0 || readUpTo(other.get(), second) != got
            || std::memcmp(first.constData(), second.constData(), size_t(got)) != 0)
            return false;
        if (got < first.size())
            return true;
    }
}

void failNotPlainFile()
{
    throw Failure(
        failure_no::PathFileAccessError, QStringLiteral("Path/File access error: not a plain file"));
}

FolderReader::FolderReader(const QByteArray &folder)
    : m_dir(folder.isEmpty() ? nullptr : ::opendir(folder.constData()))
    , m_folder(folder)
{
    if (m_dir)
        return;
    const int err = folder.isEmpty() ? ENOENT : errno;
    if (err == ENOENT || err == ENOTDIR)
        throw Failure(failure_no::PathNotFound);
    fail(err, folder);
}

FolderReader::~FolderReader()
{
    ::closedir(m_dir);
}

const dirent *FolderReader::next()
{
    errno = 0;
    const dirent *entry = ::readdir(m_dir);
    if (!entry && errno != 0)
        fail(errno, m_folder);
    return entry;
}

int FolderReader::fd() const
{
    return ::dirfd(m_dir);
}

} // namespace quillfen::raw_file
