#include "transfer_log.h"

#include "file_routines.h"
#include "platform/native_names.h"

#include "platform/failure.h"
#include "platform/host.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillfen {

namespace {

LogSink *g_sink = nullptr;

const QString CrLf = QStringLiteral("\r\n");

// Opens, writes all of `bytes`, and closes again: no handle outlives one record.
void writeToFile(const QString &path, const QByteArray &bytes, int mode)
{
    const QByteArray native = nativePath(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | mode, 0666);
    if (fd < 0)
        throw Failure::fromErrno(errno, path);
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, p, size_t(left));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw Failure::fromErrno(err, path);
        }
        p += put;
        left -= put;
    }
    if (::close(fd) != 0)
        throw Failure::fromErrno(errno, path);
}

} // namespace

QString headerRule()
{
    return QLatin1Char('#') + QString(60, QLatin1Char('-')) + QLatin1Char('#');
}

QString headerCreatedBy()
{
    return QStringLiteral("# This file was created by Marivale Quillfen       #");
}

QString headerCreatedLine(const QString &now, const QString &computerName)
{
    return QStringLiteral("# Created ") + now + QStringLiteral(" on ") + computerName;
}

QString logHeader(const QString &now, const QString &computerName)
{
    return headerRule() + CrLf + headerCreatedBy() + CrLf + headerRule() + CrLf
        + headerCreatedLine(now, computerName) + CrLf + CrLf + CrLf + CrLf;
}

void setLogSink(LogSink *sink)
{
    g_sink = sink;
}

QString logFilePath()
{
    return host::applicationFolder() + host::separator() + QStringLiteral("filelog.txt");
}

void sc_WriteLog(const QString &record)
{
    const QString path = logFilePath();
    if (!sc_FileExists(path))
        writeToFile(path, logHeader(host::nowText(), sc_ComputerName()).toUtf8(), O_TRUNC);
    const QString line = record + CrLf;
    if (g_sink)
        g_sink->putRecord(line);
    writeToFile(path, line.toUtf8(), O_APPEND);
}

} // namespace quillfen
