#include "files.h"

#include "measure.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

void makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        fail(QStringLiteral("cannot create %1").arg(path));
}

// Files are deleted by many threads at once: where the file system discards the blocks of
// each deleted file before the deletion returns, one thread waits on every discard in turn,
// and a few hundred files a second was all it managed here.
void removeTree(const QString &path)
{
    static std::vector<std::string> *files = nullptr;
    static std::vector<std::string> *folders = nullptr;
    std::vector<std::string> fileList;
    std::vector<std::string> folderList;
    files = &fileList;
    folders = &folderList;
    ::nftw(
        native(path).constData(),
        [](const char *entry, const struct stat *, int type, struct FTW *) {
            (type == FTW_DP ? folders : files)->emplace_back(entry);
            return 0;
        },
        32, FTW_DEPTH | FTW_PHYS);
    std::atomic<size_t> next = 0;
    const auto unlinkSome = [&] {
        for (size_t k = next++; k < fileList.size(); k = next++)
            ::unlink(fileList[k].c_str());
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < (fileList.size() > 64 ? 16 : 0); ++t)
        threads.emplace_back(unlinkSome);
    unlinkSome();
    for (std::thread &thread : threads)
        thread.join();
    for (const std::string &folder : folderList)
        ::rmdir(folder.c_str());
}

void makeFile(const QString &path, qint64 size)
{
    static const QByteArray block = [] {
        QByteArray bytes(int(MiB), Qt::Uninitialized);
        QRandomGenerator random(2024);
        random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        return bytes;
    }();
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail(QStringLiteral("cannot create %1").arg(path));
    qint64 left = size;
    qint64 offset = size / 4096; // each file starts at another place in the block
    while (left > 0) {
        const qint64 start = offset % (MiB / 2);
        const qint64 chunk = std::min(left, MiB - start);
        if (::write(fd, block.constData() + start, size_t(chunk)) != chunk)
            fail(QStringLiteral("cannot write %1").arg(path));
        left -= chunk;
        offset += 4099;
    }
    ::close(fd);
}

QStringList namesIn(const QString &folder)
{
    QStringList names;
    DIR *dir = ::opendir(native(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

QStringList pathsIn(const QString &folder)
{
    QStringList paths;
    for (const QString &name : namesIn(folder))
        paths.append(folder + name);
    return paths;
}

void expectCount(const QString &folder, qsizetype count)
{
    const qsizetype found = namesIn(folder).size();
    if (found != count)
        fail(QStringLiteral("%1 holds %2 files, not %3").arg(folder).arg(found).arg(count));
}

void linkAll(const QString &pristine, const QString &folder, qsizetype count)
{
    makeFolder(folder);
    QStringList names = namesIn(pristine);
    if (count >= 0) {
        names.sort();
        names = names.mid(0, count);
    }
    for (const QString &name : names) {
        if (::link(native(pristine + name).constData(), native(folder + name).constData()) != 0)
            fail(QStringLiteral("cannot link %1").arg(name));
    }
}

QString runFolder(const QString &base, const char *stem, int run, const char *side)
{
    return base + QStringLiteral("%1-%2-%3/").arg(QLatin1String(stem), QLatin1String(side)).arg(run);
}

QString runFolder(const QString &base, const char *stem, int run, bool ours)
{
    return runFolder(base, stem, run, ours ? "q" : "r");
}

void progress(const char *text)
{
    std::fprintf(stderr, "  (%s)\n", text);
}

} // namespace bench
