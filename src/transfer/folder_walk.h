#pragma once

#include "sub_folders.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace quillfen {

class FoundFilesModel;

// Appends every file matching a pattern in a folder and all the folders below it to a
// found list: depth first, the sub-folders from the last to the first, a folder's own files
// after everything below it. A folder is entered once, whatever path leads to it, so links
// that loop are walked once.
class FolderWalk
{
public:
    enum class End { Completed, Cancelled, ListFull };

    // What the walk tells whoever runs it, and the one thing it asks; all three are needed.
    struct Observer
    {
        // A folder is entered, with the sub-folder names listSubFolders gave for it.
        std::function<void(const QString &folder, const QStringList &subFolders)> folderEntered;
        // Asked once for every folder entered, before anything below it: the chance to
        // handle pending events. False ends the walk there.
        std::function<bool()> carryOn;
        // The matching files of a folder were appended to the found list.
        std::function<void()> filesFound;
    };

    FolderWalk(FoundFilesModel &found, Observer observer);

    // Throws Failure when a folder cannot be read; what was found until then stays.
    End run(const QString &root, const QString &pattern);

private:
    End walk(const QString &folder, QSet<FolderIdentity> &entered);

    FoundFilesModel &m_found;
    Observer m_observer;
    QString m_pattern;
};

} // namespace quillfen
