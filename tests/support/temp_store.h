#pragma once

#include "settings/keys.h"

#include <QString>
#include <QTemporaryDir>

namespace quillfen::test {

// A fresh, empty settings store and application folder for one test: XDG_CONFIG_HOME
// points into a temporary folder, and so does the application folder. Restores both.
class TempStore
{
public:
    TempStore();
    ~TempStore();

    QString root() const { return m_dir.path(); }
    QString appFolder() const;
    // A scratch folder for the test's own files, ending with the separator.
    QString scratch(const QString &name = QStringLiteral("files")) const;

    void set(const QString &key, const QString &value); // section AppSettings
    void set(const keys::Key &key, const QString &value) { set(key.nameText(), value); }
    QString value(const keys::Key &key) const { return value(key.nameText()); }
    bool has(const keys::Key &key) const { return has(key.nameText()); }
    QString value(const QString &key) const; // section AppSettings; empty when absent
    bool has(const QString &key) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previousConfigHome;
    bool m_hadConfigHome;
};

} // namespace quillfen::test
