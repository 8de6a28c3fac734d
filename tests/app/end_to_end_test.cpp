#include "settings/keys.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

#include <QProcess>

using namespace quillfen;
using test::q;

namespace {

TEST(EndToEnd, TheProgramTransfersLogsAndEndsByItself)
{
    const QString built = q(QUILLFEN_BUILD_DIR "/src/app/quillfen");
    test::TempStore store;
    // The program's folder is its application folder: the log lands beside the copy.
    const QString folder = store.scratch(q("program"));
    ASSERT_TRUE(QFile::copy(built, folder + q("quillfen"))) << qPrintable(built);

    const QString from = store.scratch(q("from")), to = store.scratch(q("to"));
    for (const char *name : {"report.txt", "a.dat", "b.dat"})
        test::writeOldFile(from + q(name), name);
    const char *entries[][2] = {{"report.txt", "0"}, {"*.dat", "1"}};
    for (int n = 1; n <= 2; ++n) {
        store.set(keys::entryKey(keys::FileStem, n), q(entries[n - 1][0]));
        store.set(keys::entryKey(keys::PathStem, n), from);
        store.set(keys::entryKey(keys::DestStem, n), to);
        store.set(keys::entryKey(keys::MoveStem, n), q(entries[n - 1][1]));
    }
    store.set(keys::Files, q("2"));
    store.set(keys::Timer, q("0"));
    store.set(keys::AutoStart, q("1"));

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(q("QT_QPA_PLATFORM"), q("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(folder + q("quillfen"), {});
    const bool endedByItself = process.waitForFinished(30000);
    if (!endedByItself)
        process.kill();
    ASSERT_TRUE(endedByItself) << "the program did not end after its run";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    // Copied, moved, moved: what stays in the source folder and what arrives.
    for (const char *name : {"report.txt", "a.dat", "b.dat"}) {
        EXPECT_TRUE(QFile::exists(to + q(name))) << name;
        EXPECT_EQ(QFile::exists(from + q(name)), q(name) == q("report.txt")) << name;
    }
    QFile log(folder + q("filelog.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.startsWith(q("#------------------------------------------------------------#\r\n")));
    EXPECT_EQ(text.count(q("Copy File successful")), 1);
    EXPECT_EQ(text.count(q("Move File successful")), 2);
}

} // namespace
