#pragma once

class frmMain;

namespace quillfen::app {

// The program's start: the splash, the Options window when the program is not yet
// configured, then the main window, loaded while hidden and shown once the splash is gone.
// Returns the main window (deleted when it closes), or null when it could not be made.
frmMain *runStartup();

} // namespace quillfen::app
