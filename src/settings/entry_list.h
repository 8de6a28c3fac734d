#pragma once

#include "platform/report.h"

#include <QList>
#include <QStringList>

namespace quillfen {

// What a run does with a file whose name the destination folder holds already.
enum class Conflict {
    Replace, // the old file goes (to the Trash, unless that is turned off)
    KeepBoth, // the new file takes the first free name "name (2).ext", "name (3).ext", ...
    Skip, // the file stays where it is
    SkipIfIdentical, // skipped when both hold the same bytes, replaced otherwise
};
inline constexpr int ConflictCount = 4;

// Folders below the entry's destination, named by the file's modification date.
enum class DateFolders { None, Year, Month, Day };
inline constexpr int DateFoldersCount = 4;

// A stored choice as its number: empty text (an absent key) is the default, 0. Throws Failure 13
// for text that is not a number, 6 for one out of range and 5 for a number that names no choice.
int toChoice(const QString &text, int count);
// The text a choice is stored as: empty for the default, which is not written.
QString choiceText(int choice);

// The transfer entries as parallel lists of equal length; position k of each list belongs to the
// same entry. Kept in insertion order, never sorted.
struct EntryList
{
    QStringList files; // lstFiles: exact name, or a pattern when it holds "*"
    QStringList paths; // lstPath: source folder
    QStringList dests; // lstDest: destination folder
    QStringList moves; // lstMove: "1" move, "0" copy
    QStringList conflicts; // a Conflict as stored; empty: the default
    QStringList dateFolders; // DateFolders as stored; empty: the default

    int count() const { return static_cast<int>(files.size()); }
    void append(const QString &file, const QString &path, const QString &dest, const QString &move,
        const QString &conflict = QString(), const QString &dated = QString());
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

// Writes every entry and then the count to the store; keys of a longer earlier list stay. An
// entry's choices are written when not the default and removed when they are.
// Answers the failures to report "... on Add Files".
QList<Report> sc_AddFiles(const EntryList &list);

} // namespace quillfen
