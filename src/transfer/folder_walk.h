#pragma once

#include "sub_folders.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace quillfen {

class FoundFilesModel;

// What a walk tells whoever runs it, and the one thing it asks.
class WalkObserver
{
public:
    virtual ~WalkObserver() = default;
    // `folder` is entered; `subFolders` are the names listSubFolders gave for it.
    virtual void folderEntered(const QString &folder, const QStringList &subFolders) = 0;
    // Asked once for every folder entered, before anything below it: the chance to handle
    // pending events. False ends the walk there.
    virtual bool carryOn() = 0;
    // The matching files of a folder were appended to the found list.
    virtual void filesFound() = 0;
};

// Appends every file matching a pattern in a folder and all the folders below it to a
// found list: depth first, the sub-folders from the last to the first, a folder's own files
// after everything below it. A folder is entered once, whatever path leads to it, so links
// that loop are walked once.
class FolderWalk
{
public:
    enum class End { Completed, Cancelled, ListFull };

    FolderWalk(FoundFilesModel &found, WalkObserver &observer);

    // Throws Failure when a folder cannot be read; what was found until then stays.
    End run(const QString &root, const QString &pattern);

private:
    End walk(const QString &folder, QSet<FolderIdentity> &entered);

    FoundFilesModel &m_found;
    WalkObserver &m_observer;
    QString m_pattern;
};

} // namespace quillfen
