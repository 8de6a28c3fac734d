#pragma once

#include <QStringList>

namespace quillfen::app {

// Whether the arguments ask for the command line rather than the window: anything besides the
// window system's own options does.
bool wantsCommandLine(int argc, char **argv);

// The command line on the engine and the store the window uses: --help, --version, --preview,
// --run and --undo, each with no window. Prints to standard output and standard error and
// answers the exit status: 0 all done, 1 some files failed, 2 nothing done (an unknown option,
// a run that could not start or ended early).
int runCommandLine(QStringList arguments);

// A run on the command line that may ask the user a question in a window: its notification's
// "Undo" asks first. True for --run where the desktop notification is set and a display is there.
bool wantsWindowsToo(int argc, char **argv);

} // namespace quillfen::app
