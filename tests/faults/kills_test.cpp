// Work killed at random moments and started again loses nothing and tears nothing: files
// moved across file systems, the store being saved, a run being undone.

#include "faults_support.h"

#include "transfer/transfer_log.h"
#include "transfer/undo.h"

#include <QSettings>

#include <cstdio>
#include <functional>
#include <utility>

using namespace quillfen;
using namespace quillfen::faults;

namespace {

struct KillRow
{
    const char *job;
    int kills, maxMs; // each kill comes 2 ms to maxMs after the start
    std::function<void()> prepare; // before every start
    std::function<void(const QString &when)> check; // after every kill
};

TEST(Kills, LoseNothingWhetherMovingSavingOrUndoing)
{
    TempStore store;
    const QString source = store.scratch("source"), dest = store.root() + "/dest/";
    // A move across file systems is the copy, flush, rename and delete that a kill can interrupt.
    const SmallFileSystem other(dest, 1 << 30);
    const QString faults = other.crossDeviceFaults(source);
    QHash<QString, QByteArray> files;
    // Mostly small files, and every 25th large enough to be killed in the middle of.
    for (int k = 0; k < 300; ++k)
        files.insert(QString::number(k) + ".dat", randomContent(k % 25 == 7 ? 1 << 20 : 16 * k + 1));
    // Every file back in its source, so that a kill finds work under way.
    const auto refill = [&] {
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            ::unlink(nativePath(dest + it.key()).constData());
            writeBytes(source + it.key(), it.value());
        }
    };
    // Every file whole in its source or its destination (or both), nothing torn under a final name.
    const auto expectEveryFileWhole = [&](const QString &when) {
        const auto copies = [](const QString &path, const QByteArray &content) {
            return present(path) ? (readBytes(path) == content ? 1 : -2) : 0;
        };
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            EXPECT_GT(copies(source + it.key(), it.value()) + copies(dest + it.key(), it.value()), 0)
                << qPrintable(it.key() + " lost or torn " + when);
        }
        EXPECT_TRUE(wholeLog(readBytes(logFilePath()), true)) << qPrintable("the log " + when);
    };
    const auto expectStoreWhole = [&](const QString &when) {
        QSettings stored(store::filePath(), QSettings::IniFormat);
        const auto entry = [&](const QString &key) { return stored.value("AppSettings/" + key).toString(); };
        if (!entry("sc_File1").startsWith(QLatin1Char('g')))
            return; // killed before its first save: the store before it stands
        const QString count = entry("sc_Files"), last = entry("sc_File" + count);
        EXPECT_EQ(entry("sc_File1").section('-', 0, 0), last.section('-', 0, 0))
            << qPrintable("two saves mixed " + when);
        EXPECT_EQ(last.section('-', 1), count) << qPrintable(when);
    };

    // The kills spread over the time a whole run takes on this machine now. Saving the store
    // comes last: the test itself writes it only before any kill.
    storeEntries({{"*.dat", source, dest, true}});
    refill();
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    ASSERT_EQ(runChild(store, faults).exitCode, 0);
    const int runMs = std::max(int(QDateTime::currentMSecsSinceEpoch() - started), 20);
    bool undoKilled = false;
    const KillRow rows[] = {
        {"run", 16, runMs,
            [&] {
                if (namesIn(source).isEmpty())
                    refill();
            },
            expectEveryFileWhole},
        // An undo goes on with the one a kill interrupted, else undoes a whole new run.
        {"undo", 8, runMs,
            [&] {
                if (std::exchange(undoKilled, false))
                    return;
                refill();
                ASSERT_EQ(runChild(store, faults).exitCode, 0);
                ASSERT_EQ(Undo().plan().steps, files.size());
            },
            [&](const QString &when) {
                undoKilled = true;
                expectEveryFileWhole(when);
                EXPECT_EQ(Undo().plan().steps, files.size()) << qPrintable(when);
            }},
        {"save", 6, 250, [] {}, expectStoreWhole},
    };
    for (const KillRow &row : rows) {
        SCOPED_TRACE(row.job);
        int kills = 0;
        for (int round = 0; kills < row.kills && round < row.kills * 4; ++round) {
            row.prepare();
            const int wait = 2 + int(QRandomGenerator::global()->bounded(row.maxMs - 2));
            if (runChild(store, faults, QLatin1String(row.job), wait).exitCode == -1)
                row.check(QStringLiteral("after kill %1").arg(++kills));
        }
        EXPECT_GE(kills, row.kills / 2) << "the work kept ending before it could be killed";
    }
    // An undo killed on the way ends its work when run again, and leaves no temporary behind.
    ASSERT_EQ(runChild(store, faults, "undo").exitCode, 0);
    EXPECT_EQ(namesIn(dest).filter(".quillfen-"), QStringList());
    expectEveryFileWhole("after the last undo");
    std::printf("kills: moving, undoing and saving lost no file\n");
}

} // namespace
