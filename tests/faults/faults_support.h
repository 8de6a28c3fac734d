#pragma once

// What the fault suite shares: the child it kills or preloads the shim into, file systems of
// its own, and what a whole log looks like.

#include "settings/entry_list.h"
#include "settings/store.h"
#include "support/test_support.h"
#include "transfer/transfer_log.h"

#include <QProcess>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>

namespace quillfen::faults {

using namespace quillfen::test;

// The run takes every file at once.
struct Entry
{
    QString file, source, dest;
    bool move;
};
inline void storeEntries(const QList<Entry> &entries)
{
    EntryList list;
    for (const auto &[file, source, dest, move] : entries)
        list.append(file, source, dest, move ? QStringLiteral("1") : QStringLiteral("0"));
    sc_AddFiles(list);
    store::save(keys::CompareInterval, QStringLiteral("0"));
    store::save(keys::CompareIntType, QStringLiteral("s"));
}

inline QByteArray randomContent(qsizetype size)
{
    QByteArray content(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(content.data()), size / 4);
    return content;
}

// Every name in a folder, hidden ones included: the temporaries of a copy start with ".quillfen-".
inline QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A header, then records of their own forms only: none cut short or glued to the next, since
// no field holds a tab or a line end. Just after a kill the last one may be cut short.
inline bool wholeLog(const QByteArray &log, bool killed = false)
{
    static const QString records = wholeLogPattern();
    static const QRegularExpression whole(records + "$"), torn(records + "(?:(?!\r\n\r\n\r\n)[\\s\\S])*$");
    return (killed ? torn : whole).match(QString::fromUtf8(log)).hasMatch();
}

struct ChildResult
{
    int exitCode = -1; // -1 when killed or crashed
    QString errors;
};

// `job` in the child program, in the test's TempStore, with the shim preloaded to inject
// `faults`: to its end, or killed once `killMs` have passed since it started.
inline ChildResult runChild(const TempStore &store, const QString &faults = QString(),
    const QString &job = QStringLiteral("run"), int killMs = 120000)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLFEN_APP_FOLDER", store.appFolder());
    if (!faults.isEmpty()) {
        env.insert("QUILLFEN_FAULTS", faults);
        env.insert("LD_PRELOAD", QUILLFEN_FAULT_SHIM);
        // The shim is preloaded ahead of a sanitizer runtime the child may carry.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QUILLFEN_FAULT_CHILD, {job});
    process.waitForStarted();
    const bool finished = process.waitForFinished(killMs);
    process.kill();
    process.waitForFinished();
    return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardError())};
}

// Every page of a small file system taken, so the next write that needs one fails.
inline void fill(const QString &folder)
{
    const int fd = ::open(nativePath(folder + "/filler").constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    static const char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) { }
    ::close(fd);
}

// A tmpfs of `size` bytes at `folder` while it lives, where this user may mount one.
struct SmallFileSystem
{
    SmallFileSystem(const QString &folder, qint64 size)
        : path(nativePath(folder))
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(size);
        mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
    QByteArray path;
    bool mounted = false;
};

} // namespace quillfen::faults
