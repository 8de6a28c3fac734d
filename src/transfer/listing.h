#pragma once

#include <QString>
#include <QStringList>

#include <dirent.h>
#include <vector>

namespace quillfen {

// Collects names and hands them back in ascending order with letter case ignored, ties
// broken by the exact name: the order of every listing.
class NameSorter
{
public:
    void add(QString name);
    QStringList sorted();

private:
    struct Entry
    {
        QString key; // case-folded
        QString name;
    };
    std::vector<Entry> m_entries;
};

// The next entry of an open folder, or nullptr at its end; throws the host's failure.
const dirent *readFolderEntry(DIR *dir, const QString &folder);

// True when `name` matches one of the ";"-separated patterns: "*" any run, "?" any one
// character, letters regardless of case.
bool matchesPatterns(const QString &name, const QString &patterns);

// The names of the files of `folder` (a folder text, with or without the trailing
// separator) that match `patterns`: regular files and links to them, hidden names left
// out, each once, in ascending name order with letter case ignored. Throws Failure 76
// when the folder does not exist, or the host's failure when it cannot be read.
QStringList listMatchingFiles(const QString &folder, const QString &patterns);

} // namespace quillfen
