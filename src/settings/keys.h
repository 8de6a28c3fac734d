#pragma once

#include <QString>

#include <array>

// Every setting of the program with its section and the default its readers pass, declared
// once. A null default means the readers pass none: an absent key reads as empty text.
namespace quillfen::keys {

enum class Section { App, Window };

struct Key
{
    Section section;
    const char *name;
    const char *fallback;

    QString nameText() const { return QLatin1String(name); }
};

inline constexpr Key Files {Section::App, "sc_Files", "0"};
inline constexpr Key Timer {Section::App, "Timer", "10"};
// The text of false is "0", so readers that convert it take it as 0.
inline constexpr Key AutoStart {Section::App, "AutoStart", "0"};
inline constexpr Key DefaultFileExt {Section::App, "sc_DefaultFileExt", "*.txt"};
inline constexpr Key CompareInterval {Section::App, "sc_CompareInterval", "1"};
inline constexpr Key CompareIntType {Section::App, "sc_CompareIntType", "h"};
inline constexpr Key LastSource {Section::App, "sc_lastSource", nullptr};
inline constexpr Key LastDestination {Section::App, "sc_lastDestination", nullptr};
// Replaced destination files go to the Trash unless this is "0".
inline constexpr Key KeepReplaced {Section::App, "KeepReplacedInTrash", "1"};
// "1": the end of a run is said by a desktop notification rather than the notice window.
inline constexpr Key Notify {Section::App, "NotifyThroughDesktop", "0"};

// The general keys, in the order that export and clear follow.
inline constexpr std::array<Key, 8> General
    = {Files, Timer, AutoStart, DefaultFileExt, CompareInterval, CompareIntType, LastSource, LastDestination};

// The folder last picked in the file search dialog for a browse target: this stem and the
// target's word.
inline constexpr char LastStem[] = "sc_last";

// Entry key stems, in the order File, Path, Dest, Move; entry n's key is the stem followed by
// n in plain decimal (sc_File10).
inline constexpr char FileStem[] = "sc_File";
inline constexpr char PathStem[] = "sc_Path";
inline constexpr char DestStem[] = "sc_Dest";
inline constexpr char MoveStem[] = "sc_Move";
inline constexpr std::array<const char *, 4> EntryStems = {FileStem, PathStem, DestStem, MoveStem};
// An entry's choices beyond those four, in this order: what a run does where the file's name is
// taken, and the dated folders it sorts into. Stored only when not the default, "0".
inline constexpr char ConflictStem[] = "sc_Conflict";
inline constexpr char DateFoldersStem[] = "sc_DateFolders";
inline constexpr std::array<const char *, 2> ChoiceStems = {ConflictStem, DateFoldersStem};
inline constexpr char ChoiceDefault[] = "0";

inline QString entryKey(const char *stem, int n)
{
    return QLatin1String(stem) + QString::number(n);
}

// The main window's placement, written as it closes and read by nobody.
inline constexpr Key MainLeft {Section::Window, "MainLeft", nullptr};
inline constexpr Key MainTop {Section::Window, "MainTop", nullptr};
inline constexpr Key MainWidth {Section::Window, "MainWidth", nullptr};
inline constexpr Key MainHeight {Section::Window, "MainHeight", nullptr};

// Every declared key, for what applies to all of them.
inline constexpr std::array<Key, 14> All
    = {Files, Timer, AutoStart, DefaultFileExt, CompareInterval, CompareIntType, LastSource, LastDestination,
        KeepReplaced, Notify, MainLeft, MainTop, MainWidth, MainHeight};

} // namespace quillfen::keys
