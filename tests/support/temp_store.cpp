#include "temp_store.h"

#include "platform/host.h"
#include "settings/keys.h"
#include "settings/store.h"

#include <QDir>

namespace quillfen::test {

TempStore::TempStore()
    : m_previousConfigHome(qgetenv("XDG_CONFIG_HOME"))
    , m_hadConfigHome(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    QDir(m_dir.path()).mkpath(QStringLiteral("app"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
    host::setApplicationFolderOverride(appFolder());
}

TempStore::~TempStore()
{
    host::setApplicationFolderOverride(QString());
    if (m_hadConfigHome)
        qputenv("XDG_CONFIG_HOME", m_previousConfigHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString TempStore::appFolder() const
{
    return m_dir.path() + QStringLiteral("/app");
}

QString TempStore::scratch(const QString &name) const
{
    QDir(m_dir.path()).mkpath(name);
    return m_dir.path() + QLatin1Char('/') + name + QLatin1Char('/');
}

void TempStore::set(const QString &key, const QString &value)
{
    store::save(keys::Section::App, key, value);
}

QString TempStore::value(const QString &key) const
{
    return store::get(keys::Section::App, key);
}

bool TempStore::has(const QString &key) const
{
    return store::contains(keys::Section::App, key);
}

} // namespace quillfen::test
