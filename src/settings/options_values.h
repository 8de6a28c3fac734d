#pragma once

#include "entry_list.h"

#include <QString>

namespace quillfen {

// What an Options window shows, on plain values: the shown window binds its controls to
// one of these, and every transfer run loads and closes a private one, so both follow
// the same load and close steps.
class OptionsValues
{
public:
    QString timer; // cboTimer: countdown seconds as typed
    bool autoStart = false; // chkAutoStart
    QString defaultFileExt; // txtExt
    QString interval; // txtInterval
    QString intervalType; // txtIntType
    EntryList entries; // lstFiles, lstPath, lstDest, lstMove

    // Fills every value from the store. A step that fails is reported "... on Options
    // form load" and leaves its value as it was.
    void load();

    // Writes every value and the entry list back to the store, as one write.
    void close() const;
};

} // namespace quillfen
