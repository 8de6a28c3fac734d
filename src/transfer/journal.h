#pragma once

#include "safe_copy.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <ctime>

namespace quillfen {

// One file that a run copied or moved, as the run left it.
struct JournalEntry
{
    enum class Action { Copy, Move };
    enum class Replaced { Nothing, Kept, Lost }; // what became of a file the new one replaced

    Action action = Action::Copy;
    QByteArray source; // native paths
    QByteArray dest;
    qint64 size = 0; // of the new file
    timespec modified {}; // of the new file
    Replaced replaced = Replaced::Nothing;
    QByteArray replacedTo; // where a kept file went

    friend bool operator==(const JournalEntry &a, const JournalEntry &b)
    {
        return a.action == b.action && a.source == b.source && a.dest == b.dest && a.size == b.size
            && a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec
            && a.replaced == b.replaced && a.replacedTo == b.replacedTo;
    }
};

// $XDG_STATE_HOME/Quillfen/lastrun.journal (default ~/.local/state/Quillfen).
QString journalPath();

// The journal of the run under way: started anew by each run, one line appended per file as
// soon as it is done, so that a run killed part-way leaves a journal of all it did. A journal
// that cannot be written costs the run nothing but its undo.
class JournalWriter
{
public:
    JournalWriter();
    ~JournalWriter();
    JournalWriter(const JournalWriter &) = delete;
    JournalWriter &operator=(const JournalWriter &) = delete;

    void add(const JournalEntry &entry);
    // The entry for what a copy or move did; nothing to add when it placed no file.
    static bool entryFor(bool move, const safe_copy::Outcome &outcome, JournalEntry &entry);

private:
    void start();

    int m_fd = -1;
    QByteArray m_path;
};

// Empties the journal; throws Failure when it cannot.
void clearJournal();

// The entries of the journal at `path`, in the order they were done; a line that a kill cut
// short is left out. Throws Failure when the journal cannot be read; a missing journal has no
// entries.
QList<JournalEntry> readJournal(const QString &path = journalPath());

} // namespace quillfen
