#pragma once

#include <QString>

namespace quillfen {

// The settings file: the application title followed by ".txt", in the application folder.
QString settingsFilePath();

// Writes the settings file from the store and says where. A file that cannot be written
// is reported and whatever file was there stays as it was.
void sc_ExportSettings();

// After the user agrees, stores every key line of the settings file in file order, as one
// write to the store. A missing or unreadable file is reported and nothing is written.
void sc_ImportSettings();

} // namespace quillfen
