#include "autostart.h"

#include "app_info.h"
#include "failure.h"
#include "native_names.h"
#include "raw_file.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <unistd.h>

namespace quillfen {

namespace {

const char NotText[] = "Bad file name: the program's path is not UTF-8 text, which a login entry cannot hold";

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

} // namespace

QString autostartEntryPath()
{
    return autostartFolder() + QStringLiteral("/quillfen.desktop");
}

QByteArray runningProgram()
{
    QByteArray path(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), size_t(path.size()));
    return length > 0 ? path.left(length) : nativePath(QCoreApplication::applicationFilePath());
}

QByteArray autostartEntryFor(const QByteArray &native)
{
    const QString program = QString::fromUtf8(native);
    if (program.isEmpty() || program.toUtf8() != native)
        throw Failure(failure_no::BadFileName, QString::fromUtf8(NotText));
    const QStringList lines = {
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=") + app_info::title(),
        QStringLiteral("Comment=Moves or copies files out of working folders on a countdown"),
        QStringLiteral("Exec=") + execArgument(program),
        QStringLiteral("Icon=") + QLatin1String(app_info::AppId),
        QStringLiteral("Terminal=false"),
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
    };
    return (lines.join(u'\n') + u'\n').toUtf8();
}

bool startsAtLogin()
{
    const std::optional<QByteArray> entry = raw_file::readPlainFileIfAny(autostartEntryPath());
    return entry && enabled(*entry);
}

StartAtLogin setStartAtLogin(bool on, const QByteArray &program, bool foreignAgreed)
{
    const QString path = autostartEntryPath();
    const std::optional<QByteArray> entry = raw_file::readPlainFileIfAny(path);
    if ((entry && enabled(*entry)) == on)
        return StartAtLogin::Done;
    QByteArray own;
    try {
        own = autostartEntryFor(program);
    } catch (const Failure &) {
        if (on)
            throw;
        // No entry can be this program's own: whatever is there is removed after asking.
    }
    // Earlier builds named the icon after the program; such an entry is this program's own too.
    const QByteArray former
        = QByteArray(own).replace(QByteArray("\nIcon=") + app_info::AppId, "\nIcon=quillfen");
    if (entry && *entry != own && *entry != former && !foreignAgreed)
        return StartAtLogin::ForeignEntry;
    if (on) {
        raw_file::makeFolderPath(nativePath(autostartFolder()));
        raw_file::replaceWhole(path, own);
    } else if (::unlink(nativePath(path).constData()) != 0 && errno != ENOENT) {
        throw Failure::fromErrno(errno, path);
    }
    return StartAtLogin::Done;
}

} // namespace quillfen
