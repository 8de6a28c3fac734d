#pragma once

#include "platform/report.h"

#include <QList>
#include <QStringList>

namespace quillfen {

// The transfer entries as four parallel lists of equal length; position k of each list
// belongs to the same entry. Kept in insertion order, never sorted.
struct EntryList
{
    QStringList files; // lstFiles: exact name, or a pattern when it holds "*"
    QStringList paths; // lstPath: source folder
    QStringList dests; // lstDest: destination folder
    QStringList moves; // lstMove: "1" move, "0" copy

    int count() const { return static_cast<int>(files.size()); }
    void append(const QString &file, const QString &path, const QString &dest, const QString &move);
    void removeAt(int position);

    bool operator==(const EntryList &) const = default;
};

// The stored number of entries; throws Failure 13 or 6 for a count that is not a number or
// out of range, and 5 for a negative one.
int storedEntryCount();
// The stored number of entries, or 0 when it cannot be read.
int storedEntryCountOrZero();

// Empties the lists, then fills them from the store. Answers the failures to report "... on
// Get Files": none when the stored count could be read.
QList<Report> sc_GetFiles(EntryList &list);

// Writes every entry and then the count to the store; keys of a longer earlier list stay.
// Answers the failures to report "... on Add Files".
QList<Report> sc_AddFiles(const EntryList &list);

} // namespace quillfen
