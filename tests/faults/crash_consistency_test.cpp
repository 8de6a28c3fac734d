// A run that moves 2,000 files is killed at random moments and restarted each time; after
// every kill each file must be whole in its source or its destination folder.

#include "fault_support.h"

#include "support/temp_store.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

using namespace quillfen;
using namespace quillfen::faults;

namespace {

constexpr int FileCount = 2000;
constexpr int Kills = 50;

struct Original
{
    QByteArray name;
    QByteArray sum;
};

// Mostly small files, and every hundredth one large enough to be killed in the middle of.
qsizetype sizeOfFile(int k)
{
    QRandomGenerator *random = QRandomGenerator::global();
    if (k % 100 == 7)
        return (1 << 20) + random->bounded(2 << 20);
    return random->bounded(48 << 10);
}

dev_t deviceOf(const QByteArray &path)
{
    struct stat st
    {
    };
    return ::stat(path.constData(), &st) == 0 ? st.st_dev : dev_t(0);
}

// Checksums of files whose inode, size and times are unchanged are not read again.
class ChecksumCache
{
public:
    QByteArray of(const QByteArray &path)
    {
        struct stat st
        {
        };
        if (::stat(path.constData(), &st) != 0)
            return QByteArray();
        const Key key {st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_ctim.tv_sec,
            st.st_ctim.tv_nsec};
        auto found = m_sums.find(path);
        if (found != m_sums.end() && found->second.first == key)
            return found->second.second;
        const QByteArray sum = checksumOf(path);
        m_sums[path] = {key, sum};
        return sum;
    }

private:
    using Key = std::tuple<ino_t, off_t, time_t, long, time_t, long>;
    std::map<QByteArray, std::pair<Key, QByteArray>> m_sums;
};

class CrashConsistency : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_source = native(m_store.scratch(QStringLiteral("source")));
        // A move across file systems is the copy, flush, rename and delete that a kill can
        // interrupt: the destination goes to a memory file system when there is one.
        auto memory = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/quillfen-faults-XXXXXX"));
        if (memory->isValid() && deviceOf(native(memory->path())) != deviceOf(m_source)) {
            m_memory = std::move(memory);
            m_dest = native(m_memory->path()) + '/';
        } else {
            m_dest = native(m_store.scratch(QStringLiteral("dest")));
        }
        for (int k = 0; k < FileCount; ++k) {
            const QByteArray name = QByteArray("f") + QByteArray::number(k).rightJustified(4, '0') + ".dat";
            const QByteArray content = randomContent(sizeOfFile(k));
            writeFile(m_source + name, content);
            m_originals.append({name, checksum(content)});
        }
        storeEntries(
            {{QStringLiteral("*.dat"), QString::fromUtf8(m_source), QString::fromUtf8(m_dest), true}});
    }

    // Every file whole in one of the two folders, nothing partial under a final name.
    // Returns the number of files found lost or damaged, each reported.
    int damagedFiles(int *temporaries)
    {
        int damaged = 0;
        QSet<QByteArray> known;
        for (const Original &original : m_originals) {
            known.insert(original.name);
            const QByteArray inSource = m_sums.of(m_source + original.name);
            const QByteArray inDest = m_sums.of(m_dest + original.name);
            const bool sourceWhole = inSource == original.sum;
            const bool destWhole = inDest == original.sum;
            if (!inSource.isEmpty() && !sourceWhole) {
                ADD_FAILURE() << "source damaged: " << original.name.constData();
                ++damaged;
            } else if (!inDest.isEmpty() && !destWhole) {
                ADD_FAILURE() << "partial file under its final name: " << original.name.constData();
                ++damaged;
            } else if (!sourceWhole && !destWhole) {
                ADD_FAILURE() << "lost: " << original.name.constData();
                ++damaged;
            }
        }
        *temporaries = 0;
        for (const QByteArray &name : namesIn(m_dest)) {
            if (isTemporaryName(name))
                ++*temporaries;
            else if (!known.contains(name))
                ADD_FAILURE() << "unexpected file in the destination: " << name.constData();
        }
        return damaged;
    }

    bool crossesFileSystems() const { return m_memory != nullptr; }

    test::TempStore m_store;
    std::unique_ptr<QTemporaryDir> m_memory;
    ChecksumCache m_sums;
    QByteArray m_source;
    QByteArray m_dest;
    QList<Original> m_originals;
};

TEST_F(CrashConsistency, KilledMovesLoseNoFile)
{
    TransferChild child(m_store.appFolder());
    if (!crossesFileSystems()) {
        // One file system only: the source folder refuses renames as another file system would.
        child.preloadShim();
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_CALL"), QStringLiteral("rename,renameat2"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_ERRNO"), QStringLiteral("EXDEV"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_PATH"), QString::fromUtf8(m_source));
    }

    int kills = 0;
    int lost = 0;
    int temporaries = 0;
    int round = 0;
    // Files moved per millisecond once a run has begun its work; the kills spread over the
    // whole set by waiting, at random, up to twice the time an even share (with a few
    // shares kept in reserve) takes.
    double moved = 0;
    double workingMs = 0;
    QRandomGenerator *random = QRandomGenerator::global();
    const QString log = m_store.appFolder() + QStringLiteral("/filelog.txt");
    qsizetype left = namesIn(m_source).size();
    while (kills < Kills && left > 0) {
        ASSERT_LT(round++, Kills * 10) << "the run kept finishing before it could be killed";
        const qint64 logSize = QFileInfo(log).size();
        QProcess process;
        child.start(process);
        ASSERT_TRUE(process.waitForStarted());
        // The first record marks the end of the child's start-up.
        while (process.state() == QProcess::Running && QFileInfo(log).size() == logSize)
            QThread::usleep(200);
        const double share = double(left) / (Kills - kills + 5);
        const double rate = moved > 0 ? moved / workingMs : 5.0;
        const double wait = random->bounded(2 * share / rate);
        QElapsedTimer working;
        working.start();
        QThread::usleep(ulong(wait * 1000));
        const bool running = process.state() == QProcess::Running;
        process.kill();
        process.waitForFinished();
        workingMs += double(working.nsecsElapsed()) / 1e6;
        if (running && process.exitStatus() == QProcess::CrashExit)
            ++kills;
        lost += damagedFiles(&temporaries);
        ASSERT_EQ(lost, 0) << "after kill " << kills;
        const qsizetype nowLeft = namesIn(m_source).size();
        moved += double(left - nowLeft);
        left = nowLeft;
    }

    const ChildResult last = child.run();
    EXPECT_EQ(last.exitCode, 0) << qPrintable(last.standardError);
    lost += damagedFiles(&temporaries);
    EXPECT_TRUE(namesIn(m_source).isEmpty()) << "the completing run left files in the source";
    for (const Original &original : m_originals)
        EXPECT_EQ(checksumOf(m_dest + original.name), original.sum) << original.name.constData();

    EXPECT_EQ(kills, Kills);
    std::printf("%d kills, %d files lost (moves %s; %d temporary files left by killed runs)\n", kills, lost,
        crossesFileSystems() ? "across file systems" : "with renames refused", temporaries);
}

} // namespace
