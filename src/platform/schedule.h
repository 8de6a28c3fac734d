#pragma once

#include "autostart.h"

#include <QByteArray>
#include <QString>
#include <QTime>

namespace quillfen {

// "Run Daily at…": a systemd user timer and its service, named after the application ID, in
// $XDG_CONFIG_HOME/systemd/user (default ~/.config/systemd/user), that run `program --run` each
// day at a time; a day missed while the machine was off runs at its next start. The timer is
// enabled as systemctl --user enables it (a link in timers.target.wants), and a running user
// manager is told at once.

// The time the timer runs at; a null time when there is no timer. Throws Failure when it cannot
// be read.
QTime scheduledTime();

// What setSchedule did: done (or nothing to do), or nothing yet because a unit there is not
// one Quillfen writes for the program: it is replaced or removed only when the caller asks
// again with `foreignAgreed`, once the user agreed.
enum class Schedule { Done, ForeignUnit };

// Writes the units for a run each day at `at`, or removes them for a null `at`. Throws Failure
// on I/O errors, and before writing anything for a path that a unit cannot hold.
Schedule setSchedule(
    const QTime &at, const QByteArray &program = runningProgram(), bool foreignAgreed = false);

// The folder of the units, and the text Quillfen writes into each. A unit holds text only: a path
// that is not UTF-8 (or none) is refused with failure 64.
QString scheduleFolder();
QByteArray scheduleServiceFor(const QByteArray &program);
QByteArray scheduleTimerFor(const QTime &at);

} // namespace quillfen
