#pragma once

#include "journal.h"
#include "run_observer.h"

#include <QList>
#include <QString>

#include <memory>

namespace quillfen {

// One step of undoing the last run.
struct UndoStep
{
    enum class Kind {
        MoveBack, // a moved file goes back to its source folder
        RemoveCopy, // a copy the run made goes to the Trash
        RestoreReplaced, // a file the run replaced comes back from the Trash
        LeaveAlone, // not as the run left it, or nowhere to go: left as it is
    };
    // Why a file is left as it is.
    enum class Why { Changed, SourceTaken, ReplacedGone, ReplacedLost, OutsideFolders, OutsideTrash };

    Kind kind = Kind::LeaveAlone;
    Why why = Why::Changed;
    QByteArray from; // native paths
    QByteArray to;
};

// What undoing the last run would do, as far as it is known before anything is done.
struct UndoPlan
{
    enum class Journal {
        Usable,
        Nothing, // no journal: nothing to undo
        Unrecorded, // the last run could not be recorded
        Broken, // the journal fails its check
        OtherVersion, // another version of the program wrote the journal
        Busy, // a run or another undo holds the journal
    };
    Journal journal = Journal::Nothing;
    int unrecorded = 0; // the number of the failure that kept the last run from being recorded
    qint64 steps = 0; // those left alone included
    qint64 doable = 0;
    QList<UndoStep> listed; // the first steps, in the order they would be done
};

// How many steps a plan lists.
inline constexpr int ListedUndoSteps = 1000;

// Undoing the last run. Holds the journal's lock for its lifetime, so that no run and no other
// undo work meanwhile, and plans at once: each journal entry, last first, against the disk as
// the steps planned before it would leave it.
class Undo
{
public:
    // Throws Failure when the journal cannot be read.
    Undo();
    ~Undo();

    const UndoPlan &plan() const { return m_plan; }

    // Does the steps, last file first, each checked again at its time: a file is moved, removed
    // or restored only when it is the one the run left there (or the one that an undo step put
    // back there) and the name it goes to is free. Writes each step to the log as the run writes
    // a move, then ends the journal. Answers how many steps were done. Throws Failure when the
    // log cannot be written, JournalReader::Changed when the journal changed meanwhile. Each
    // step's failure goes to `observer` as it happens.
    qint64 perform(RunObserver &observer);

private:
    JournalLock m_lock;
    std::unique_ptr<JournalReader> m_journal;
    UndoPlan m_plan;
};

} // namespace quillfen
