#include "file_routines.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

// Creates the last level of `folder` only; a missing parent is a path not found. The new
// folder's name is on disk before anything goes into it: a crash never strands what it holds.
void createFolderLevel(const QString &folder)
{
    if (::mkdir(nativePath(folder).constData(), 0777) == 0)
        return raw_file::syncName(nativePath(folder));
    const int err = errno;
    if (err == ENOENT)
        throw Failure(failure_no::PathNotFound);
    if (err == EEXIST)
        return; // made by someone else in the meantime
    throw Failure::fromErrno(err, folder);
}

QString parentFolder(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QChar(host::Separator)))
        folder.chop(1);
    return sc_FolderOf(folder);
}

// The dated levels first where they are missing too, the entry's destination as ever.
void createFolderLevels(const QString &folder, int datedLevels)
{
    if (datedLevels > 0 && !host::lookupFolder(parentFolder(folder)))
        createFolderLevels(parentFolder(folder), datedLevels - 1);
    createFolderLevel(folder);
}

} // namespace

bool folderLevelCreatable(const QString &folder, int datedLevels)
{
    QString parent = parentFolder(folder);
    for (int level = 0; level < datedLevels && !host::lookupFolder(parent); ++level)
        parent = parentFolder(parent);
    return parent.isEmpty() || host::lookupFolder(parent);
}

CopyResult sc_CopyFile(const QString &sourceName, const QString &sourceFolder, const QString &destName,
    const QString &destFolder, bool move)
{
    safe_copy::Session session;
    safe_copy::Outcome outcome;
    return sc_CopyFile(sourceName, sourceFolder, destName, destFolder, move, session, outcome);
}

CopyResult sc_CopyFile(const QString &sourceName, const QString &sourceFolder, const QString &destName,
    const QString &destFolder, bool move, safe_copy::Session &session, safe_copy::Outcome &outcome,
    const safe_copy::Known *known, safe_copy::Taken taken, int datedLevels)
{
    try {
        const bool destFound = host::lookupFolder(destFolder);
        const bool sourceFound = host::lookupFolder(sourceFolder);
        if (!destFound)
            createFolderLevels(destFolder, datedLevels);
        if (!sourceFound)
            return {CopyResult::Kind::SourceFolderMissing, std::nullopt, destFolder};
        outcome.source = known ? known->path : nativePath(sourceFolder + sourceName);
        outcome.dest = nativePath(destFolder + destName);
        // Copies: the outcome takes the name the file gets.
        const QByteArray source = outcome.source;
        const QByteArray dest = outcome.dest;
        if (move)
            safe_copy::moveFile(source, dest, session, outcome, known, taken);
        else
            safe_copy::copyFile(source, dest, session, outcome, known, taken);
        return {};
    } catch (const Failure &failure) {
        return CopyResult::failed(failure, destFolder);
    }
}

Lookup sc_FileExists(const QString &path, const QByteArray &native)
{
    try {
        return {host::lookupPlainFile(path, native), std::nullopt};
    } catch (const Failure &failure) {
        if (failure.number() == failure_no::FileNotFound || failure.number() == failure_no::PathNotFound)
            return {};
        return {false, Report {Report::Kind::LookupFailed, failure, path}};
    }
}

void sc_DeleteFile(const QString &path)
{
    // unlink removes a link itself, never what it points to; its failure is nobody's concern.
    ::unlink(nativePath(path).constData());
}

QString sc_ComputerName()
{
    QString name = host::computerName();
    name.remove(QChar(0));
    return name.left(249).trimmed();
}

QString sc_FolderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QChar(host::Separator)) + 1);
}

} // namespace quillfen
