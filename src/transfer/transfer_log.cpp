#include "transfer_log.h"

#include "file_routines.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

const QString CrLf = QStringLiteral("\r\n");

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

QString logFilePath()
{
    return host::applicationFolder() + host::separator() + QStringLiteral("filelog.txt");
}

TransferLog::TransferLog(RunObserver *observer)
    : m_observer(observer)
    , m_path(logFilePath())
    , m_native(nativePath(m_path))
{
}

// The header goes in whole or not at all: written beside the log and then given its name,
// unless another writer made the log meanwhile.
void TransferLog::createWithHeader()
{
    raw_file::makeFolderPath(raw_file::folderPart(m_native));
    raw_file::TempFile temp(m_native, raw_file::newFileMode());
    if (!temp.hasMode() && ::fchmod(temp.fd(), raw_file::newFileMode()) != 0)
        throw Failure::fromErrno(errno, m_native);
    raw_file::writeAll(temp.fd(), logHeader(host::nowText(), sc_ComputerName()).toUtf8(), m_native);
    if (temp.renameIfFree(m_native))
        return;
    struct stat st = {};
    // Something that is not a log stands in its place: the new log replaces it.
    if (::lstat(m_native.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        temp.renameOver(m_native);
}

void TransferLog::sc_WriteLog(const QString &record)
{
    if (!sc_FileExists(m_path, m_native))
        createWithHeader();
    const QString line = record + CrLf;
    if (m_observer)
        m_observer->putRecord(line);

    const QByteArray bytes = line.toUtf8();
    raw_file::Descriptor fd(
        ::open(m_native.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666));
    if (fd.get() < 0)
        throw Failure::fromErrno(errno, m_native);
    qint64 written = 0;
    try {
        raw_file::writeAll(fd.get(), bytes, m_native, &written);
    } catch (const Failure &) {
        struct stat st = {};
        if (written > 0 && ::fstat(fd.get(), &st) == 0)
            (void)!::ftruncate(fd.get(), st.st_size - written);
        throw;
    }
    fd.close(m_native);
}

} // namespace quillfen
