#include "store.h"

#include "platform/failure.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen::store {

namespace {

std::unique_ptr<QSettings> g_settings;
int g_batchDepth = 0;

QString configHome()
{
    const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return home;
    return QDir::homePath() + QStringLiteral("/.config");
}

// A writer killed between creating its lock file and writing its process number into it leaves
// an empty lock that would hold every later writer for half a minute; a live writer fills its
// lock at once, so an empty one a second old is abandoned.
void removeAbandonedLock()
{
    const QByteArray lock = nativePath(filePath() + QStringLiteral(".lock"));
    struct stat st = {};
    if (::lstat(lock.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0
        && st.st_mtime < ::time(nullptr) - 1)
        ::unlink(lock.constData());
}

QSettings &settings()
{
    const QString path = filePath();
    if (!g_settings || g_settings->fileName() != path) {
        removeAbandonedLock(); // a first read takes the lock too
        g_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
        g_settings->setFallbacksEnabled(false);
    }
    return *g_settings;
}

QString address(Section section, const QString &key)
{
    return QLatin1String(section == Section::App ? "AppSettings/" : "Settings/") + key;
}

// Why the store could not be written: the settings file itself gives no reason, so a small
// write beside it finds what stands in the way (a full disk, a refused folder).
Failure writeFailure()
{
    const QByteArray folder = nativePath(QFileInfo(filePath()).absolutePath());
    try {
        raw_file::makeFolderPath(folder);
        raw_file::TempFile probe(folder + "/probe");
        const qint64 size = QFileInfo(filePath()).size() + 64 * 1024;
        raw_file::writeAll(probe.fd(), QByteArray(qsizetype(size), ' '), folder);
        if (::fsync(probe.fd()) != 0)
            return Failure::fromErrno(errno, folder);
    } catch (const Failure &failure) {
        return failure;
    }
    return Failure(failure_no::PathFileAccessError);
}

void writeOut()
{
    removeAbandonedLock();
    QSettings &s = settings();
    s.sync();
    if (s.status() != QSettings::NoError) {
        // The file on disk stays as it was; a new handle starts with a clean status.
        g_settings.reset();
        throw writeFailure();
    }
    // The new file is flushed before it takes the store's name; that name is on disk only once
    // its folder is.
    raw_file::syncName(nativePath(filePath()));
}

void written()
{
    if (g_batchDepth == 0)
        writeOut();
}

} // namespace

QString filePath()
{
    return configHome() + QStringLiteral("/Quillfen/Quillfen.conf");
}

QString get(Section section, const QString &key, const QString &fallback)
{
    const QVariant value = settings().value(address(section, key));
    return value.isValid() ? value.toString() : fallback;
}

QString get(const Key &key)
{
    return get(key.section, key.nameText(), QString::fromUtf8(key.fallback));
}

QString stored(const Key &key)
{
    return get(key.section, key.nameText());
}

bool contains(Section section, const QString &key)
{
    return settings().contains(address(section, key));
}

void save(Section section, const QString &key, const QString &value)
{
    settings().setValue(address(section, key), value);
    written();
}

void save(const Key &key, const QString &value)
{
    save(key.section, key.nameText(), value);
}

void remove(Section section, const QString &key)
{
    QSettings &s = settings();
    const QString where = address(section, key);
    if (!s.contains(where))
        throw Failure(failure_no::InvalidArgument);
    s.remove(where);
    written();
}

void remove(const Key &key)
{
    remove(key.section, key.nameText());
}

WriteBatch::WriteBatch()
{
    ++g_batchDepth;
}

WriteBatch::~WriteBatch()
{
    if (!m_committed) {
        try {
            commit();
        } catch (const Failure &) {
            // A batch left by an exception is written as far as the store allows.
        }
    }
}

void WriteBatch::commit()
{
    if (m_committed)
        return;
    m_committed = true;
    if (--g_batchDepth == 0)
        writeOut();
}

} // namespace quillfen::store
