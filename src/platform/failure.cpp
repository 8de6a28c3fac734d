#include "failure.h"

#include "native_names.h"

#include <cerrno>
#include <sys/stat.h>

namespace quillfen {

Failure::Failure(int number)
    : Failure(number, describe(number))
{
}

Failure::Failure(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what((m_description + QStringLiteral(" (") + QString::number(m_number) + QLatin1Char(')')).toUtf8())
{
}

const char *Failure::what() const noexcept
{
    return m_what.constData();
}

QString Failure::describe(int number)
{
    switch (number) {
    case failure_no::InvalidArgument:
        return QStringLiteral("Invalid procedure call or argument");
    case failure_no::Overflow:
        return QStringLiteral("Overflow");
    case failure_no::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case failure_no::FileNotFound:
        return QStringLiteral("File not found");
    case failure_no::FileChanged:
        return QStringLiteral("File changed while it was copied");
    case failure_no::DeviceIoError:
        return QStringLiteral("Device I/O error");
    case failure_no::FileExists:
        return QStringLiteral("File already exists");
    case failure_no::DiskFull:
        return QStringLiteral("Disk full");
    case failure_no::BadFileName:
        return QStringLiteral("Bad file name");
    case failure_no::DeviceUnavailable:
        return QStringLiteral("Device unavailable");
    case failure_no::PermissionDenied:
        return QStringLiteral("Permission denied");
    case failure_no::PathFileAccessError:
        return QStringLiteral("Path/File access error");
    case failure_no::PathNotFound:
        return QStringLiteral("Path not found");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

static bool parentIsFolder(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype cut = path.lastIndexOf('/');
    if (cut < 0)
        return true; // relative to the current folder, which exists
    const QByteArray parent = cut == 0 ? QByteArray("/") : path.left(cut);
    struct stat st
    {
    };
    return ::stat(parent.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

Failure Failure::fromErrno(int err, const QString &path)
{
    return fromErrno(err, nativePath(path));
}

Failure Failure::fromErrno(int err, const QByteArray &path)
{
    switch (err) {
    case ENOENT:
        return Failure(parentIsFolder(path) ? failure_no::FileNotFound : failure_no::PathNotFound);
    case ENOTDIR:
        return Failure(failure_no::PathNotFound);
    case ENAMETOOLONG:
    case ELOOP:
        return Failure(failure_no::BadFileName);
    case EACCES:
    case EPERM:
    case EBUSY:
    case ETXTBSY:
        return Failure(failure_no::PermissionDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Failure(failure_no::DiskFull);
    case EIO:
        return Failure(failure_no::DeviceIoError);
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return Failure(failure_no::DeviceUnavailable);
    case EINVAL:
        return Failure(failure_no::InvalidArgument);
    default:
        return Failure(failure_no::PathFileAccessError);
    }
}

} // namespace quillfen
