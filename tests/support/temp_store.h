#pragma once

#include "settings/keys.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace quillfen::test {

// A fresh, empty world for one test in a temporary folder: the settings store
// (XDG_CONFIG_HOME), the data and state folders (XDG_DATA_HOME, XDG_STATE_HOME: the Trash and
// the journal) and the application folder. Restores them all and removes the folder whole,
// whatever names the test put into it.
class TempStore
{
public:
    TempStore();
    ~TempStore();
    TempStore(const TempStore &) = delete;
    TempStore &operator=(const TempStore &) = delete;

    QString root() const { return m_root; }
    QString appFolder() const;
    // A scratch folder for the test's own files, ending with the separator.
    QString scratch(const QString &name = QStringLiteral("files")) const;

    void set(const QString &key, const QString &value); // section AppSettings
    void set(const keys::Key &key, const QString &value) { set(key.nameText(), value); }
    QString value(const QString &key) const; // section AppSettings; empty when absent
    QString value(const keys::Key &key) const { return value(key.nameText()); }
    bool has(const QString &key) const;
    bool has(const keys::Key &key) const { return has(key.nameText()); }

private:
    QString m_root;
    QList<std::pair<const char *, std::pair<bool, QByteArray>>> m_saved;
    QString m_previousAppFolder;
};

// Removes a folder and everything in it, names taken as bytes.
void removeTree(const QByteArray &folder);

} // namespace quillfen::test
