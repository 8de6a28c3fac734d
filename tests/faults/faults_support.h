#pragma once

// What the fault suite shares: the child it kills or preloads the shim into, files by their
// bytes, and small file systems of its own.

#include "settings/entry_list.h"
#include "settings/store.h"
#include "support/temp_store.h"
#include "support/test_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>

#include <sys/mount.h>

namespace quillfen::faults {

using namespace quillfen::test;

// Entries of pattern or name, source, destination, move; the run takes every file at once.
inline void storeEntries(const QList<std::tuple<QString, QString, QString, bool>> &entries)
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

inline QByteArray checksum(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha1);
}

// Every name in a folder, hidden ones included.
inline QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

inline int temporariesIn(const QString &folder)
{
    return int(namesIn(folder).filter(QRegularExpression(QStringLiteral("^\\.quillfen-.*\\.part$"))).size());
}

struct ChildResult
{
    int exitCode = -1;
    QString errors;
};

// The child program with the store, data and state folders of the test's TempStore.
class Child
{
public:
    explicit Child(const TempStore &store, const QString &faults = QString())
    {
        m_env.insert(QStringLiteral("QUILLFEN_APP_FOLDER"), store.appFolder());
        if (!faults.isEmpty()) {
            m_env.insert(QStringLiteral("QUILLFEN_FAULTS"), faults);
            m_env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUILLFEN_FAULT_SHIM));
            // The shim is preloaded ahead of a sanitizer runtime the child may carry.
            m_env.insert(QStringLiteral("ASAN_OPTIONS"),
                m_env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
        }
    }

    void start(QProcess &process, const QString &job = QStringLiteral("run")) const
    {
        process.setProcessEnvironment(m_env);
        process.start(QStringLiteral(QUILLFEN_FAULT_CHILD), {job});
        process.waitForStarted();
    }

    ChildResult run(const QString &job = QStringLiteral("run")) const
    {
        QProcess process;
        start(process, job);
        if (!process.waitForFinished(120000))
            process.kill();
        process.waitForFinished();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
    }

    // Starts `job` and kills it after `ms` milliseconds; answers whether it was still at work.
    bool killAfter(int ms, const QString &job = QStringLiteral("run")) const
    {
        QProcess process;
        start(process, job);
        const bool finished = process.waitForFinished(ms);
        process.kill();
        process.waitForFinished();
        return !finished;
    }

private:
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
};

// A tmpfs of `size` bytes mounted at `folder` for the test's lifetime, where the machine lets
// this user mount one; mounted() tells.
class SmallFileSystem
{
public:
    SmallFileSystem(const QString &folder, qint64 size)
        : m_folder(nativePath(folder))
    {
        QDir().mkpath(folder);
        m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0,
                        ("size=" + QByteArray::number(size)).constData())
            == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

} // namespace quillfen::faults
