// Work killed at random moments and started again loses nothing and tears nothing: files
// moved across file systems, the store being saved, a run being undone.

#include "faults_support.h"

#include "transfer/journal.h"

#include <QElapsedTimer>
#include <QSettings>

#include <cstdio>
#include <functional>

using namespace quillfen;
using namespace quillfen::faults;

namespace {

constexpr int FileCount = 600;

struct KillRow
{
    const char *what;
    const char *job;
    int kills;
    int minMs, maxMs; // the kill comes this long after the start
    std::function<void()> prepare; // before every start
    std::function<void(int kill)> check; // after every kill
};

class Kills : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A move across file systems is the copy, flush, rename and delete that a kill can
        // interrupt: the destination goes to a memory file system when there is one, else the
        // shim refuses renames out of the source as another file system would.
        m_dest = QStringLiteral("/dev/shm/quillfen-kills-%1/").arg(::getpid());
        QDir().mkpath(m_dest);
        if (deviceOf(m_dest) == deviceOf(m_source))
            m_faults = QStringLiteral("renameat2,rename=EXDEV@") + m_source.chopped(1);
        for (int k = 0; k < FileCount; ++k) {
            // Mostly small files, and every fiftieth large enough to be killed in the middle of.
            const QByteArray content = randomContent(k % 50 == 7 ? (3 << 20) + k : 16 * k + 1);
            const QString name = QStringLiteral("f%1.dat").arg(k, 4, 10, QLatin1Char('0'));
            m_sums.insert(name, checksum(content));
            writeBytes(m_source + name, content);
        }
        storeEntries({{QStringLiteral("*.dat"), m_source, m_dest, true}});
    }
    void TearDown() override { removeTree(nativePath(m_dest)); }

    static dev_t deviceOf(const QString &path)
    {
        struct stat st = {};
        return ::stat(nativePath(path).constData(), &st) == 0 ? st.st_dev : 0;
    }

    // Every file whole in its source or its destination, nothing torn under a final name.
    void expectEveryFileWhole(const QString &when) const
    {
        for (auto it = m_sums.cbegin(); it != m_sums.cend(); ++it) {
            const bool inSource = present(m_source + it.key()), inDest = present(m_dest + it.key());
            EXPECT_TRUE(inSource || inDest) << qPrintable(it.key()) << " lost " << qPrintable(when);
            for (const QString &folder : {m_source, m_dest}) {
                if (present(folder + it.key())) {
                    EXPECT_EQ(checksum(readBytes(folder + it.key())), it.value())
                        << qPrintable(folder + it.key()) << " torn " << qPrintable(when);
                }
            }
        }
    }

    int killRepeatedly(const KillRow &row)
    {
        const Child child(m_store, m_faults);
        int kills = 0;
        for (int round = 0; kills < row.kills && round < row.kills * 4; ++round) {
            row.prepare();
            const int wait = row.minMs + int(QRandomGenerator::global()->bounded(row.maxMs - row.minMs));
            if (child.killAfter(wait, QLatin1String(row.job)))
                row.check(++kills);
        }
        return kills;
    }

    TempStore m_store;
    const QString m_source = m_store.scratch(QStringLiteral("source"));
    QString m_dest;
    QString m_faults;
    QHash<QString, QByteArray> m_sums;
};

TEST_F(Kills, LoseNothingWhetherMovingSavingOrUndoing)
{
    // Files that all went come back, so that every kill finds work under way.
    const auto refill = [this] {
        if (!namesIn(m_source).filter(QStringLiteral(".dat")).isEmpty())
            return;
        for (const QString &name : m_sums.keys()) {
            writeBytes(m_source + name, readBytes(m_dest + name));
            ::unlink(nativePath(m_dest + name).constData());
        }
    };
    const QString storeFile = store::filePath();
    // Kills spread over the time a whole run takes on this machine now.
    QElapsedTimer whole;
    whole.start();
    ASSERT_EQ(Child(m_store, m_faults).run().exitCode, 0);
    const int runMs = std::max(int(whole.elapsed()), 20);
    refill();
    const KillRow rows[] = {
        {"moving files", "run", 20, 2, runMs, refill,
            [&](int kill) { expectEveryFileWhole(QStringLiteral("after kill %1 of a run").arg(kill)); }},
        {"saving the store", "save", 8, 50, 400, [] {},
            [&](int kill) {
                QSettings stored(storeFile, QSettings::IniFormat);
                if (!stored.value(QStringLiteral("AppSettings/sc_File1"))
                         .toString()
                         .startsWith(QLatin1Char('g')))
                    return; // killed before its first save: the store before it stands
                const int count = stored.value(QStringLiteral("AppSettings/sc_Files")).toInt();
                const QString last
                    = stored.value(QStringLiteral("AppSettings/sc_File%1").arg(count)).toString();
                const QString first = stored.value(QStringLiteral("AppSettings/sc_File1")).toString();
                EXPECT_EQ(first.section(QLatin1Char('-'), 0, 0), last.section(QLatin1Char('-'), 0, 0))
                    << "kill " << kill << ": entries of two saves";
                EXPECT_EQ(last.section(QLatin1Char('-'), 1), QString::number(count)) << "kill " << kill;
            }},
    };
    for (const KillRow &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(killRepeatedly(row), row.kills) << "the work kept ending before it could be killed";
    }

    // The completing run leaves no temporary behind, and its undo, killed on the way, loses
    // nothing and keeps a journal that can be read.
    storeEntries({{QStringLiteral("*.dat"), m_source, m_dest, true}});
    ASSERT_EQ(Child(m_store, m_faults).run().exitCode, 0);
    EXPECT_EQ(temporariesIn(m_dest), 0);
    const int moved = int(readJournal().size());
    ASSERT_GT(moved, 0);
    const KillRow undo = {"undoing a run", "undo", 10, 20, 200, [] {},
        [&](int kill) {
            expectEveryFileWhole(QStringLiteral("after kill %1 of an undo").arg(kill));
            EXPECT_EQ(readJournal().size(), moved) << "kill " << kill;
        }};
    killRepeatedly(undo);
    ASSERT_EQ(Child(m_store, m_faults).run(QStringLiteral("undo")).exitCode, 0);
    expectEveryFileWhole(QStringLiteral("after the undo"));
    EXPECT_TRUE(readJournal().isEmpty());
    std::printf("kills: moving, saving and undoing lost no file\n");
}

} // namespace
