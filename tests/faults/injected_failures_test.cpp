// A transfer run in a child process whose copy writes, renames, flushes or deletions fail
// (once, or every time) with a full disk, an I/O error, a refusal or a read-only file
// system: no file is lost or left partial, each failure is logged with its number, and
// the run goes on with the next entry.

#include "fault_support.h"

#include "support/temp_store.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>

using namespace quillfen;
using namespace quillfen::faults;

namespace {

struct HostError
{
    const char *name;
    int value;
    const char *failureText; // as the log shows it
    const char *boxText; // the routine report
};

const HostError HostErrors[] = {
    {"ENOSPC", ENOSPC, "Error Number: 61  Error: Disk full", "Error: Disk full (61)"},
    {"EIO", EIO, "Error Number: 57  Error: Device I/O error", "Error: Device I/O error (57)"},
    {"EACCES", EACCES, "Error Number: 70  Error: Permission denied", "Error: Permission denied (70)"},
    {"EROFS", EROFS, "Error Number: 75  Error: Path/File access error", "Error: Path/File access error (75)"},
};

enum class Place { Destination, MoveSource };

// One failing call, and how many of the run's four transfers (one copy, then three moves
// across file systems) it makes fail when it fails every time and when it fails once.
struct FailingCall
{
    const char *calls;
    Place place;
    int failuresAlways;
    int failuresOnce;
    bool noKernelCopy; // the copy falls back to plain writes
};

const FailingCall FailingCalls[] = {
    {"write", Place::Destination, 4, 1, true},
    {"copy_file_range", Place::Destination, 4, 1, false},
    // A refused clone falls back to the kernel copy, so nothing fails.
    {"ficlone", Place::Destination, 0, 0, false},
    // A refused direct rename of a move falls back to copying, whose final rename fails too.
    {"rename,renameat,renameat2", Place::Destination, 4, 1, false},
    // Only moves flush; the copy goes through.
    {"fsync", Place::Destination, 3, 1, false},
    {"fdatasync", Place::Destination, 0, 0, false},
    // The source deletion of each move; the complete copy stays at the destination.
    {"unlink,unlinkat", Place::MoveSource, 3, 1, false},
};

const char *const MovedNames[] = {"m1.dat", "m2.dat", "m3.dat"};

int countOf(const QString &text, const QString &part)
{
    return int(text.count(part));
}

class InjectedFailures : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_copySource = native(m_store.scratch(QStringLiteral("copy-source")));
        m_moveSource = native(m_store.scratch(QStringLiteral("move-source")));
        m_lastSource = native(m_store.scratch(QStringLiteral("last-source")));
        m_dest = native(m_store.scratch(QStringLiteral("dest")));
        m_lastDest = native(m_store.scratch(QStringLiteral("last-dest")));
        storeEntries({{QStringLiteral("one.dat"), text(m_copySource), text(m_dest), false},
            {QStringLiteral("m*.dat"), text(m_moveSource), text(m_dest), true},
            {QStringLiteral("last.dat"), text(m_lastSource), text(m_lastDest), false}});
        m_oldOne = randomContent(3000);
        m_one = randomContent(200 << 10);
        m_last = randomContent(5000);
        for (int k = 0; k < 3; ++k)
            m_moved.append(randomContent(100 << 10));
    }

    static QString text(const QByteArray &path) { return QString::fromUtf8(path); }

    // Fresh files for one run; the destination holds an older one.dat that a failed copy
    // must leave intact.
    void prepareFiles()
    {
        for (const QByteArray &folder : {m_copySource, m_moveSource, m_lastSource, m_dest, m_lastDest}) {
            for (const QByteArray &name : namesIn(folder))
                ::unlink((folder + name).constData());
        }
        QFile::remove(m_store.appFolder() + QStringLiteral("/filelog.txt"));
        writeFile(m_copySource + "one.dat", m_one);
        writeFile(m_dest + "one.dat", m_oldOne);
        writeFile(m_lastSource + "last.dat", m_last);
        for (int k = 0; k < 3; ++k)
            writeFile(m_moveSource + MovedNames[k], m_moved[k]);
    }

    TransferChild childFor(const FailingCall &call, const HostError &error, bool once) const
    {
        TransferChild child(m_store.appFolder());
        child.preloadShim();
        child.setVariable(
            QStringLiteral("QUILLFEN_FAULT_LOG"), m_store.root() + QStringLiteral("/injected.txt"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_CALL"), QLatin1String(call.calls));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_ERRNO"), QLatin1String(error.name));
        child.setVariable(
            QStringLiteral("QUILLFEN_FAULT_MODE"), once ? QStringLiteral("once") : QStringLiteral("always"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_PATH"),
            text(call.place == Place::Destination ? m_dest : m_moveSource));
        // The move source lies on "another file system", so moves copy, flush and delete.
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_CALL_2"), QStringLiteral("rename,renameat2"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_ERRNO_2"), QStringLiteral("EXDEV"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_PATH_2"), text(m_moveSource));
        // Clones are refused as on most file systems, so the kernel copy always runs.
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_CALL_3"), QStringLiteral("ficlone"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_ERRNO_3"), QStringLiteral("EOPNOTSUPP"));
        child.setVariable(QStringLiteral("QUILLFEN_FAULT_PATH_3"), text(m_dest));
        if (call.noKernelCopy) {
            child.setVariable(QStringLiteral("QUILLFEN_FAULT_CALL_4"), QStringLiteral("copy_file_range"));
            child.setVariable(QStringLiteral("QUILLFEN_FAULT_ERRNO_4"), QStringLiteral("ENOSYS"));
            child.setVariable(QStringLiteral("QUILLFEN_FAULT_PATH_4"), text(m_dest));
        }
        return child;
    }

    // Injections of the failing call (not the set-up rules), counted from the shim's notes.
    int injectionsOf(const HostError &error) const
    {
        QFile notes(m_store.root() + QStringLiteral("/injected.txt"));
        if (!notes.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray number = QByteArray::number(error.value);
        int count = 0;
        for (const QByteArray &line : notes.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() >= 2 && fields.at(1) == number)
                ++count;
        }
        notes.remove();
        return count;
    }

    // Nothing lost, nothing partial under a final name, no temporary file left behind;
    // answers how many files were lost or damaged, each reported.
    int damagedFiles() const
    {
        int damaged = 0;
        const auto expectWhole = [&damaged](bool whole, const char *name, const char *what) {
            if (!whole) {
                ADD_FAILURE() << name << ": " << what;
                ++damaged;
            }
        };
        const QByteArray one = readFile(m_dest + "one.dat");
        expectWhole(one == m_one || one == m_oldOne, "one.dat", "damaged at the destination");
        expectWhole(readFile(m_copySource + "one.dat") == m_one, "one.dat", "a copy changed its source");
        for (int k = 0; k < 3; ++k) {
            const char *name = MovedNames[k];
            bool inSource = false;
            bool inDest = false;
            const QByteArray source = readFile(m_moveSource + name, &inSource);
            const QByteArray dest = readFile(m_dest + name, &inDest);
            expectWhole(!inSource || source == m_moved[k], name, "damaged at the source");
            expectWhole(!inDest || dest == m_moved[k], name, "partial under its final name");
            expectWhole(inSource || inDest, name, "lost");
        }
        for (const QByteArray &name : namesIn(m_dest))
            EXPECT_FALSE(isTemporaryName(name)) << "temporary file left: " << name.constData();
        return damaged;
    }

    test::TempStore m_store;
    QByteArray m_copySource, m_moveSource, m_lastSource, m_dest, m_lastDest;
    QByteArray m_oldOne, m_one, m_last;
    QList<QByteArray> m_moved;
};

TEST_F(InjectedFailures, EveryFailureIsLoggedAndLosesNothing)
{
    int runs = 0;
    int injected = 0;
    int lost = 0;
    for (const FailingCall &call : FailingCalls) {
        for (const HostError &error : HostErrors) {
            for (const bool once : {false, true}) {
                SCOPED_TRACE(std::string(call.calls) + " " + error.name + (once ? " once" : " always"));
                prepareFiles();
                const ChildResult result = childFor(call, error, once).run();
                ++runs;
                const int injections = injectionsOf(error);
                injected += injections;
                const int expected = once ? call.failuresOnce : call.failuresAlways;

                EXPECT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
                lost += damagedFiles();
                EXPECT_GE(injections, expected);

                QFile logFile(m_store.appFolder() + QStringLiteral("/filelog.txt"));
                ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
                const QString log = QString::fromUtf8(logFile.readAll());
                const QString failure = QLatin1String(error.failureText);
                EXPECT_EQ(countOf(log, QStringLiteral("Error Number: ")), expected) << qPrintable(log);
                EXPECT_EQ(countOf(log, QStringLiteral(" failed: ") + failure + QLatin1Char('\t')), expected);
                EXPECT_EQ(
                    countOf(result.standardError, QStringLiteral("[Error] ") + QLatin1String(error.boxText)),
                    expected)
                    << qPrintable(result.standardError);

                // The failures did not end the run: the last entry was copied after them.
                EXPECT_EQ(readFile(m_lastDest + "last.dat"), m_last);
                static const QRegularExpression lastResult(QStringLiteral(
                    "\tTo:   [^\r]*/last-dest/last\\.dat\r\nCopy File successful\t[^\r]*\r\n\r\n\r\n$"));
                EXPECT_TRUE(lastResult.match(log).hasMatch()) << qPrintable(log.right(300));

                // A failed copy keeps the older destination; a copy that went through replaced it.
                const bool copyFailed = log.contains(QStringLiteral("Copy File  failed: ") + failure);
                EXPECT_EQ(readFile(m_dest + "one.dat"), copyFailed ? m_oldOne : m_one);
                // Exactly the moves logged as failed left their source behind.
                int sourcesLeft = 0;
                for (const char *name : MovedNames)
                    sourcesLeft += exists(m_moveSource + name) ? 1 : 0;
                EXPECT_EQ(countOf(log, QStringLiteral("Move File  failed: ")), sourcesLeft);
                EXPECT_EQ(countOf(log, QStringLiteral("Move File successful\t")), 3 - sourcesLeft);
            }
        }
    }
    std::printf("%d runs, %d injected faults, %d files lost\n", runs, injected, lost);
}

} // namespace
