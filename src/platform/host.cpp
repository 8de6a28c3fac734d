#include "host.h"

#include "failure.h"
#include "native_names.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillfen::host {

namespace {

QString g_applicationFolderOverride;
ProgramStarter g_starter;
ProgramEnder g_ender;

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return QString();
    return QFileInfo(nameFromNative(QByteArray(buffer, length))).absolutePath();
}

QString dataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Quillfen");
}

} // namespace

QString separator()
{
    return QString(QChar(Separator));
}

QString applicationFolder()
{
    if (!g_applicationFolderOverride.isEmpty())
        return g_applicationFolderOverride;
    return applicationFolderFor(programFolder());
}

QString applicationFolderFor(const QString &own)
{
    // Packages and installs put programs below /usr and /opt, which hold no per-user files
    // even for the root user who can write there.
    const bool installed
        = own == u"/usr" || own == u"/opt" || own.startsWith(u"/usr/") || own.startsWith(u"/opt/");
    if (!own.isEmpty() && !installed && ::access(nativePath(own).constData(), W_OK) == 0)
        return own;
    const QString fallback = dataFolder();
    QDir().mkpath(fallback);
    return fallback;
}

QString setApplicationFolderOverride(const QString &folder)
{
    return std::exchange(g_applicationFolderOverride, folder);
}

QString computerName()
{
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(buffer).trimmed();
}

QString localTimeText(std::time_t when, const char *format)
{
    std::tm local {};
    ::localtime_r(&when, &local);
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
}

QString dateTimeText(std::time_t when)
{
    return localTimeText(when, "%x %X");
}

QString nowText()
{
    // A run forms two records a file, many a second: the text changes only with the second.
    static std::time_t shown = -1;
    static QString text;
    const std::time_t now = std::time_t(QDateTime::currentSecsSinceEpoch());
    if (now != shown) {
        text = dateTimeText(now);
        shown = now;
    }
    return text;
}

void pinLocalTimeZone()
{
    if (qEnvironmentVariableIsEmpty("TZ")) {
        qputenv("TZ", ":/etc/localtime");
        ::tzset();
    }
}

bool isHiddenName(QStringView name)
{
    return name.startsWith(QLatin1Char('.'));
}

bool lookupFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat st
    {
    };
    if (::stat(nativePath(path).constData(), &st) == 0)
        return true;
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    throw Failure::fromErrno(errno, path);
}

bool lookupPlainFile(const QString &path, const QByteArray &native)
{
    if (path.isEmpty() || path.endsWith(QChar(Separator)))
        return false;
    if (isHiddenName(QStringView(path).mid(path.lastIndexOf(QChar(Separator)) + 1)))
        return false;
    struct stat st
    {
    };
    if (::stat((native.isEmpty() ? nativePath(path) : native).constData(), &st) == 0)
        return S_ISREG(st.st_mode);
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    throw Failure::fromErrno(errno, path);
}

void startProgram(const QString &program, const QStringList &arguments)
{
    const bool started
        = g_starter ? g_starter(program, arguments) : QProcess::startDetached(program, arguments);
    if (!started)
        throw Failure(failure_no::FileNotFound);
}

void openWithApplication(const QString &path, std::function<void()> noneOpened, std::function<void()> opened)
{
    if (!opened)
        opened = [] {};
#if defined(Q_OS_WIN)
    const QString program = QStringLiteral("notepad");
    const QStringList arguments = {path};
#elif defined(Q_OS_MACOS)
    const QString program = QStringLiteral("open");
    const QStringList arguments = {QStringLiteral("-t"), path};
#else
    const QString program = QStringLiteral("xdg-open");
    const QStringList arguments = {path};
#endif
    if (g_starter) {
        if (g_starter(program, arguments))
            opened();
        else
            noneOpened();
        return;
    }
    // The opener says by its exit status whether an application took the file; it is not
    // waited for.
    auto *opener = new QProcess(QCoreApplication::instance());
    QObject::connect(opener, &QProcess::finished, opener,
        [opener, noneOpened, opened](int code, QProcess::ExitStatus status) {
            if (code != 0 || status != QProcess::NormalExit)
                noneOpened();
            else
                opened();
            opener->deleteLater();
        });
    QObject::connect(
        opener, &QProcess::errorOccurred, opener, [opener, noneOpened](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                noneOpened();
                opener->deleteLater();
            }
        });
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    opener->start(program, arguments);
}

ProgramStarter setProgramStarter(ProgramStarter starter)
{
    return std::exchange(g_starter, std::move(starter));
}

void endProgram()
{
    if (g_ender) {
        g_ender();
        return;
    }
    std::fflush(nullptr);
    ::_exit(0);
}

ProgramEnder setProgramEnder(ProgramEnder ender)
{
    return std::exchange(g_ender, std::move(ender));
}

} // namespace quillfen::host
