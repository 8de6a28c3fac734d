#include "temp_store.h"

#include "platform/host.h"
#include "platform/native_names.h"
#include "settings/store.h"

#include <QDir>

#include <cstdlib>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen::test {

TempStore::TempStore()
{
    QByteArray pattern = QDir::tempPath().toUtf8() + "/quillfen-test.XXXXXX";
    m_root = QString::fromUtf8(::mkdtemp(pattern.data()));
    const std::pair<const char *, const char *> homes[]
        = {{"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"}, {"XDG_STATE_HOME", "/state"}};
    for (const auto &[variable, name] : homes) {
        m_saved.append({variable, {qEnvironmentVariableIsSet(variable), qgetenv(variable)}});
        const QString folder = m_root + QLatin1String(name);
        QDir().mkpath(folder);
        qputenv(variable, folder.toUtf8());
    }
    QDir().mkpath(appFolder());
    m_previousAppFolder = host::setApplicationFolderOverride(appFolder());
}

TempStore::~TempStore()
{
    host::setApplicationFolderOverride(m_previousAppFolder);
    for (const auto &[variable, value] : m_saved) {
        if (value.first)
            qputenv(variable, value.second);
        else
            qunsetenv(variable);
    }
    removeTree(nativePath(m_root));
}

QString TempStore::appFolder() const
{
    return m_root + QStringLiteral("/app");
}

QString TempStore::scratch(const QString &name) const
{
    QDir(m_root).mkpath(name);
    return m_root + QLatin1Char('/') + name + QLatin1Char('/');
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

void removeTree(const QByteArray &folder)
{
    // A folder a test made read-only still empties: its owner may change its bits first.
    ::nftw(
        folder.constData(),
        [](const char *path, const struct stat *, int type, struct FTW *) {
            if (type == FTW_D)
                ::chmod(path, 0700);
            return 0;
        },
        32, FTW_PHYS);
    ::nftw(
        folder.constData(),
        [](const char *path, const struct stat *, int type, struct FTW *) {
            return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
        },
        32, FTW_DEPTH | FTW_PHYS);
}

} // namespace quillfen::test
