#include "settings/keys.h"
#include "support/temp_store.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

void writeOldFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(content);
    file.flush();
    file.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600), QFileDevice::FileModificationTime);
}

TEST(EndToEnd, TheProgramTransfersLogsAndEndsByItself)
{
    const QString built = QStringLiteral(QUILLFEN_BUILD_DIR "/src/app/quillfen");
    ASSERT_TRUE(QFile::exists(built)) << qPrintable(built);

    test::TempStore store;
    // The program's folder is its application folder: the log lands beside the copy.
    const QString programFolder = store.scratch(QStringLiteral("program"));
    const QString program = programFolder + QStringLiteral("quillfen");
    ASSERT_TRUE(QFile::copy(built, program));

    const QString from = store.scratch(QStringLiteral("from"));
    const QString to = store.scratch(QStringLiteral("to"));
    writeOldFile(from + QStringLiteral("report.txt"), "report");
    writeOldFile(from + QStringLiteral("a.dat"), "a");
    writeOldFile(from + QStringLiteral("b.dat"), "b");
    const char *entries[][4] = {{"report.txt", "", "", "0"}, {"*.dat", "", "", "1"}};
    for (int n = 1; n <= 2; ++n) {
        store.set(keys::entryKey(keys::FileStem, n), QLatin1String(entries[n - 1][0]));
        store.set(keys::entryKey(keys::PathStem, n), from);
        store.set(keys::entryKey(keys::DestStem, n), to);
        store.set(keys::entryKey(keys::MoveStem, n), QLatin1String(entries[n - 1][3]));
    }
    store.set(QLatin1String(keys::Files), QStringLiteral("2"));
    store.set(QLatin1String(keys::Timer), QStringLiteral("0"));
    store.set(QLatin1String(keys::AutoStart), QStringLiteral("1"));

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, {});
    ASSERT_TRUE(process.waitForStarted());
    const bool endedByItself = process.waitForFinished(30000);
    if (!endedByItself)
        process.kill();
    ASSERT_TRUE(endedByItself) << "the program did not end after its run";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    EXPECT_TRUE(QFile::exists(to + QStringLiteral("report.txt")));
    EXPECT_TRUE(QFile::exists(from + QStringLiteral("report.txt")));
    for (const char *moved : {"a.dat", "b.dat"}) {
        EXPECT_TRUE(QFile::exists(to + QLatin1String(moved))) << moved;
        EXPECT_FALSE(QFile::exists(from + QLatin1String(moved))) << moved;
    }

    QFile log(programFolder + QStringLiteral("filelog.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.startsWith(
        QStringLiteral("#------------------------------------------------------------#\r\n")));
    EXPECT_EQ(text.count(QStringLiteral("Copy File successful")), 1);
    EXPECT_EQ(text.count(QStringLiteral("Move File successful")), 2);
}

} // namespace
