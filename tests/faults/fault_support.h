#pragma once

// What the fault tests share: files made and checked by their raw names, the entry list
// in the store, and the transfer-run child process.

#include "platform/native_names.h"
#include "settings/entry_list.h"
#include "settings/keys.h"
#include "settings/store.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillfen::faults {

struct Entry
{
    QString file;
    QString source;
    QString dest;
    bool move;
};

// Stores the entries, and a date restriction that every file made just now passes.
inline void storeEntries(const QList<Entry> &entries)
{
    EntryList list;
    for (const Entry &entry : entries)
        list.append(
            entry.file, entry.source, entry.dest, entry.move ? QStringLiteral("1") : QStringLiteral("0"));
    sc_AddFiles(list);
    store::save(keys::CompareInterval, QStringLiteral("0"));
    store::save(keys::CompareIntType, QStringLiteral("s"));
}

inline QByteArray native(const QString &path)
{
    return nativePath(path);
}

// Writes `content` to a file given by its raw name; fails the test when it cannot.
inline void writeFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.constData() << ": " << std::strerror(errno);
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd, content.constData() + done, size_t(content.size() - done));
        ASSERT_GT(put, 0) << path.constData();
        done += put;
    }
    ::close(fd);
}

// The whole content of a file given by its raw name; `ok` tells whether it could be opened.
inline QByteArray readFile(const QByteArray &path, bool *ok = nullptr)
{
    QByteArray content;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (ok)
        *ok = fd >= 0;
    if (fd < 0)
        return content;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        content.append(buffer, got);
    }
    ::close(fd);
    return content;
}

inline QByteArray checksum(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Md5);
}

// The checksum of the file at a raw path, or an empty array when there is no such file.
inline QByteArray checksumOf(const QByteArray &path)
{
    bool ok = false;
    const QByteArray content = readFile(path, &ok);
    return ok ? checksum(content) : QByteArray();
}

inline bool exists(const QByteArray &path)
{
    struct stat st
    {
    };
    return ::lstat(path.constData(), &st) == 0;
}

// Raw names in a folder, "." and ".." left out, sorted.
inline QList<QByteArray> namesIn(const QByteArray &folder)
{
    QList<QByteArray> names;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Removes a folder and everything in it by raw names.
inline void removeTree(const QByteArray &path)
{
    ::nftw(
        path.constData(),
        [](const char *entry, const struct stat *, int type, struct FTW *) {
            return type == FTW_DP ? ::rmdir(entry) : ::unlink(entry);
        },
        16, FTW_DEPTH | FTW_PHYS);
}

// The engine's temporary files are hidden names beside the destination.
inline bool isTemporaryName(const QByteArray &name)
{
    return name.startsWith(".quillfen-") && name.endsWith(".part");
}

// Content of `size` bytes that differs from file to file.
inline QByteArray randomContent(qsizetype size)
{
    static QRandomGenerator random(QRandomGenerator::global()->generate());
    QByteArray content(size, Qt::Uninitialized);
    std::vector<quint32> words(size_t(size / 4 + 1));
    random.fillRange(words.data(), qsizetype(words.size()));
    std::memcpy(content.data(), words.data(), size_t(size));
    return content;
}

struct ChildResult
{
    int exitCode = -1;
    bool crashed = false;
    QString standardError;
};

// The child that performs one transfer run on the store of XDG_CONFIG_HOME.
class TransferChild
{
public:
    explicit TransferChild(const QString &appFolder)
        : m_env(QProcessEnvironment::systemEnvironment())
    {
        m_env.insert(QStringLiteral("QUILLFEN_APP_FOLDER"), appFolder);
        // The shim is preloaded ahead of a sanitizer runtime the child may carry.
        const QString asan = m_env.value(QStringLiteral("ASAN_OPTIONS"));
        m_env.insert(QStringLiteral("ASAN_OPTIONS"),
            asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("verify_asan_link_order=0"));
    }

    void setVariable(const QString &name, const QString &value) { m_env.insert(name, value); }
    void preloadShim() { setVariable(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUILLFEN_FAULT_SHIM)); }

    void start(QProcess &process) const
    {
        process.setProcessEnvironment(m_env);
        process.start(QStringLiteral(QUILLFEN_FAULT_CHILD), {});
    }

    ChildResult run() const
    {
        QProcess process;
        start(process);
        ChildResult result;
        if (!process.waitForStarted() || !process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            result.standardError = QStringLiteral("the child did not finish");
            return result;
        }
        result.crashed = process.exitStatus() != QProcess::NormalExit;
        result.exitCode = process.exitCode();
        result.standardError = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

private:
    QProcessEnvironment m_env;
};

} // namespace quillfen::faults
