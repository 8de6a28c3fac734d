#include "transfer_log.h"

#include "file_routines.h"
#include "record_texts.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// A writer flushes the log whenever FlushEvery bytes are unflushed; the next writer looks for
// damage in the last TailWindow bytes, more than FlushEvery and the longest record together.
constexpr qint64 TailWindow = 2 * 1024 * 1024;
constexpr qint64 FlushEvery = 1024 * 1024;

// Puts what was written to `fd` on disk; a file system that cannot flush is let be.
void flush(int fd, const QByteArray &path)
{
    if (::fdatasync(fd) != 0 && errno != EINVAL)
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

QString wholeLogPattern()
{
    const QString field = QStringLiteral("[^\t\r\n]+");
    const QString now = QChar(1), computer = QChar(2);
    return QLatin1Char('^')
        + QRegularExpression::escape(logHeader(now, computer))
              .replace(QRegularExpression::escape(now), field)
              .replace(QRegularExpression::escape(computer), field)
        + record_texts::recordsPattern();
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
    flush(temp.fd(), m_native);
    if (temp.renameIfFree(m_native))
        return;
    struct stat st = {};
    // Something that is not a log stands in its place: the new log replaces it.
    if (::lstat(m_native.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        temp.renameOver(m_native);
}

TransferLog::~TransferLog()
{
    if (m_unflushed == 0)
        return;
    const raw_file::Descriptor fd(::open(m_native.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() >= 0)
        (void)!::fdatasync(fd.get());
}

// A write is cut short by a kill only between pages of the file, so a run killed while it
// appended can leave the front part of a record; a crash can leave pages that never reached
// the disk reading as zeros, which no record holds. The next writer cuts back both, all from
// the first zero on, and flushes what stays: a crash can then tear only its own records.
void TransferLog::cutTornRecord()
{
    raw_file::Descriptor fd(::open(m_native.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat st = {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const qint64 window = std::min<qint64>(st.st_size, TailWindow);
    QByteArray tail(qsizetype(window), Qt::Uninitialized);
    if (::pread(fd.get(), tail.data(), size_t(window), st.st_size - window) != window)
        return;
    const qsizetype hole = tail.indexOf('\0');
    if (hole >= 0)
        tail.truncate(hole);
    const qsizetype whole = record_texts::wholeLength(tail);
    if (whole < window)
        (void)!::ftruncate(fd.get(), st.st_size - window + whole);
    (void)!::fdatasync(fd.get());
}

void TransferLog::sc_WriteLog(const QString &record)
{
    const Lookup log = sc_FileExists(m_path, m_native);
    if (log.report && m_observer)
        m_observer->report(*log.report);
    if (!log.found)
        createWithHeader();
    else if (!m_tailChecked)
        cutTornRecord();
    m_tailChecked = true;
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
    m_unflushed += written;
    if (m_unflushed >= FlushEvery) {
        flush(fd.get(), m_native);
        m_unflushed = 0;
    }
    fd.close(m_native);
}

} // namespace quillfen
