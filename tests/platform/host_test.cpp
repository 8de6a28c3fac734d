#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "support/read_only_folder.h"
#include "support/temp_store.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillfen;
using quillfen::test::failureOf;

namespace {

class HostLookup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = dir.scratch(QStringLiteral("host"));
        QDir(root).mkpath(QStringLiteral("folder"));
        write(QStringLiteral("plain.txt"));
        write(QStringLiteral(".hidden.txt"));
        ASSERT_EQ(
            ::symlink("plain.txt", QFile::encodeName(root + QStringLiteral("link.txt")).constData()), 0);
        ASSERT_EQ(
            ::symlink("gone.txt", QFile::encodeName(root + QStringLiteral("dangling.txt")).constData()), 0);
        ASSERT_EQ(::mkfifo(QFile::encodeName(root + QStringLiteral("pipe")).constData(), 0600), 0);
        const int fd = ::open((QFile::encodeName(root) + rawName).constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }

    void write(const QString &name)
    {
        QFile file(root + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    test::TempStore dir;
    QString root;
    const QByteArray rawName = "caf\xe9.txt"; // not UTF-8
};

TEST_F(HostLookup, AsFolder)
{
    const struct
    {
        QString path;
        bool found;
    } cases[] = {
        {root + QStringLiteral("folder"), true},
        {root + QStringLiteral("folder/"), true},
        {root + QStringLiteral("plain.txt"), true}, // a file answers a folder lookup too
        {root + QStringLiteral("missing"), false},
        {root + QStringLiteral("missing/deeper/"), false},
        {root + QStringLiteral("plain.txt/"), false}, // a file where a folder is expected
        {QString(), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(host::lookupFolder(c.path), c.found) << qPrintable(c.path);
}

TEST_F(HostLookup, AsPlainFile)
{
    const struct
    {
        QString path;
        bool found;
    } cases[] = {
        {root + QStringLiteral("plain.txt"), true},
        {root + QStringLiteral("link.txt"), true},
        {root + nameFromNative(rawName), true},
        {root + QStringLiteral(".hidden.txt"), false},
        {root + QStringLiteral("folder"), false},
        {root + QStringLiteral("folder/"), false},
        {root + QStringLiteral("dangling.txt"), false},
        {root + QStringLiteral("pipe"), false},
        {root + QStringLiteral("missing.txt"), false},
        {root + QStringLiteral("missing/plain.txt"), false},
        {root + QStringLiteral("plain.txt/inner.txt"), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(host::lookupPlainFile(c.path), c.found) << qPrintable(c.path);
}

TEST_F(HostLookup, HostErrorsMapToFailureNumbers)
{
    const struct
    {
        int err;
        QString path;
        int number;
        const char *description;
    } cases[] = {
        {ENOENT, root + QStringLiteral("missing.txt"), 53, "File not found"},
        {ENOENT, root + QStringLiteral("missing/file.txt"), 76, "Path not found"},
        {ENOENT, root + QStringLiteral("plain.txt/file.txt"), 76, "Path not found"},
        {ENOTDIR, root + QStringLiteral("plain.txt/x"), 76, "Path not found"},
        {EACCES, QString(), 70, "Permission denied"},
        {EPERM, QString(), 70, "Permission denied"},
        {ENOSPC, QString(), 61, "Disk full"},
        {EDQUOT, QString(), 61, "Disk full"},
        {EIO, QString(), 57, "Device I/O error"},
        {ENXIO, QString(), 68, "Device unavailable"},
        {ENOMEDIUM, QString(), 68, "Device unavailable"},
        {EROFS, QString(), 75, "Path/File access error"},
        {EISDIR, QString(), 75, "Path/File access error"},
        {ENAMETOOLONG, QString(), 64, "Bad file name"},
        {ELOOP, QString(), 64, "Bad file name"},
        // A missing file in a folder given with separators at its end.
        {ENOENT, root + QStringLiteral("folder//"), 53, "File not found"},
    };
    for (const auto &c : cases) {
        const Failure failure = Failure::fromErrno(c.err, c.path);
        EXPECT_EQ(failure.number(), c.number) << c.err;
        EXPECT_EQ(failure.description(), QString::fromUtf8(c.description)) << c.err;
    }
    EXPECT_EQ(Failure(5).description(), QStringLiteral("Invalid procedure call or argument"));
    EXPECT_EQ(Failure(6).description(), QStringLiteral("Overflow"));
    EXPECT_EQ(Failure(13).description(), QStringLiteral("Type mismatch"));
    // A path longer than the host allows is a bad name, not a missing path.
    EXPECT_EQ(failureOf([&] { host::lookupFolder(root + QString(5000, QLatin1Char('x'))); }), 64);
}

TEST(HostApplicationFolder, ProgramFolderWhenWritableElseDataFolder)
{
    test::TempStore store;
    const QString dirPath = store.root();
    const QString program = dirPath + QStringLiteral("/bin");
    QDir().mkpath(program);
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dirPath + QStringLiteral("/data")));

    EXPECT_EQ(host::applicationFolderFor(program), program);
    // Installed programs log per user even where root could write beside them.
    for (const char *installed : {"/usr/bin", "/usr/local/bin", "/opt"})
        EXPECT_EQ(host::applicationFolderFor(QString::fromUtf8(installed)),
            dirPath + QStringLiteral("/data/Quillfen"));
    {
        test::ReadOnlyFolder readOnly(program);
        if (!readOnly.active())
            GTEST_SKIP() << "cannot make a folder read-only here";
        const QString fallback = dirPath + QStringLiteral("/data/Quillfen");
        EXPECT_EQ(host::applicationFolderFor(program), fallback);
        EXPECT_TRUE(QFileInfo(fallback).isDir()) << "the fallback folder is created";
    }
    qputenv("XDG_DATA_HOME", previous);
}

TEST(HostApplicationFolder, OverrideWinsAndClears)
{
    host::setApplicationFolderOverride(QStringLiteral("/somewhere"));
    EXPECT_EQ(host::applicationFolder(), QStringLiteral("/somewhere"));
    host::setApplicationFolderOverride(QString());
    EXPECT_NE(host::applicationFolder(), QStringLiteral("/somewhere"));
}

TEST(HostText, DateAndTimeFollowTheLocaleForms)
{
    const char *previous = std::setlocale(LC_TIME, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_TIME, "C");
    const QDateTime when(QDate(2026, 1, 9), QTime(7, 5, 3));
    EXPECT_EQ(host::dateTimeText(when), QStringLiteral("01/09/26 07:05:03"));
    std::setlocale(LC_TIME, saved.c_str());
}

TEST(HostText, ComputerNameIsTheHostName)
{
    char buffer[256] = {};
    ASSERT_EQ(::gethostname(buffer, sizeof buffer - 1), 0);
    EXPECT_EQ(host::computerName(), QString::fromLocal8Bit(buffer).trimmed());
    EXPECT_FALSE(host::computerName().isEmpty());
}

TEST(HostPrograms, StartsWithoutAShellAndReportsAFailedStart)
{
    QString program;
    QStringList arguments;
    host::setProgramStarter([&](const QString &p, const QStringList &a) {
        program = p;
        arguments = a;
        return true;
    });
    host::startProgram(QStringLiteral("xdg-open"), {QStringLiteral("/tmp/a \"b\"; $(rm -rf x).txt")});
    EXPECT_EQ(program, QStringLiteral("xdg-open"));
    EXPECT_EQ(arguments, QStringList {QStringLiteral("/tmp/a \"b\"; $(rm -rf x).txt")});

    host::setProgramStarter({});
    try {
        host::startProgram(QStringLiteral("/nonexistent/quillfen-no-such-program"), {});
        ADD_FAILURE() << "a missing program started";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.number(), 53);
    }
}

TEST(HostPrograms, EndProgramGoesThroughTheSeam)
{
    int ended = 0;
    host::setProgramEnder([&] { ++ended; });
    host::endProgram();
    host::setProgramEnder({});
    EXPECT_EQ(ended, 1);
}

} // namespace
