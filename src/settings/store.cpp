#include "store.h"

#include "platform/failure.h"

#include <QDir>
#include <QSettings>

#include <memory>

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

QSettings &settings()
{
    const QString path = filePath();
    if (!g_settings || g_settings->fileName() != path) {
        g_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
        g_settings->setFallbacksEnabled(false);
    }
    return *g_settings;
}

QString address(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

void writeOut()
{
    QSettings &s = settings();
    s.sync();
    if (s.status() != QSettings::NoError) {
        // The file on disk stays as it was; a new handle starts with a clean status.
        g_settings.reset();
        throw Failure(failure_no::PermissionDenied);
    }
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

QString get(const QString &section, const QString &key)
{
    return get(section, key, QString());
}

QString get(const QString &section, const QString &key, const QString &defaultValue)
{
    const QVariant value = settings().value(address(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

QString get(const QString &section, const QString &key, const char *defaultValue)
{
    return get(section, key, QString::fromUtf8(defaultValue));
}

QString get(const QString &section, const QString &key, int defaultValue)
{
    return get(section, key, QString::number(defaultValue));
}

QString get(const QString &section, const QString &key, bool defaultValue)
{
    // The text of false is "0", so readers that convert it take it as 0.
    return get(section, key, defaultValue ? QStringLiteral("1") : QStringLiteral("0"));
}

bool contains(const QString &section, const QString &key)
{
    return settings().contains(address(section, key));
}

void save(const QString &section, const QString &key, const QString &value)
{
    settings().setValue(address(section, key), value);
    written();
}

void remove(const QString &section, const QString &key)
{
    QSettings &s = settings();
    const QString where = address(section, key);
    if (!s.contains(where))
        throw Failure(failure_no::InvalidArgument);
    s.remove(where);
    written();
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
