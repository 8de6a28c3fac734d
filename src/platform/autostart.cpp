#include "autostart.h"

#include "app_info.h"
#include "failure.h"
#include "message_boxes.h"
#include "native_names.h"

#include <QCoreApplication>
#include <QDir>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace quillfen {

namespace {

const char ForeignEntry[] = "The start-at-login entry %1 was not written by Quillfen for this program.\r\n";
const char WillBeReplaced[] = "It will be replaced.";
const char WillBeRemoved[] = "It will be removed.";

QString autostartFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

// The program as one argument of Exec=: quoted when it holds a reserved character, then
// escaped as any text value is.
QString execArgument(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument = program;
    if (std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); })) {
        argument.clear();
        for (const QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                argument += u'\\';
            argument += c;
        }
        argument = u'"' + argument + u'"';
    }
    argument.replace(u'%', QStringLiteral("%%"));
    argument.replace(u'\\', QStringLiteral("\\\\"));
    argument.replace(u'\n', QStringLiteral("\\n"));
    argument.replace(u'\t', QStringLiteral("\\t"));
    argument.replace(u'\r', QStringLiteral("\\r"));
    return argument;
}

// The entry's bytes, or nothing when there is no entry.
std::optional<QByteArray> readEntry(const QString &path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw Failure::fromErrno(errno, path);
    }
    QByteArray bytes;
    char buffer[4096];
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

bool enabled(const QByteArray &entry)
{
    bool inMainGroup = false;
    for (const QByteArray &raw : entry.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inMainGroup || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

// Replaces the entry only once the new text is complete on disk.
void writeEntry(const QString &path, const QByteArray &bytes)
{
    std::error_code error;
    std::filesystem::create_directories(nativePath(autostartFolder()).toStdString(), error);
    if (error)
        throw Failure::fromErrno(error.value(), path);
    const QByteArray target = nativePath(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throw Failure::fromErrno(errno, path);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temporary.constData());
        throw Failure::fromErrno(err, path);
    };
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written
            = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno != EINTR)
            fail(errno);
        done += written > 0 ? written : 0;
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

} // namespace

QString autostartEntryPath()
{
    return autostartFolder() + QStringLiteral("/quillfen.desktop");
}

QByteArray autostartEntryFor(const QString &program)
{
    const QStringList lines = {
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=") + app_info::title(),
        QStringLiteral("Comment=Moves or copies files out of working folders on a countdown"),
        QStringLiteral("Exec=") + execArgument(program),
        QStringLiteral("Icon=quillfen"),
        QStringLiteral("Terminal=false"),
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
    };
    return (lines.join(u'\n') + u'\n').toUtf8();
}

bool startsAtLogin()
{
    const std::optional<QByteArray> entry = readEntry(autostartEntryPath());
    return entry && enabled(*entry);
}

void setStartAtLogin(bool on)
{
    const QString path = autostartEntryPath();
    const std::optional<QByteArray> entry = readEntry(path);
    if ((entry && enabled(*entry)) == on)
        return;
    const QByteArray own = autostartEntryFor(QCoreApplication::applicationFilePath());
    if (entry && *entry != own
        && !confirm(QString::fromUtf8(ForeignEntry).arg(path)
            + QString::fromUtf8(on ? WillBeReplaced : WillBeRemoved)))
        return;
    if (on) {
        writeEntry(path, own);
    } else if (::unlink(nativePath(path).constData()) != 0 && errno != ENOENT) {
        throw Failure::fromErrno(errno, path);
    }
}

} // namespace quillfen
