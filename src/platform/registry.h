#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>

namespace quillfen::registry {

// The three read calls of the system registry, with its handles, codes and value types.
// Windows answers them from the real registry; elsewhere a read-only table answers them.
using Handle = quintptr;
inline constexpr Handle LocalMachine = 0x80000002u;
// Read control with the query, set, create-sub-key, enumerate, notify and create-link rights.
inline constexpr quint32 OpenAccess = 0x2003Fu;
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;
inline constexpr long MoreData = 234;
inline constexpr quint32 TypeString = 1;
inline constexpr quint32 TypeExpandString = 2;
inline constexpr quint32 TypeNumber = 4;

class Registry
{
public:
    virtual ~Registry() = default;
    virtual long openKey(Handle root, const QByteArray &keyPath, quint32 options, quint32 access, Handle &key)
        = 0;
    // Fills `buffer` (of `size` bytes) with the value's data and sets `size` to its length.
    virtual long queryValue(
        Handle key, const QByteArray &valueName, quint32 &type, char *buffer, quint32 &size)
        = 0;
    virtual long closeKey(Handle key) = 0;
};

// A registry made of a fixed table of keys and values.
class TableRegistry : public Registry
{
public:
    void setValue(
        Handle root, const QString &keyPath, const QString &valueName, quint32 type, const QByteArray &data);
    void setText(Handle root, const QString &keyPath, const QString &valueName, const QString &text);

    long openKey(
        Handle root, const QByteArray &keyPath, quint32 options, quint32 access, Handle &key) override;
    long queryValue(
        Handle key, const QByteArray &valueName, quint32 &type, char *buffer, quint32 &size) override;
    long closeKey(Handle key) override;

    int closeCalls() const { return m_closeCalls; }
    int openHandles() const { return static_cast<int>(m_open.size()); }
    QStringList keysOpened() const { return m_opened; }

private:
    struct Value
    {
        quint32 type;
        QByteArray data;
    };
    struct Key
    {
        QHash<QString, Value> values; // by lower-case name: lookups ignore letter case
    };
    static QString address(Handle root, const QString &keyPath);

    QHash<QString, Key> m_keys;
    QHash<Handle, QString> m_open;
    Handle m_nextHandle = 0x100;
    int m_closeCalls = 0;
    QStringList m_opened;
};

// The registry in use: the system's on Windows; elsewhere a table whose key
// "SOFTWARE\Microsoft\Shared Tools\MSINFO" value "PATH" names the first system
// information program found on the search path. Tests install their own; installing answers
// the one replaced.
Registry &current();
std::shared_ptr<Registry> setCurrent(std::shared_ptr<Registry> registry);

} // namespace quillfen::registry

namespace quillfen {

// Reads one value of the registry as text: true when the key opened and the value was read.
// On false `value` is empty; a value of a type other than text or number leaves it as given.
bool GetKeyValue(registry::Handle root, const QString &keyPath, const QString &valueName, QString &value);

// Starts the system information tool named by the registry; false when it is unavailable.
bool StartSysInfo();

} // namespace quillfen
