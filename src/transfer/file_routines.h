#pragma once

#include "safe_copy.h"

#include "platform/report.h"

#include <QString>

#include <optional>

namespace quillfen {

// What became of one copy or move.
struct CopyResult
{
    enum class Kind {
        Done,
        SourceFolderMissing, // nothing was tried, and nothing is reported
        Failed, // `failure` says why; the faces report it
    };
    Kind kind = Kind::Done;
    std::optional<Failure> failure;
    QString destFolder;

    bool done() const { return kind == Kind::Done; }
    static CopyResult failed(const Failure &failure, const QString &destFolder)
    {
        return {Kind::Failed, failure, destFolder};
    }
    // The report a face shows for a failed copy.
    Report report() const { return {Report::Kind::CopyFailed, *failure, destFolder}; }
};

// Copies (or moves) sourceFolder + sourceName to destFolder + destName. Creates the last
// level of a missing destination folder. Never loses a file: the destination is replaced only
// by a complete copy, and a source is deleted only after that.
CopyResult sc_CopyFile(const QString &sourceName, const QString &sourceFolder, const QString &destName,
    const QString &destFolder, bool move);
// The same within a run: its session, what the run knows of the source already, and what was
// done for the run's journal. A taken destination name is dealt with as `taken` says. The last
// `datedLevels` levels of `destFolder` are dated folders below the entry's destination, made
// level by level where missing.
CopyResult sc_CopyFile(const QString &sourceName, const QString &sourceFolder, const QString &destName,
    const QString &destFolder, bool move, safe_copy::Session &session, safe_copy::Outcome &outcome,
    const safe_copy::Known *known = nullptr, safe_copy::Taken taken = {}, int datedLevels = 0);

// Whether sc_CopyFile could create the missing destination `folder`: it makes the last level of
// the entry's destination only, so that folder or its parent must be there.
bool folderLevelCreatable(const QString &folder, int datedLevels = 0);

// Whether `path` names a plain, non-hidden file, and what to report when it could not be looked
// up for another cause than a missing file or folder (it then counts as not found).
struct Lookup
{
    bool found = false;
    std::optional<Report> report;
};
// `native`, when given, is the path's native form, already at hand.
Lookup sc_FileExists(const QString &path, const QByteArray &native = QByteArray());

// Deletes a file; any failure is swallowed.
void sc_DeleteFile(const QString &path);

QString sc_ComputerName();

// The text up to and including the last separator; empty when there is none.
QString sc_FolderOf(const QString &path);

} // namespace quillfen
