#include "schedule.h"

#include "app_info.h"
#include "failure.h"
#include "native_names.h"
#include "raw_file.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <cerrno>
#include <optional>
#include <unistd.h>

namespace quillfen {

namespace {

const char NotText[] = "Bad file name: the program's path is not UTF-8 text, which a timer cannot hold";
const QString Wants = QStringLiteral("timers.target.wants");

QString unitName(const char *suffix)
{
    return QLatin1String(app_info::AppId) + QLatin1String(suffix);
}

QString servicePath()
{
    return scheduleFolder() + u'/' + unitName(".service");
}

QString timerPath()
{
    return scheduleFolder() + u'/' + unitName(".timer");
}

QString wantsLink()
{
    return scheduleFolder() + u'/' + Wants + u'/' + unitName(".timer");
}

// The program as the first word of ExecStart=: quoted, with the specifier sign doubled.
QString execWord(const QString &program)
{
    QString word;
    for (const QChar c : program) {
        if (c == u'"' || c == u'\\')
            word += u'\\';
        word += c;
    }
    return u'"' + word.replace(u'%', QStringLiteral("%%")) + u'"';
}

// The time of a timer as Quillfen writes it; a null time for any other text.
QTime ownTimerTime(const QByteArray &timer)
{
    static const QRegularExpression calendar(QStringLiteral("\nOnCalendar=\\*-\\*-\\* (\\d\\d:\\d\\d):00\n"));
    const QRegularExpressionMatch match = calendar.match(QString::fromUtf8(timer));
    const QTime at
        = match.hasMatch() ? QTime::fromString(match.captured(1), QStringLiteral("HH:mm")) : QTime();
    return at.isValid() && scheduleTimerFor(at) == timer ? at : QTime();
}

void removeIfThere(const QString &path)
{
    if (::unlink(nativePath(path).constData()) != 0 && errno != ENOENT)
        throw Failure::fromErrno(errno, path);
}

// Tells a running user manager; without one the units are read at the next login.
void tellUserManager(const QStringList &arguments)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/systemd/private")))
        return;
    QProcess systemctl;
    systemctl.setStandardOutputFile(QProcess::nullDevice());
    systemctl.setStandardErrorFile(QProcess::nullDevice());
    systemctl.start(QStringLiteral("systemctl"), QStringList(QStringLiteral("--user")) + arguments);
    systemctl.waitForFinished(10000);
}

} // namespace

QString scheduleFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/systemd/user");
}

QByteArray scheduleServiceFor(const QByteArray &native)
{
    const QString program = QString::fromUtf8(native);
    if (program.isEmpty() || program.toUtf8() != native)
        throw Failure(failure_no::BadFileName, QString::fromUtf8(NotText));
    const QStringList lines = {
        QStringLiteral("[Unit]"),
        QStringLiteral("Description=%1's daily transfer run").arg(app_info::title()),
        QString(),
        QStringLiteral("[Service]"),
        QStringLiteral("Type=oneshot"),
        QStringLiteral("ExecStart=") + execWord(program) + QStringLiteral(" --run"),
    };
    return (lines.join(u'\n') + u'\n').toUtf8();
}

QByteArray scheduleTimerFor(const QTime &at)
{
    const QStringList lines = {
        QStringLiteral("[Unit]"),
        QStringLiteral("Description=%1's daily transfer run").arg(app_info::title()),
        QString(),
        QStringLiteral("[Timer]"),
        QStringLiteral("OnCalendar=*-*-* ") + at.toString(QStringLiteral("HH:mm")) + QStringLiteral(":00"),
        QStringLiteral("Persistent=true"),
        QString(),
        QStringLiteral("[Install]"),
        QStringLiteral("WantedBy=timers.target"),
    };
    return (lines.join(u'\n') + u'\n').toUtf8();
}

QTime scheduledTime()
{
    const std::optional<QByteArray> timer = raw_file::readPlainFileIfAny(timerPath());
    if (!timer)
        return {};
    const QTime at = ownTimerTime(*timer);
    // Another's timer of the same name runs at a time of its own: the item shows it as set.
    return at.isValid() ? at : QTime(0, 0);
}

Schedule setSchedule(const QTime &at, const QByteArray &program, bool foreignAgreed)
{
    const std::optional<QByteArray> service = raw_file::readPlainFileIfAny(servicePath()),
                                    timer = raw_file::readPlainFileIfAny(timerPath());
    if (!at.isValid() && !service && !timer)
        return Schedule::Done;
    QByteArray ownService;
    try {
        ownService = scheduleServiceFor(program);
    } catch (const Failure &) {
        if (at.isValid())
            throw;
        // No service can be this program's own: whatever is there is removed after asking.
    }
    const bool foreign = (service && *service != ownService) || (timer && !ownTimerTime(*timer).isValid());
    if (foreign && !foreignAgreed)
        return Schedule::ForeignUnit;
    const QString timerUnit = unitName(".timer");
    if (at.isValid()) {
        raw_file::makeFolderPath(nativePath(scheduleFolder() + u'/' + Wants));
        raw_file::replaceWhole(servicePath(), ownService);
        raw_file::replaceWhole(timerPath(), scheduleTimerFor(at));
        removeIfThere(wantsLink());
        if (::symlink(nativePath(QStringLiteral("../") + timerUnit).constData(),
                nativePath(wantsLink()).constData())
            != 0)
            throw Failure::fromErrno(errno, wantsLink());
        tellUserManager({QStringLiteral("daemon-reload")});
        tellUserManager({QStringLiteral("restart"), timerUnit});
        return Schedule::Done;
    }
    tellUserManager({QStringLiteral("stop"), timerUnit});
    removeIfThere(wantsLink());
    removeIfThere(timerPath());
    removeIfThere(servicePath());
    tellUserManager({QStringLiteral("daemon-reload")});
    return Schedule::Done;
}

} // namespace quillfen
