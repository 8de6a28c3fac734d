#include "folder_walk.h"

#include "found_files_model.h"
#include "listing.h"

namespace quillfen {

FolderWalk::FolderWalk(FoundFilesModel &found, Observer observer)
    : m_found(found)
    , m_observer(std::move(observer))
{
}

FolderWalk::End FolderWalk::run(const QString &root, const QString &pattern)
{
    m_pattern = pattern;
    QSet<FolderIdentity> entered;
    return walk(root, entered);
}

FolderWalk::End FolderWalk::walk(const QString &folder, QSet<FolderIdentity> &entered)
{
    FolderIdentity identity;
    const QStringList subFolders = listSubFolders(folder, &identity);
    if (entered.contains(identity))
        return End::Completed;
    entered.insert(identity);

    m_observer.folderEntered(folder, subFolders);
    if (!m_observer.carryOn())
        return End::Cancelled;

    for (qsizetype k = subFolders.size(); k > 0; --k) {
        const End end = walk(joinFolder(folder, subFolders.at(k - 1)), entered);
        if (end != End::Completed)
            return end;
    }

    const QStringList names = listMatchingFiles(folder, m_pattern);
    if (names.isEmpty())
        return End::Completed;
    if (m_found.append(folderPrefix(folder), names) < names.size())
        return End::ListFull;
    m_observer.filesFound();
    return End::Completed;
}

} // namespace quillfen
