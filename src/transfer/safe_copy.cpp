#include "safe_copy.h"

#include "platform/native_names.h"

#include "platform/failure.h"

#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillfen::safe_copy {

namespace {

constexpr size_t KernelChunk = size_t(ProgressChunk);
constexpr size_t BufferSize = size_t(128) << 10;

[[noreturn]] void fail(int err, const QByteArray &path)
{
    throw Failure::fromErrno(err, nameFromNative(path));
}

[[noreturn]] void failNotAFile()
{
    throw Failure(failure_no::PathFileAccessError);
}

// The folder part of a native path, ending with "/", or empty for a bare name.
QByteArray folderPart(const QByteArray &path)
{
    const qsizetype cut = path.lastIndexOf('/');
    return cut < 0 ? QByteArray() : path.left(cut + 1);
}

QByteArray tempNameIn(const QByteArray &folder)
{
    const quint64 tag = QRandomGenerator::global()->generate64();
    return folder + ".quillfen-" + QByteArray::number(tag, 16) + ".part";
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Refuses a destination that is the source under another name: copying a file onto
// itself would empty it, and a rename onto itself would "succeed" and delete nothing.
void refuseSameFile(const struct stat &source, const QByteArray &dest)
{
    struct stat existing = {};
    if (::stat(dest.constData(), &existing) == 0 && sameFile(existing, source))
        throw Failure(failure_no::PermissionDenied);
}

// Attributes that some file systems cannot hold are not worth a failed copy.
bool attributeUnsupported(int err)
{
    return err == EPERM || err == EOPNOTSUPP || err == ENOTSUP;
}

class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    Descriptor &operator=(Descriptor &&) = delete;

    int get() const { return m_fd; }

private:
    int m_fd;
};

// A new, exclusively created file beside the destination that is removed again unless
// it is renamed into place.
class TempFile
{
public:
    explicit TempFile(const QByteArray &dest)
    {
        const QByteArray folder = folderPart(dest);
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray name = tempNameIn(folder);
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                m_path = std::move(name);
                m_fd = fd;
                return;
            }
            if (errno != EEXIST)
                fail(errno, name);
        }
        fail(EEXIST, dest);
    }
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.isEmpty())
            ::unlink(m_path.constData());
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    int fd() const { return m_fd; }
    const QByteArray &path() const { return m_path; }

    void close()
    {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            fail(errno, m_path);
    }

    void renameTo(const QByteArray &dest)
    {
        if (::rename(m_path.constData(), dest.constData()) != 0)
            fail(errno, dest);
        m_path.clear();
    }

private:
    QByteArray m_path;
    int m_fd = -1;
};

void syncFolderOf(const QByteArray &path)
{
    const QByteArray folder = folderPart(path);
    Descriptor dir(::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        fail(errno, folder);
    // Some file systems cannot flush a folder; the data itself is flushed by then.
    if (::fsync(dir.get()) != 0 && errno != EINVAL && errno != EROFS)
        fail(errno, folder);
}

class ProgressReport
{
public:
    ProgressReport(const Progress &progress, qint64 total)
        : m_progress(total >= ProgressChunk ? &progress : nullptr)
        , m_total(total)
    {
        if (m_progress && !*m_progress)
            m_progress = nullptr;
    }

    void advance(qint64 bytes)
    {
        m_done += bytes;
        if (m_progress && m_done - m_reported >= ProgressChunk) {
            m_reported = m_done;
            (*m_progress)(m_done, m_total);
        }
    }

    void finish()
    {
        if (m_progress && m_reported != m_done)
            (*m_progress)(m_done, std::max(m_done, m_total));
    }

    qint64 done() const { return m_done; }

private:
    const Progress *m_progress;
    qint64 m_total;
    qint64 m_done = 0;
    qint64 m_reported = 0;
};

void copyByReadWrite(
    int in, int out, const QByteArray &source, const QByteArray &dest, ProgressReport &report)
{
    std::unique_ptr<char[]> buffer(new char[BufferSize]);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), BufferSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, source);
        }
        if (got == 0)
            return;
        const char *p = buffer.get();
        ssize_t left = got;
        while (left > 0) {
            const ssize_t put = ::write(out, p, size_t(left));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                fail(errno, dest);
            }
            p += put;
            left -= put;
        }
        report.advance(got);
    }
}

// The kernel copies: a shared-extent clone where the file system offers one, otherwise
// copy_file_range, and a plain read/write loop only where neither works.
void copyData(
    int in, int out, qint64 size, const QByteArray &source, const QByteArray &dest, const Progress &progress)
{
    ProgressReport report(progress, size);
    if (::ioctl(out, FICLONE, in) == 0) {
        report.advance(size);
        report.finish();
        return;
    }
    for (;;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, KernelChunk, 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF)
                break;
            fail(errno, dest);
        }
        if (copied == 0) {
            // A file system that answers 0 for a file it reported as non-empty cannot
            // be copied this way; both offsets still stand where the copy got to.
            if (report.done() == 0 && size > 0)
                break;
            report.finish();
            return;
        }
        report.advance(copied);
    }
    copyByReadWrite(in, out, source, dest, report);
    report.finish();
}

// Opens `source` for reading when it is (or links to) a regular file.
Descriptor openRegularFile(const QByteArray &source, struct stat &st)
{
    if (::stat(source.constData(), &st) != 0)
        fail(errno, source);
    if (!S_ISREG(st.st_mode))
        failNotAFile();
    // O_NONBLOCK: should the name turn into a pipe meanwhile, open must not hang.
    Descriptor fd(::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        fail(errno, source);
    if (::fstat(fd.get(), &st) != 0)
        fail(errno, source);
    if (!S_ISREG(st.st_mode))
        failNotAFile();
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void copyNative(const QByteArray &source, const QByteArray &dest, bool durable, const Progress &progress)
{
    struct stat st = {};
    const Descriptor in = openRegularFile(source, st);
    refuseSameFile(st, dest);

    TempFile temp(dest);
    copyData(in.get(), temp.fd(), st.st_size, source, temp.path(), progress);
    if (::fchmod(temp.fd(), st.st_mode & 0777) != 0 && !attributeUnsupported(errno))
        fail(errno, temp.path());
    const std::array<timespec, 2> times = {st.st_atim, st.st_mtim};
    if (::futimens(temp.fd(), times.data()) != 0 && !attributeUnsupported(errno))
        fail(errno, temp.path());
    if (durable && ::fsync(temp.fd()) != 0)
        fail(errno, temp.path());
    temp.close();
    temp.renameTo(dest);
    if (durable)
        syncFolderOf(dest);
}

// Recreates the link `source` as `dest`, through a temporary name beside `dest`.
void relinkNative(const QByteArray &source, const QByteArray &dest)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(source.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        fail(errno, source);
    target.truncate(length);

    const QByteArray folder = folderPart(dest);
    QByteArray temp;
    for (int attempt = 0;; ++attempt) {
        temp = tempNameIn(folder);
        if (::symlink(target.constData(), temp.constData()) == 0)
            break;
        if (errno != EEXIST || attempt == 99)
            fail(errno, temp);
    }
    if (::rename(temp.constData(), dest.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        fail(err, dest);
    }
    syncFolderOf(dest);
}

} // namespace

void copyFile(const QString &source, const QString &dest, const Progress &progress)
{
    copyNative(nativePath(source), nativePath(dest), false, progress);
}

void moveFile(const QString &source, const QString &dest, const Progress &progress)
{
    const QByteArray from = nativePath(source);
    const QByteArray to = nativePath(dest);

    struct stat itself = {};
    if (::lstat(from.constData(), &itself) != 0)
        fail(errno, from);
    // Links are looked through only where there is one: most moves are of plain files.
    struct stat file = itself;
    if (S_ISLNK(itself.st_mode) && ::stat(from.constData(), &file) != 0)
        fail(errno, from);
    if (!S_ISREG(file.st_mode))
        failNotAFile();
    struct stat destItself = {};
    if (::lstat(to.constData(), &destItself) == 0) {
        if (sameFile(destItself, itself))
            throw Failure(failure_no::PermissionDenied);
        if (S_ISLNK(destItself.st_mode))
            refuseSameFile(file, to);
        else if (sameFile(destItself, file))
            throw Failure(failure_no::PermissionDenied);
    }

    if (::rename(from.constData(), to.constData()) == 0)
        return;

    // Another file system, or a rename refused for another reason: copy, make the copy
    // durable, and only then delete the source.
    if (S_ISLNK(itself.st_mode))
        relinkNative(from, to);
    else
        copyNative(from, to, true, progress);
    if (::unlink(from.constData()) != 0)
        fail(errno, from);
}

} // namespace quillfen::safe_copy
