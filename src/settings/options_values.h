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
    bool keepReplaced = true; // mnuSettingsKeepReplaced: replaced files go to the Trash
    EntryList entries; // lstFiles, lstPath, lstDest, lstMove
    // False when the stored list could not be read: closing then leaves the stored list as it
    // is, so an unreadable count never wipes it. A list the user edits is theirs to save.
    bool listReadable = true;

    // Fills every value from the store. A step that fails leaves its value as it was; the
    // failures to report ("... on Options form load" and the list's own) come back in order.
    QList<Report> load();

    // Writes every value and the entry list (when it was read) back to the store, as one write;
    // answers the failures to report.
    QList<Report> close() const;

    // A run would plan the same with `other`: the same entries and date restriction.
    bool plansLike(const OptionsValues &other) const
    {
        return entries == other.entries && interval == other.interval && intervalType == other.intervalType;
    }
};

} // namespace quillfen
