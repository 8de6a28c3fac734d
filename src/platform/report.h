#pragma once

#include "failure.h"

#include <QString>

namespace quillfen {

// A failure that a face shows the user, as a value: what kind of report it is, the failure,
// and where it happened. The faces form its words from the one table of messages.
struct Report
{
    enum class Kind {
        Place, // a step of a handler failed; `where` holds the step's place words
        CopyFailed, // a copy or move into the folder `where` failed
        LookupFailed, // looking up the file `where` failed
    };

    Kind kind = Kind::Place;
    Failure failure;
    QString where;

    static Report place(const Failure &failure, const QString &where)
    {
        return {Kind::Place, failure, where};
    }
};

} // namespace quillfen
