#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <sys/types.h>

namespace quillfen {

// The desktop's Trash, as file managers share it: the home trash for files on the home file
// system, a trash of the user's at the top of any other file system, each with an info file
// per trashed file that says where it came from and when, so that a file manager can restore it.
class Trash
{
public:
    // Puts the file at `path` into the Trash of its file system as a second name of the same
    // file where it can, else as a copy that is complete on disk; a file of another file system
    // whose own trash cannot take it goes to the home trash as a copy. `path` keeps its name
    // until something else takes it. Answers the file's path in the Trash; throws the Failure
    // that kept it out of its own trash when no trash can hold it.
    QByteArray keep(const QByteArray &path);

    // Gives the trashed file `trashed` back the name `path` when nothing has that name, and
    // drops its info file. Throws Failure (58 when the name is taken).
    static void restore(const QByteArray &trashed, const QByteArray &path);

    // The home trash: $XDG_DATA_HOME/Trash.
    static QByteArray homeTrash();
    // The info file of the trashed file `trashed`.
    static QByteArray infoFileOf(const QByteArray &trashed);

private:
    QByteArray trashFor(const QByteArray &path, dev_t device);

    QHash<dev_t, QByteArray> m_trashes; // the trash each file system's files go to
};

} // namespace quillfen
