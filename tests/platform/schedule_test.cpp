#include "platform/schedule.h"
#include "support/test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace quillfen::test {

// The units in a fresh configuration folder, with no user manager to tell.
class Schedule : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("XDG_RUNTIME_DIR", temp.root().toUtf8()); }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }
    QString unit(const char *suffix) const { return folder + "com.marivale.quillfen" + suffix; }

    TempStore temp;
    const QString folder = scheduleFolder() + '/';
    const QByteArray program = QUILLFEN_BUILD_DIR "/src/app/quillfen";
};

TEST_F(Schedule, TheTimerRunsTheProgramDailyCatchingUp)
{
    ASSERT_EQ(setSchedule(QTime(7, 30), program), quillfen::Schedule::Done);
    const QByteArray timer = readBytes(unit(".timer"));
    EXPECT_TRUE(timer.contains("\nOnCalendar=*-*-* 07:30:00\n"));
    EXPECT_TRUE(timer.contains("\nPersistent=true\n"));
    EXPECT_TRUE(readBytes(unit(".service")).contains("\nExecStart=\"" + program + "\" --run\n"));
    EXPECT_EQ(QFileInfo(folder + "timers.target.wants/com.marivale.quillfen.timer").symLinkTarget(),
        unit(".timer"));
}

TEST_F(Schedule, UntickingRemovesEverythingItWrote)
{
    ASSERT_EQ(setSchedule(QTime(7, 30), program), quillfen::Schedule::Done);
    ASSERT_EQ(setSchedule(QTime(), program), quillfen::Schedule::Done);
    for (const QString &path :
        {unit(".timer"), unit(".service"), folder + "timers.target.wants/com.marivale.quillfen.timer"})
        EXPECT_FALSE(present(path)) << path.toStdString();
}

TEST_F(Schedule, AnotherProgramsUnitIsKeptUnlessTheUserAgrees)
{
    const struct
    {
        const char *name, *suffix;
        QTime at;
    } rows[] = {{"a timer, ticked", ".timer", QTime(6, 0)}, {"a service, unticked", ".service", QTime()}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(QDir().mkpath(folder));
        writeBytes(unit(row.suffix), "[Unit]\nDescription=theirs\n");
        EXPECT_EQ(setSchedule(row.at, program), quillfen::Schedule::ForeignUnit);
        EXPECT_EQ(readBytes(unit(row.suffix)), "[Unit]\nDescription=theirs\n");
        EXPECT_EQ(setSchedule(row.at, program, true), quillfen::Schedule::Done);
        EXPECT_EQ(scheduledTime(), row.at);
    }
}

TEST_F(Schedule, SystemdAcceptsTheUnits)
{
    if (QStandardPaths::findExecutable("systemd-analyze").isEmpty())
        GTEST_SKIP() << "systemd-analyze is not installed";
    ASSERT_EQ(setSchedule(QTime(7, 30), program), quillfen::Schedule::Done);
    QProcess verify;
    verify.start("systemd-analyze", {"verify", "--user", unit(".timer"), unit(".service")});
    ASSERT_TRUE(verify.waitForFinished(30000));
    const QString said = QString::fromUtf8(verify.readAllStandardError());
    if (said.contains("Failed to initialize manager"))
        GTEST_SKIP() << "systemd-analyze cannot start a user manager here: " << said.toStdString();
    EXPECT_EQ(said, "");
    EXPECT_EQ(verify.exitCode(), 0);
}

} // namespace quillfen::test
