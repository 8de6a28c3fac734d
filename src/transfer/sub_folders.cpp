#include "sub_folders.h"

#include "listing.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <QDir>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

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
    raw_file::FolderReader reader(nativePath(folder));
    if (identity) {
        struct stat st = {};
        if (::fstat(reader.fd(), &st) != 0)
            throw Failure::fromErrno(errno, folder);
        *identity = {quint64(st.st_dev), quint64(st.st_ino)};
    }
    NameList listed;
    while (const dirent *entry = reader.next()) {
        // Hidden names start with "."; so do "." and "..".
        if (entry->d_name[0] == '.')
            continue;
        const unsigned char type = entry->d_type;
        if (type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        struct stat st = {};
        if (type != DT_DIR && (::fstatat(reader.fd(), entry->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode)))
            continue;
        listed.append(QByteArrayView(entry->d_name));
    }
    listed.sort();
    return listed.toStringList();
}

} // namespace quillfen
