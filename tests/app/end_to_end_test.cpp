#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

#include <QProcess>

using namespace quillfen;

namespace {

TEST(EndToEnd, TheProgramTransfersLogsAndEndsByItself)
{
    test::TempStore store;
    // The program's folder is its application folder: the log lands beside the copy.
    const QString folder = store.scratch("program"), from = store.scratch("from"), to = store.scratch("to");
    ASSERT_TRUE(QFile::copy(QUILLFEN_BUILD_DIR "/src/app/quillfen", folder + "quillfen"));
    test::writeOldFile(from + "a.dat", "a");
    const std::pair<const char *, QString> settings[] = {{"sc_Files", "1"}, {"Timer", "0"},
        {"AutoStart", "1"}, {"sc_File1", "*.dat"}, {"sc_Path1", from}, {"sc_Dest1", to}, {"sc_Move1", "1"}};
    for (const auto &[key, value] : settings)
        store.set(key, value);

    QProcess process; // on the tests' platform, offscreen unless chosen otherwise
    process.start(folder + "quillfen", {});
    ASSERT_TRUE(process.waitForFinished(30000)) << "the program did not end after its run";
    EXPECT_TRUE(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0);
    EXPECT_EQ(QDir(from).entryList(QDir::Files) + QDir(to).entryList(QDir::Files), QStringList {"a.dat"});
    const QByteArray log = test::readBytes(folder + "filelog.txt");
    EXPECT_TRUE(log.startsWith("#------------------------------------------------------------#\r\n")
        && log.contains("Move File successful"));
}

} // namespace
