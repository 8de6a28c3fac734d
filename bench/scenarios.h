#pragma once

#include <QString>

namespace bench {

struct Setup
{
    QString scratch; // a folder of the file system of /tmp, ending with "/"
    QString second; // a folder of another file system, ending with "/"; empty when none
    QString exfat; // a folder on an exFAT image mounted through FUSE, ending with "/"; empty when none
    int runs = 5;
    QString floor; // the floor program, quillfen_floor
    QString program; // the built program, quillfen
    double scale = 1; // scales the file counts of the whole-program lines and of the undo
};

// Each prints its line (or lines) after measuring; the data sets are made and removed
// inside the scratch folder.
void copyLargeFile(const Setup &setup);
void copySmallFiles(const Setup &setup);
void moveWithinFileSystem(const Setup &setup);
void moveAcrossFileSystems(const Setup &setup);
void listByPattern(const Setup &setup);
void scanTree(const Setup &setup);
void previewFiles(const Setup &setup);
void saveAndLoadEntries(const Setup &setup);
void fillMessageArea(const Setup &setup);
void programCopy(const Setup &setup);
void programCommandLine(const Setup &setup);
void programMove(const Setup &setup);
void programTaken(const Setup &setup);
void undoJournal(const Setup &setup);
void programExfat(const Setup &setup);

// The child side of saveAndLoadEntries, in a process of its own so that its peak memory
// is its own: "save" or "load" the entry list of the store in XDG_CONFIG_HOME.
int entriesChild(const QString &step);

} // namespace bench
