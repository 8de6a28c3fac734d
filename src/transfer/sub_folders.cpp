#include "sub_folders.h"

#include "listing.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillfen {

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

QString currentFolder()
{
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer))
        return nameFromNative(QByteArray(buffer));
    return QDir::currentPath();
}

} // namespace

QString normalFolder(const QString &folder)
{
    if (folder.isEmpty())
        return currentFolder();
    QString absolute = folder.startsWith(host::Separator) ? folder : folderPrefix(currentFolder()) + folder;
    return QDir::cleanPath(absolute);
}

QString folderPrefix(const QString &folder)
{
    return folder.endsWith(host::Separator) ? folder : folder + host::separator();
}

QString joinFolder(const QString &folder, const QString &name)
{
    return folderPrefix(folder) + name;
}

QStringList listSubFolders(const QString &folder, FolderIdentity *identity)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(nativePath(folder).constData()));
    if (!dir) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            throw Failure(failure_no::PathNotFound);
        throw Failure::fromErrno(err, folder);
    }
    const int dirFd = ::dirfd(dir.get());
    if (identity) {
        struct stat st
        {
        };
        if (::fstat(dirFd, &st) != 0)
            throw Failure::fromErrno(errno, folder);
        *identity = {quint64(st.st_dev), quint64(st.st_ino)};
    }

    NameSorter listed;
    for (;;) {
        const dirent *entry = readFolderEntry(dir.get(), folder);
        if (!entry)
            break;
        // Hidden names start with "."; so do "." and "..".
        if (entry->d_name[0] == '.')
            continue;
        const unsigned char type = entry->d_type;
        if (type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        if (type != DT_DIR) {
            struct stat st
            {
            };
            if (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode))
                continue;
        }
        listed.add(nameFromNative(QByteArray(entry->d_name)));
    }
    return listed.sorted();
}

} // namespace quillfen
