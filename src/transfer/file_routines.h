#pragma once

#include "safe_copy.h"

#include <QString>

namespace quillfen {

// Copies (or moves) sourceFolder + sourceName to destFolder + destName. Creates the last
// level of a missing destination folder. Returns "True" on success; otherwise reports the
// failure in a message box and returns its text. Never loses a file: the destination is
// replaced only by a complete copy, and a source is deleted only after that.
QString sc_CopyFile(const QString &sourceName, const QString &sourceFolder, const QString &destName,
    const QString &destFolder, bool move);
// The same within a run: its session, what the run knows of the source already, and what was
// done for the run's journal. With `replace` false an existing destination is left alone.
QString sc_CopyFile(const QString &sourceName, const QString &sourceFolder, const QString &destName,
    const QString &destFolder, bool move, safe_copy::Session &session, safe_copy::Outcome &outcome,
    const safe_copy::Known *known = nullptr, bool replace = true);

// Reports a failure of a copy into `destFolder` as sc_CopyFile does, and answers its text.
class Failure;
QString reportedFailure(const Failure &failure, const QString &destFolder);

// Whether sc_CopyFile could create the missing destination `folder`: it makes the last level
// only, so its parent must be there.
bool folderLevelCreatable(const QString &folder);

// The result of a successful sc_CopyFile.
QString trueResult();

// What sc_CopyFile returns, without a message box, when the source folder is missing.
QString sourceMissingText(const QString &sourceFolder);

// True when `path` names a plain, non-hidden file.
// `native`, when given, is the path's native form, already at hand.
bool sc_FileExists(const QString &path, const QByteArray &native = QByteArray());

// Deletes a file; any failure is swallowed.
void sc_DeleteFile(const QString &path);

QString sc_ComputerName();

// The text up to and including the last separator; empty when there is none.
QString sc_FolderOf(const QString &path);

} // namespace quillfen
