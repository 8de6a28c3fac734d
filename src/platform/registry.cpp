#include "registry.h"

#include "platform/failure.h"
#include "platform/host.h"

#include <QStandardPaths>

#include <cstring>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace quillfen::registry {

namespace {

const char ToolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char ToolValue[] = "PATH";
const char ToolFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char ToolFolderValue[] = "MSINFO";
const char ToolFileName[] = "MSINFO32.EXE";
const int BufferSize = 1024;

#ifdef Q_OS_WIN
class SystemRegistry final : public Registry
{
public:
    long openKey(
        Handle root, const QByteArray &keyPath, quint32 options, quint32 access, Handle &key) override
    {
        HKEY opened = nullptr;
        const HKEY base = root == LocalMachine ? HKEY_LOCAL_MACHINE : reinterpret_cast<HKEY>(root);
        const LONG result = RegOpenKeyExA(base, keyPath.constData(), options, access, &opened);
        key = reinterpret_cast<Handle>(opened);
        return result;
    }
    long queryValue(
        Handle key, const QByteArray &valueName, quint32 &type, char *buffer, quint32 &size) override
    {
        DWORD valueType = 0;
        DWORD length = size;
        const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.constData(), nullptr,
            &valueType, reinterpret_cast<LPBYTE>(buffer), &length);
        type = valueType;
        size = length;
        return result;
    }
    long closeKey(Handle key) override { return RegCloseKey(reinterpret_cast<HKEY>(key)); }
};
#endif

std::shared_ptr<Registry> hostRegistry()
{
#ifdef Q_OS_WIN
    return std::make_shared<SystemRegistry>();
#else
    auto table = std::make_shared<TableRegistry>();
    for (const char *candidate : {"kinfocenter", "hardinfo", "gnome-system-monitor"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(candidate));
        if (!found.isEmpty()) {
            table->setText(LocalMachine, QLatin1String(ToolKey), QLatin1String(ToolValue), found);
            break;
        }
    }
    return table;
#endif
}

std::shared_ptr<Registry> &installed()
{
    static std::shared_ptr<Registry> registry;
    return registry;
}

} // namespace

QString TableRegistry::address(Handle root, const QString &keyPath)
{
    return QString::number(root) + QLatin1Char(':') + keyPath.toLower();
}

void TableRegistry::setValue(
    Handle root, const QString &keyPath, const QString &valueName, quint32 type, const QByteArray &data)
{
    m_keys[address(root, keyPath)].values.insert(valueName.toLower(), Value {type, data});
}

void TableRegistry::setText(
    Handle root, const QString &keyPath, const QString &valueName, const QString &text)
{
    setValue(root, keyPath, valueName, TypeString, text.toLocal8Bit() + '\0');
}

long TableRegistry::openKey(Handle root, const QByteArray &keyPath, quint32, quint32, Handle &key)
{
    key = 0;
    const QString name = address(root, QString::fromLocal8Bit(keyPath));
    m_opened.append(QString::fromLocal8Bit(keyPath));
    if (!m_keys.contains(name))
        return FileNotFound;
    key = m_nextHandle++;
    m_open.insert(key, name);
    return Success;
}

long TableRegistry::queryValue(
    Handle key, const QByteArray &valueName, quint32 &type, char *buffer, quint32 &size)
{
    const auto open = m_open.constFind(key);
    if (open == m_open.cend())
        return FileNotFound;
    const Key &entry = m_keys[*open];
    const auto found = entry.values.constFind(QString::fromLocal8Bit(valueName).toLower());
    if (found == entry.values.cend())
        return FileNotFound;
    type = found->type;
    const quint32 length = static_cast<quint32>(found->data.size());
    if (length > size) {
        size = length;
        return MoreData;
    }
    std::memcpy(buffer, found->data.constData(), length);
    size = length;
    return Success;
}

long TableRegistry::closeKey(Handle key)
{
    ++m_closeCalls;
    return m_open.remove(key) ? Success : FileNotFound;
}

Registry &current()
{
    std::shared_ptr<Registry> &registry = installed();
    if (!registry)
        registry = hostRegistry();
    return *registry;
}

std::shared_ptr<Registry> setCurrent(std::shared_ptr<Registry> registry)
{
    return std::exchange(installed(), std::move(registry));
}

} // namespace quillfen::registry

namespace quillfen {

bool GetKeyValue(registry::Handle root, const QString &keyPath, const QString &valueName, QString &value)
{
    registry::Registry &reg = registry::current();
    registry::Handle key = 0;
    // Closed on every path, also after a failed open, as the system expects of its callers.
    if (reg.openKey(root, keyPath.toLocal8Bit(), 0, registry::OpenAccess, key) != registry::Success) {
        value.clear();
        reg.closeKey(key);
        return false;
    }
    QByteArray buffer(registry::BufferSize, '\0');
    quint32 type = 0;
    quint32 size = registry::BufferSize;
    if (reg.queryValue(key, valueName.toLocal8Bit(), type, buffer.data(), size) != registry::Success) {
        value.clear();
        reg.closeKey(key);
        return false;
    }
    const qsizetype end = buffer.indexOf('\0');
    const QByteArray text = buffer.left(end < 0 ? buffer.size() : end);
    if (type == registry::TypeString) {
        value = QString::fromLocal8Bit(text);
    } else if (type == registry::TypeNumber) {
        const auto byte
            = [&buffer](int i) { return static_cast<quint32>(static_cast<unsigned char>(buffer[i])); };
        value = QString::number(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
    }
    reg.closeKey(key);
    return true;
}

bool StartSysInfo()
{
    using registry::LocalMachine;
    QString path;
    try {
        if (GetKeyValue(
                LocalMachine, QLatin1String(registry::ToolKey), QLatin1String(registry::ToolValue), path)) {
            host::startProgram(path, {});
            return true;
        }
        if (GetKeyValue(LocalMachine, QLatin1String(registry::ToolFolderKey),
                QLatin1String(registry::ToolFolderValue), path)) {
            path += host::separator() + QLatin1String(registry::ToolFileName);
            if (host::lookupPlainFile(path)) {
                host::startProgram(path, {});
                return true;
            }
        }
    } catch (const Failure &) {
        // A tool that cannot be found or started is simply unavailable.
    }
    return false;
}

} // namespace quillfen
