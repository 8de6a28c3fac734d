#pragma once

#include "journal.h"

#include <QList>
#include <QString>

namespace quillfen {

// One step of undoing the last run, as the disk stands now.
struct UndoStep
{
    enum class Kind {
        MoveBack, // a moved file goes back to its source folder
        RemoveCopy, // a copy the run made goes to the Trash
        RestoreReplaced, // a file the run replaced comes back from the Trash
        LeaveAlone, // changed since the run, or nowhere to go: left as it is
    };
    Kind kind = Kind::LeaveAlone;
    QByteArray from; // native paths
    QByteArray to;
    QString text; // as the confirmation lists it
};

// The steps that undo `journal`, last file first. A file is moved, removed or restored only
// when it is exactly as the run left it (size and modification time) and the name it goes to
// is free.
QList<UndoStep> planUndo(const QList<JournalEntry> &journal);

// "Undo Last Run": shows what undoing the journal would do and asks; then does each step with
// the run's own copy and move routines, writes each to the log as the run writes its records,
// and empties the journal, so that a second undo finds nothing to do.
void sc_UndoLastRun();

} // namespace quillfen
