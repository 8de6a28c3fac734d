#pragma once

#include <QString>

namespace quillfen::store {

// The per-user settings store of application Quillfen: (section, key) -> text.
// It lives at $XDG_CONFIG_HOME/Quillfen/Quillfen.conf, read afresh when that changes.

// An absent key reads as the default turned into text (no default: empty text).
QString get(const QString &section, const QString &key);
QString get(const QString &section, const QString &key, const QString &defaultValue);
QString get(const QString &section, const QString &key, const char *defaultValue);
QString get(const QString &section, const QString &key, int defaultValue);
QString get(const QString &section, const QString &key, bool defaultValue);

bool contains(const QString &section, const QString &key);

// Creates or overwrites a key. Outside a WriteBatch the store file is replaced
// atomically before this returns. Throws Failure when the store cannot be written.
void save(const QString &section, const QString &key, const QString &value);

// Removes one key; a missing key is a failure (5). Written to disk as save() is.
void remove(const QString &section, const QString &key);

// The file that holds the store.
QString filePath();

// Groups the writes of one operation (an Options close, an import, a clear) into one
// atomic replacement of the store file: on disk when the outermost batch commits.
class WriteBatch
{
public:
    WriteBatch();
    ~WriteBatch();
    WriteBatch(const WriteBatch &) = delete;
    WriteBatch &operator=(const WriteBatch &) = delete;

    // Writes the batch to disk; throws Failure when it cannot. A batch that is not
    // committed is written when it ends, its failure then ignored.
    void commit();

private:
    bool m_committed = false;
};

} // namespace quillfen::store
