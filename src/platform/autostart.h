#pragma once

#include <QByteArray>
#include <QString>

namespace quillfen {

// "Start at Login": a freedesktop autostart entry quillfen.desktop in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart) that starts this program.

// True when the entry exists and is not disabled (Hidden=true or
// X-GNOME-Autostart-enabled=false), whoever wrote it. Throws Failure when it cannot be read.
bool startsAtLogin();

// The native path of the running program.
QByteArray runningProgram();

// What setStartAtLogin did: done (or nothing to do), or nothing yet because the entry there is
// not exactly the one Quillfen writes for the program: it is replaced or removed only when the
// caller asks again with `foreignAgreed`, once the user agreed.
enum class StartAtLogin { Done, ForeignEntry };

// Writes or removes the entry that starts `program` (a native path; this program by default);
// nothing happens when the state is already the one asked for. Throws Failure on I/O errors,
// and before writing anything for a path that an entry cannot hold.
StartAtLogin setStartAtLogin(
    bool on, const QByteArray &program = runningProgram(), bool foreignAgreed = false);

// The entry's file and the text Quillfen writes into it for `program`. An entry holds text
// only: a path that is not UTF-8 (or none) is refused with failure 64.
QString autostartEntryPath();
QByteArray autostartEntryFor(const QByteArray &program);

} // namespace quillfen
