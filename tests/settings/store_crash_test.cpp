#include "settings/entry_list.h"
#include "settings/store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

const char ChildVariable[] = "QUILLFEN_STORE_CRASH_CHILD";

int entriesOfGeneration(int generation)
{
    return 1500 + (generation % 3) * 700;
}

// Runs only as the child of the test below: saves ever new generations of an entry list
// until it is killed.
TEST(StoreCrash, ChildKeepsSaving)
{
    if (!qEnvironmentVariableIsSet(ChildVariable))
        GTEST_SKIP() << "runs only as the child of KilledWhileSavingLeavesOldOrNew";
    for (int generation = 1;; ++generation) {
        EntryList list;
        for (int n = 1; n <= entriesOfGeneration(generation); ++n)
            list.append(QStringLiteral("g%1-%2").arg(generation).arg(n), QStringLiteral("/src/"),
                QStringLiteral("/dst/"), QStringLiteral("1"));
        sc_AddFiles(list);
    }
}

TEST(StoreCrash, KilledWhileSavingLeavesOldOrNew)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(ChildVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    const QString file = dir.path() + QStringLiteral("/Quillfen/Quillfen.conf");

    int kills = 0;
    int generationsSeen = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=StoreCrash.ChildKeepsSaving")});
        ASSERT_TRUE(child.waitForStarted());
        QThread::msleep(150 + QRandomGenerator::global()->bounded(600));
        child.kill();
        child.waitForFinished();
        ++kills;

        if (!QFileInfo::exists(file))
            continue; // killed before its first save finished: the store is simply absent
        QSettings stored(file, QSettings::IniFormat);
        ASSERT_EQ(stored.status(), QSettings::NoError) << "round " << round;
        bool ok = false;
        const int count = stored.value(QStringLiteral("AppSettings/sc_Files")).toString().toInt(&ok);
        ASSERT_TRUE(ok) << "round " << round;
        const QString first = stored.value(QStringLiteral("AppSettings/sc_File1")).toString();
        const int generation = first.mid(1, first.indexOf(QLatin1Char('-')) - 1).toInt();
        ASSERT_GT(generation, 0) << qPrintable(first);
        ASSERT_EQ(count, entriesOfGeneration(generation));
        for (int n = 1; n <= count; ++n) {
            ASSERT_EQ(stored.value(QStringLiteral("AppSettings/sc_File%1").arg(n)).toString(),
                QStringLiteral("g%1-%2").arg(generation).arg(n));
        }
        ++generationsSeen;
    }
    EXPECT_EQ(kills, 12);
    EXPECT_GT(generationsSeen, 0) << "no save ever completed before a kill";
}

} // namespace
