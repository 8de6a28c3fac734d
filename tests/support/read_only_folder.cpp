#include "read_only_folder.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen::test {

namespace {

bool setImmutable(const QByteArray &path, bool on)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString &path)
    : m_path(QFile::encodeName(path))
{
    ::chmod(m_path.constData(), 0555);
    if (::geteuid() == 0)
        m_immutable = setImmutable(m_path, true);
    m_active = ::geteuid() != 0 || m_immutable;
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_immutable)
        setImmutable(m_path, false);
    ::chmod(m_path.constData(), 0755);
}

} // namespace quillfen::test
