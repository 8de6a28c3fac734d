#pragma once

#include "safe_copy.h"

#include "platform/failure.h"
#include "platform/raw_file.h"
#include "settings/entry_list.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QSet>
#include <QString>

#include <ctime>
#include <vector>

namespace quillfen {

// The keyed check of a journal's line: BLAKE2b over a block that holds the key, then the
// check of the line before and the line's own text.
class LineCheck
{
public:
    void setKey(const QByteArray &key);
    QByteArray of(const QByteArray &before, const QByteArray &text);

private:
    QCryptographicHash m_hash {QCryptographicHash::Blake2b_256};
    QByteArray m_keyBlock;
};

// What tells the file a run left at a name from any other file that has the name later.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1; // -1: nothing was there
    timespec modified {};
    timespec changed {};

    // The entry at `path` itself, a link not followed.
    static FileIdentity of(const QByteArray &path);
    bool present() const { return size >= 0; }
    bool sameContent(const FileIdentity &other) const; // size and modification time
    bool sameFile(const FileIdentity &other) const; // device, inode and change time
};

// One file that a run copied or moved, as the run left it.
struct JournalEntry
{
    enum class Action { Copy, Move };
    enum class Replaced { Nothing, Kept, Lost }; // what became of a file the new one replaced

    Action action = Action::Copy;
    QByteArray source; // native paths
    QByteArray dest;
    FileIdentity placed; // the new file, once in place
    Replaced replaced = Replaced::Nothing;
    QByteArray replacedTo; // where a kept file went in the Trash; its info file is named after it
    FileIdentity kept; // the kept file there, once the new one was in place
};

// $XDG_STATE_HOME/Quillfen/lastrun.journal (default ~/.local/state/Quillfen).
QString journalPath();

// Keeps a run and an undo of the journal apart for its lifetime. Where the lock cannot even be
// made (a read-only state folder), there is no journal to share and nothing to keep apart.
class JournalLock
{
public:
    explicit JournalLock(bool wait);
    // Another run or undo holds the lock (only when not waiting).
    bool busy() const { return m_busy; }

private:
    raw_file::Descriptor m_fd;
    bool m_busy = false;
};

// The journal of the run under way: put in place of the last run's before the run's first file,
// one line appended per file as soon as it is done, so that a run killed part-way leaves a
// journal of all it did. Each line carries a keyed check of itself and the line before, with a
// key of the user's own, so that an edited journal is told. A journal that cannot be written
// costs the run nothing but its undo: the journal then says that the run was not recorded, and
// why.
class JournalWriter
{
public:
    // Waits for an undo under way; the folders of `entries` are the only ones the journal names.
    explicit JournalWriter(const EntryList &entries);

    void add(const JournalEntry &entry);
    // The entry for what a copy or move did, its files looked at as they are now; nothing to
    // add when it placed no file.
    static bool entryFor(bool move, const safe_copy::Outcome &outcome, JournalEntry &entry);

private:
    void start(const EntryList &entries);
    QByteArray line(const QByteArray &text);
    QByteArray folderLine(const QByteArray &folder);
    void giveUp(const Failure &why);

    JournalLock m_lock;
    raw_file::Descriptor m_fd;
    QByteArray m_path;
    LineCheck m_mac;
    QByteArray m_check; // of the line written last
    QSet<QByteArray> m_trashes; // the trash folders named so far
    QSet<QByteArray> m_folders; // the run's folders named so far: the entries', then dated ones
    QSet<QByteArray> m_destinations; // the entries' destination folders
};

// The journal of the last run, checked whole when opened and then read last step first,
// without holding it in memory.
class JournalReader
{
public:
    enum class State {
        Nothing, // no journal, or one whose run was undone
        Unrecorded, // the last run could not be recorded
        Broken, // fails its check: edited, damaged, or its key is gone
        OtherVersion, // written by another version of the program
        Usable,
    };
    // Thrown when the journal changes while it is read.
    struct Changed
    {
    };

    explicit JournalReader(const QString &path = journalPath());

    State state() const { return m_state; }
    // Why the last run could not be recorded.
    int unrecordedNumber() const { return m_unrecorded; }
    // Whether `path` names a file in one of the run's entries' folders, or in a trash the run
    // used.
    bool inRunFolders(const QByteArray &path) const;
    bool inRunTrash(const QByteArray &path) const;
    // Whether more than one step of the journal names `path`.
    bool namedTwice(const QByteArray &path) const;

    // Starts reading from the last step; each previous() answers the step before, false
    // before the first.
    void rewind();
    bool previous(JournalEntry &entry);

private:
    void checkWhole();
    bool take(const QByteArray &line, std::vector<size_t> &paths);
    bool lineBefore(QByteArray &line);

    raw_file::Descriptor m_fd;
    State m_state = State::Nothing;
    int m_unrecorded = 0;
    LineCheck m_mac;
    qint64 m_end = 0; // of the last whole line
    QSet<QByteArray> m_folders;
    QSet<QByteArray> m_trashes;
    std::vector<size_t> m_twice; // sorted hashes of the paths named twice
    qint64 m_at = 0; // start of the last line read backwards
    qint64 m_chunkStart = 0;
    QByteArray m_chunk;
    QByteArray m_pending; // read backwards, not yet checked against the line before it
    bool m_havePending = false;
    QByteArray m_check; // while checking whole: of the line before
};

// Ends the journal after its undo: it offers nothing more.
void endJournal();

} // namespace quillfen
