#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringList>

namespace quillfen {

// A folder text as the folder list keeps it: absolute, clean, without a trailing
// separator except for the root. An empty text stands for the process's current folder.
QString normalFolder(const QString &folder);

// The folder followed by the separator, which the root already ends with.
QString folderPrefix(const QString &folder);

// The full path of `name` inside `folder`.
QString joinFolder(const QString &folder, const QString &name);

// What a folder is on disk, whatever path leads to it; two paths that name the same
// folder (through a link) have the same identity.
struct FolderIdentity
{
    quint64 device = 0;
    quint64 inode = 0;

    friend bool operator==(const FolderIdentity &, const FolderIdentity &) = default;
    friend size_t qHash(const FolderIdentity &id, size_t seed = 0)
    {
        return qHashMulti(seed, id.device, id.inode);
    }
};

// The names of the visible sub-folders of `folder` (links to folders included, hidden
// names left out), sorted with letter case ignored; `identity`, when given, receives the
// folder's identity. Throws Failure 76 when the folder does not exist, or the host's
// failure when it cannot be read.
QStringList listSubFolders(const QString &folder, FolderIdentity *identity = nullptr);

} // namespace quillfen
