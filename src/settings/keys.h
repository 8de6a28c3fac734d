#pragma once

#include <QString>

#include <array>

namespace quillfen::keys {

inline constexpr char AppSettings[] = "AppSettings";
inline constexpr char WindowSettings[] = "Settings";

inline constexpr char Files[] = "sc_Files";
inline constexpr char Timer[] = "Timer";
inline constexpr char AutoStart[] = "AutoStart";
inline constexpr char DefaultFileExt[] = "sc_DefaultFileExt";
inline constexpr char CompareInterval[] = "sc_CompareInterval";
inline constexpr char CompareIntType[] = "sc_CompareIntType";
inline constexpr char LastStem[] = "sc_last"; // followed by the browse target word
inline constexpr char LastSource[] = "sc_lastSource";
inline constexpr char LastDestination[] = "sc_lastDestination";

// The general keys, in the order that export and clear follow.
inline constexpr std::array<const char *, 8> General
    = {Files, Timer, AutoStart, DefaultFileExt, CompareInterval, CompareIntType, LastSource, LastDestination};

// Entry key stems, in the order File, Path, Dest, Move.
inline constexpr char FileStem[] = "sc_File";
inline constexpr char PathStem[] = "sc_Path";
inline constexpr char DestStem[] = "sc_Dest";
inline constexpr char MoveStem[] = "sc_Move";
inline constexpr std::array<const char *, 4> EntryStems = {FileStem, PathStem, DestStem, MoveStem};

// Stem followed by n in plain decimal: sc_File10.
inline QString entryKey(const char *stem, int n)
{
    return QLatin1String(stem) + QString::number(n);
}

inline constexpr char MainLeft[] = "MainLeft";
inline constexpr char MainTop[] = "MainTop";
inline constexpr char MainWidth[] = "MainWidth";
inline constexpr char MainHeight[] = "MainHeight";

} // namespace quillfen::keys
