#pragma once

#include "journal.h"
#include "planner.h"
#include "run_observer.h"
#include "safe_copy.h"
#include "transfer_log.h"

#include "platform/trash.h"
#include "settings/options_values.h"

namespace quillfen {

// One transfer run over the stored entry list, with everything it holds while it works: its
// private Options values, its log writer, its copy session and its journal. Whoever starts a
// run keeps it until it is closed.
class TransferRun
{
public:
    explicit TransferRun(RunObserver &observer);

    // One pass over the stored entry list. Traps nothing: a failure ends the run and is thrown
    // to the caller; the run's Options values then stay open until close().
    void sc_TransferFiles();

    // Closes (and so saves) the Options values that a failure left open; nothing otherwise.
    // What cannot be saved goes to the observer.
    void close();

private:
    class Actor;

    RunObserver &m_observer;
    OptionsValues m_values;
    bool m_open = false;
};

} // namespace quillfen
