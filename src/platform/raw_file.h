#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <dirent.h>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <utility>

// The host's files at the level of descriptors and native names: every routine of the program
// that writes, replaces or lists files goes through these.
namespace quillfen::raw_file {

// A descriptor that is closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Descriptor &operator=(Descriptor &&other) noexcept;
    ~Descriptor();
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    // Closes now; throws the host's failure for `path` when the data could not be put away.
    void close(const QByteArray &path);

private:
    int m_fd;
};

// Writes all of `bytes` at the descriptor's position; throws the host's failure for `path`.
// `written`, when given, receives how much got out before a failure.
void writeAll(int fd, QByteArrayView bytes, const QByteArray &path, qint64 *written = nullptr);

// The folder part of a native path, ending with "/", or empty for a bare name.
QByteArray folderPart(const QByteArray &path);

// The ways a file can take a name only while nothing has it, best first. A file system that
// refuses one way refuses it for every file, so a run finds its way once per file system.
enum class Placement {
    Nameless, // written without a name (O_TMPFILE), then linked to the name
    ExclusiveRename, // renameat2(RENAME_NOREPLACE)
    Link, // a second name by link(), then the first one dropped
    // FAT, exFAT, FUSE bridges to shares and phones have none of the above: the name is
    // claimed by an exclusive create, and the complete file renamed over the claim once it is
    // seen to be still the empty file claimed. What remains: a writer who opens that empty
    // claim (never one who creates exclusively) between that look and the rename, a few system
    // calls, loses what it wrote; a crash there leaves an empty file under the name. Without
    // the claim, a plain rename would replace whatever appeared meanwhile, unseen.
    Claim,
};

// Gives the complete file `from` the name `to` when nothing has that name, by `way` or, where
// the file system refuses it, the next way down, which `way` then holds. Answers false when
// something has the name. Throws Failure; a name the file system refuses is 64.
bool renameExclusive(const QByteArray &from, const QByteArray &to, Placement &way);

// A new file beside `target`, readable by the owner alone, that is not there for anyone else
// until it takes its place: it has no name while it is written, where the file system
// allows, and otherwise a hidden one of its own (".quillfen-<random>.part"), created
// exclusively and locked for as long as it is open, so that a sweep can tell it from the
// leftover of a killed run. It is removed again unless it takes its place.
class TempFile
{
public:
    // `mode`: the permission bits the file is to have once in place; a nameless file can take
    // them at once, a named one stays its owner's alone until then.
    // `way`, when given, is where the file system's way of placing is learnt and kept.
    explicit TempFile(const QByteArray &target, mode_t mode = 0600, Placement *way = nullptr);
    // A nameless file beside `target`, or none where the file system cannot make one: for work
    // that nobody may see. Throws other failures.
    static std::unique_ptr<TempFile> nameless(const QByteArray &target, mode_t mode);
    ~TempFile();
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    int fd() const { return m_fd.get(); }
    // Whether the file has the mode asked for already, so that setting it can be left out.
    bool hasMode() const { return m_hasMode; }
    // Where it is while written, for failure reports: its own name, or its folder.
    const QByteArray &path() const { return m_path; }

    // Both close the file (throwing when its data could not be put away) and give it the name
    // `target`: renameIfFree only when nothing has that name (answering false, the file still
    // open, when something has), renameOver in any case. Both throw other failures.
    bool renameIfFree(const QByteArray &target);
    void renameOver(const QByteArray &target);

private:
    TempFile(const QByteArray &folder, Descriptor fd, mode_t mode);
    void closeFile();

    QByteArray m_path;
    Descriptor m_fd;
    Placement m_ownWay = Placement::Nameless;
    Placement *m_way;
    bool m_named = false;
    bool m_hasMode = false;
};

// The permission bits a new file gets: all reading and writing the user's umask allows.
mode_t newFileMode();
mode_t currentUmask();

// Creates `folder` and every missing folder above it; throws the host's failure of the level
// that could not be made.
void makeFolderPath(const QByteArray &folder);

// Puts the name `path` (of a file or a folder) on disk by flushing the folder that holds it;
// a file system that cannot flush a folder is let be. Throws the host's failure.
void syncName(const QByteArray &path);

// A hidden name beside `target` of the kind TempFile gives, not yet taken, for what is made
// under a name of its own before it takes its place (a link).
QByteArray temporaryNameFor(const QByteArray &target);

// True for the names that TempFile gives.
bool isTemporaryName(const char *name);

// Removes the temporaries in `folder` that no live process holds: what a killed run left.
// A live writer's temporary is locked and stays. Failures are ignored.
void removeStaleTemporaries(const QByteArray &folder);

// Replaces the file at `path` with `bytes` once they are complete on disk. An existing file
// keeps its permission bits; a new one gets the usual ones. Something that is not a plain
// file at `path` is refused. Throws Failure; on failure the old file stays as it was.
void replaceWhole(const QString &path, QByteArrayView bytes);

// The whole content of the plain file at `path`. Anything else there (a pipe, a device, a
// folder) is refused at once, without waiting on it. Throws Failure.
QByteArray readPlainFile(const QString &path);

// The same, or nothing when there is no file at `path` nor, perhaps, its folder.
std::optional<QByteArray> readPlainFileIfAny(const QString &path);

// Whether the plain files at `a` and `b` hold the same bytes: of one size, and read side by side
// to the first difference. What cannot be read as a plain file holds nothing the same.
bool sameBytes(const QByteArray &a, const QByteArray &b);

// The failure for something other than a plain file where one was expected.
[[noreturn]] void failNotPlainFile();

// The entries of one folder, read in the folder's own order.
class FolderReader
{
public:
    // Throws Failure 76 when the folder is missing, the host's failure when it cannot be read.
    explicit FolderReader(const QByteArray &folder);
    ~FolderReader();
    FolderReader(const FolderReader &) = delete;
    FolderReader &operator=(const FolderReader &) = delete;

    // The next entry, "." and ".." included, or null at the end; throws the host's failure.
    const dirent *next();
    int fd() const;

private:
    DIR *m_dir;
    QByteArray m_folder;
};

} // namespace quillfen::raw_file
