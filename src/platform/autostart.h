#pragma once

#include <QString>

namespace quillfen {

// "Start at Login": a freedesktop autostart entry quillfen.desktop in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart) that starts this program.

// True when the entry exists and is not disabled (Hidden=true or
// X-GNOME-Autostart-enabled=false), whoever wrote it. Throws Failure when it cannot be read.
bool startsAtLogin();

// Writes or removes the entry. An entry that is not exactly the one Quillfen writes for this
// program is replaced or removed only after a confirmation; nothing happens when the state is
// already the one asked for. Throws Failure on I/O errors.
void setStartAtLogin(bool on);

// The entry's file and the text Quillfen writes into it for `program`.
QString autostartEntryPath();
QByteArray autostartEntryFor(const QString &program);

} // namespace quillfen
