#include "settings_file.h"

#include "settings_lines.h"

#include "platform/app_info.h"
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "settings/keys.h"
#include "settings/numeric.h"
#include "settings/store.h"
#include "transfer/file_routines.h"
#include "transfer/transfer_log.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString ImportWarning = QStringLiteral("WARNING: An imporperly formatted settings file can \r\n"
                                             "cause unexpected and perhaps disasterous results. \r\n"
                                             "\r\n"
                                             "Are you sure you want to import the settings?");

QString section()
{
    return QString::fromLatin1(keys::AppSettings);
}

QString keyLine(const QString &key)
{
    return key + QLatin1Char('\t') + store::get(section(), key);
}

// A count that is not a number exports no entries rather than failing the export.
int storedEntryCount()
{
    try {
        return toInteger16(store::get(section(), QLatin1String(keys::Files), 0));
    } catch (const Failure &) {
        return 0;
    }
}

void reportFile(const QString &what, const QString &path, const Failure &failure)
{
    const QString number = QString::number(failure.number());
    showMessage(what + CrLf + path + CrLf + CrLf + QStringLiteral("Error ") + failure.description()
            + QStringLiteral(" (") + number + QLatin1Char(')'),
        QStringLiteral("Error ") + number, MsgIcon::Critical);
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Replaces the file at `path` only once the new text is complete on disk.
void writeWhole(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const qsizetype cut = target.lastIndexOf('/') + 1;
    QByteArray temporary = target.left(cut) + '.' + target.mid(cut) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throw Failure::fromErrno(errno, path);

    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temporary.constData());
        throw Failure::fromErrno(err, path);
    };
    struct stat existing
    {
    };
    const mode_t mode
        = ::stat(target.constData(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode();
    if (::fchmod(fd, mode) != 0)
        fail(errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written
            = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        done += written;
    }
    if (::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temporary.constData());
        throw Failure::fromErrno(err, path);
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temporary.constData());
        throw Failure::fromErrno(err, path);
    }
}

QByteArray readWhole(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Failure::fromErrno(errno, path);
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw Failure::fromErrno(err, path);
        }
        bytes.append(buffer, got);
    }
    ::close(fd);
    return bytes;
}

// The store names keys within a section by plain names: a "/" would file the value
// under another name.
bool storable(const QString &key)
{
    return !key.contains(QLatin1Char('/'));
}

// The commented box with the created line, the general keys, the entry keys; CR LF, UTF-8.
QByteArray settingsFileText(const QString &createdLine)
{
    QStringList general;
    for (const char *key : keys::General)
        general.append(keyLine(QLatin1String(key)));

    QStringList entries;
    const int count = storedEntryCount();
    for (int n = 1; n <= count; ++n) {
        for (const char *stem : keys::EntryStems)
            entries.append(keyLine(keys::entryKey(stem, n)));
    }

    const QStringList lines = {headerRule(), headerCreatedBy(), headerRule(), createdLine, headerRule(),
        general.join(CrLf), entries.join(CrLf), headerRule()};
    return (lines.join(CrLf) + CrLf).toUtf8();
}

} // namespace

QString settingsFilePath()
{
    return host::applicationFolder() + host::separator() + app_info::title() + QStringLiteral(".txt");
}

void sc_ExportSettings()
{
    const QString path = settingsFilePath();
    const QString created = headerCreatedLine(host::nowText(), sc_ComputerName());
    try {
        writeWhole(path, settingsFileText(created));
    } catch (const Failure &failure) {
        reportFile(QStringLiteral("The settings could not be exported to "), path, failure);
        return;
    }
    showMessage(QStringLiteral("Settings exported to ") + CrLf + path, QStringLiteral("Complete"),
        MsgIcon::Information);
}

void sc_ImportSettings()
{
    if (!confirm(ImportWarning))
        return;
    const QString path = settingsFilePath();
    QByteArray bytes;
    try {
        bytes = readWhole(path);
    } catch (const Failure &failure) {
        reportFile(QStringLiteral("The settings could not be imported from "), path, failure);
        return;
    }

    store::WriteBatch batch;
    for (const SettingLine &line : parseSettingLines(bytes)) {
        if (storable(line.key))
            store::save(section(), line.key, line.value);
    }
    try {
        batch.commit();
    } catch (const Failure &failure) {
        reportPlace(failure, QStringLiteral("Import"));
    }
}

} // namespace quillfen
