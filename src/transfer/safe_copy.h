#pragma once

#include "platform/raw_file.h"
#include "platform/volume.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillfen {
class CopyAhead;
class Trash;
} // namespace quillfen

namespace quillfen::safe_copy {

// Bytes copied so far and the size of the file; called while a large file is copied.
using Progress = std::function<void(qint64 done, qint64 total)>;

// Files at least this large report their progress, once per chunk of this size.
inline constexpr qint64 ProgressChunk = qint64(8) << 20;

// What the copies of one run share: where progress goes, where replaced files go, and what
// the run has learnt about its folders on the way.
class Session
{
public:
    Progress progress;
    // Replaced destination files are kept there; none: they are simply replaced.
    Trash *trash = nullptr;
    // Where copies made ahead of their turn wait; none: every copy is made at its turn.
    CopyAhead *ahead = nullptr;

    // Removes what a killed run left in `folder`, the first time the session writes there.
    void sweepOnce(const QByteArray &folder);
    // A file system that refused to share extents with a device will not change its mind.
    bool cloneRefused(dev_t source, const QByteArray &folder) const;
    void refuseClone(dev_t source, const QByteArray &folder);
    // The way of placing files that the file system under `folder` offers, learnt by the
    // first file placed there, and what it allows of names and sizes.
    raw_file::Placement &placementFor(const QByteArray &folder);
    const volume::Rules &rulesFor(const QByteArray &folder);
    dev_t deviceOf(const QByteArray &folder);

private:
    struct FileSystem
    {
        raw_file::Placement way = raw_file::Placement::Nameless;
        volume::Rules rules;
    };
    FileSystem &fileSystemOf(const QByteArray &folder);

    QSet<QByteArray> m_swept;
    QHash<QByteArray, dev_t> m_devices; // of the folders written to
    std::unordered_map<dev_t, FileSystem> m_fileSystems; // whose entries stay where they are
    FileSystem m_unknown; // of a folder that cannot be looked at
    std::vector<std::pair<dev_t, QByteArray>> m_noClone; // a few folders a run at most
};

// What a copy or move did, as far as it got before any failure.
struct Outcome
{
    QByteArray source; // the native paths the copy or move worked on
    QByteArray dest; // the name the new file got, where both are kept
    bool placed = false; // the destination holds the new file
    bool sourceRemoved = false; // a move took the source away
    qint64 size = 0; // of the new file
    timespec modified {}; // of the new file
    // Where the file that was replaced went; empty when none was, and `replacedKept` false
    // when one was replaced with no Trash to keep it in (the session has none).
    QByteArray replacedTo;
    bool replaced = false;
    bool replacedKept = false;
};

// What is known of the source already: its native path, its entry itself and the file it
// leads to.
struct Known
{
    QByteArray path;
    struct stat itself
    {
    };
    struct stat file
    {
    };
};

// A copy made ahead of its turn, on another thread: the source, open as it was found, and a
// nameless temporary in the destination folder that holds its bytes, mode and times, on disk.
struct Prepared
{
    QByteArray source; // native paths
    QByteArray dest;
    raw_file::Descriptor in;
    struct stat st
    {
    }; // of the source, as it was opened
    dev_t destDevice = 0;
    std::unique_ptr<raw_file::TempFile> temp; // none: the copy is left to its turn
    bool cloneRefused = false;
};

// Makes the copy of `prepared` when `wanted` accepts the source as opened, trying a shared-extent
// clone when `tryClone`. Does nothing that can be seen, and leaves the temporary out on any
// failure and when the source changed meanwhile; safe on any thread.
void prepare(
    Prepared &prepared, bool tryClone, const std::function<bool(const struct stat &)> &wanted) noexcept;

// What a copy or move does where another file has the destination's name: replaces it (kept in
// the session's Trash, where it has one), refuses (failure 58), or keeps both, the new file taking
// the first free name numbered from `number` on.
struct Taken
{
    enum class Choice { Replace, Refuse, KeepBoth };
    Choice choice = Choice::Replace;
    int number = 1; // 1: the name itself
};

// `path` with " (number)" before the last extension of its name, or at the end of a name that
// has none (a leading dot starts none); `path` itself for number 1.
QByteArray numberedName(const QByteArray &path, int number);

// Copies the file `source` (a link is followed) to `dest`. The data goes to a private
// temporary file beside `dest`, which takes the source's permission bits and times, is
// flushed to disk and is then renamed over `dest`: an existing `dest` stays intact until the
// copy is complete, and no temporary file is left when the copy fails. A copy the session's
// CopyAhead made of the same, unchanged source is placed instead of a new one. A source that changes
// while it is copied is copied once more, then refused (55). Both names naming one file is
// failure 70. Throws Failure; `outcome` tells what was done, and where.
void copyFile(const QByteArray &source, const QByteArray &dest, Session &session, Outcome &outcome,
    const Known *known = nullptr, Taken taken = {});

// Moves `source` to `dest`: a rename where the file system allows it, otherwise a copy
// that is flushed to disk before the source is deleted, and only when the source did not
// change meanwhile (55 otherwise; the destination keeps its complete copy). A link is moved
// as the link. A taken `dest` is dealt with as `taken` says. Throws Failure; when only the
// deletion fails, the complete copy stays at its destination.
void moveFile(const QByteArray &source, const QByteArray &dest, Session &session, Outcome &outcome,
    const Known *known = nullptr, Taken taken = {});

} // namespace quillfen::safe_copy
