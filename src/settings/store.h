#pragma once

#include "keys.h"

#include <QString>

namespace quillfen::store {

// The per-user settings store of application Quillfen: (section, key) -> text.
// It lives at $XDG_CONFIG_HOME/Quillfen/Quillfen.conf, read afresh when that changes.
using keys::Key;
using keys::Section;

// The stored text, or the key's default when the key is absent.
QString get(const Key &key);
// The stored text, or empty text when the key is absent, whatever its default.
QString stored(const Key &key);

// Keys named at run time (entry keys, imported keys); an absent key reads as `fallback`.
QString get(Section section, const QString &key, const QString &fallback = QString());
bool contains(Section section, const QString &key);

// Creates or overwrites a key. Outside a WriteBatch the store file is replaced atomically
// before this returns. Throws Failure when the store cannot be written.
void save(Section section, const QString &key, const QString &value);
void save(const Key &key, const QString &value);

// Removes one key; a missing key is a failure (5). Written to disk as save() is.
void remove(Section section, const QString &key);
void remove(const Key &key);

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
