#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace quillfen::safe_copy {

// Bytes copied so far and the size of the file; called while a large file is copied.
using Progress = std::function<void(qint64 done, qint64 total)>;

// Files at least this large report their progress, once per chunk of this size.
inline constexpr qint64 ProgressChunk = qint64(8) << 20;

// Copies the file `source` (a link is followed) to `dest`. The data goes to a private
// temporary file beside `dest`, which takes the source's permission bits and times and is
// then renamed over `dest`: an existing `dest` stays intact until the copy is complete,
// and no temporary file is left when the copy fails. Both names naming one file is
// failure 70. Throws Failure.
void copyFile(const QString &source, const QString &dest, const Progress &progress = {});

// Moves `source` to `dest`: a rename where the file system allows it, otherwise a copy
// that is flushed to disk before the source is deleted. A link is moved as the link.
// Throws Failure; when only the deletion fails, the complete copy stays at `dest`.
void moveFile(const QString &source, const QString &dest, const Progress &progress = {});

} // namespace quillfen::safe_copy
