// Hostile names and awkward entries go through copy, move, the log and the log link's
// editor start without harm: files arrive byte for byte under their own names, the log's
// records keep their lines and fields, and nothing is ever run through a shell.

#include "fault_support.h"

#include "app/frmMain.h"
#include "platform/host.h"
#include "support/run_shim.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/transfer_log.h"
#include "transfer/transfer_run.h"

#include <QDir>
#include <QFile>

#include <functional>

using namespace quillfen;
using namespace quillfen::faults;
using quillfen::test::RunRecorder;
using quillfen::test::sc_ClosePendingRun;
using quillfen::test::sc_TransferFiles;

namespace {

struct HostileName
{
    QByteArray raw; // the name on disk
    QString logged; // how the log shows it
    bool textName; // valid UTF-8, so an entry can hold it
};

const QList<HostileName> &hostileNames()
{
    static const QList<HostileName> names = {
        {"quote\"d 'name'.dat", QStringLiteral("quote\"d 'name'.dat"), true},
        {"semi;colon.dat", QStringLiteral("semi;colon.dat"), true},
        {"$(touch INJECTED).dat", QStringLiteral("$(touch INJECTED).dat"), true},
        {"`touch INJECTED`.dat", QStringLiteral("`touch INJECTED`.dat"), true},
        {"new\nline.dat", QStringLiteral("new\\nline.dat"), true},
        {"carriage\rreturn.dat", QStringLiteral("carriage\\rreturn.dat"), true},
        {"tab\tname.dat", QStringLiteral("tab\\tname.dat"), true},
        {"ctl\x01\x1b\x7f.dat", QStringLiteral("ctl\\x01\\x1B\\x7F.dat"), true},
        {"-leading-dash.dat", QStringLiteral("-leading-dash.dat"), true},
        {"--help", QStringLiteral("--help"), true},
        {"what?.dat", QStringLiteral("what?.dat"), true},
        {"back\\slash.dat", QStringLiteral("back\\\\slash.dat"), true},
        {" blanks around .dat ", QStringLiteral(" blanks around .dat "), true},
        {"bad\xff\xfe.dat", QStringLiteral("bad\\xFF\\xFE.dat"), false},
        {"latin1-caf\xe9.dat", QStringLiteral("latin1-caf\\xE9.dat"), false},
        // The same word composed and decomposed: two different files.
        {"caf\xc3\xa9.dat", QString::fromUtf8("caf\xc3\xa9.dat"), true},
        {"cafe\xcc\x81.dat", QString::fromUtf8("cafe\xcc\x81.dat"), true},
        {QByteArray(251, 'x') + ".dat", QString(251, QLatin1Char('x')) + QStringLiteral(".dat"), true},
    };
    return names;
}

using RecordingSink = RunRecorder;

// Calls a function whenever the run starts on a file.
struct FileStartHook : RunRecorder
{
    explicit FileStartHook(std::function<void(const QString &)> hook) { onStart = std::move(hook); }
};

class BadInput : public ::testing::Test
{
protected:
    QString folder(const QString &name) const { return m_store.scratch(name); }

    QByteArray logBytes() const
    {
        QFile log(logFilePath());
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }
    QString log() const { return QString::fromUtf8(logBytes()); }

    // The content each hostile name is given: the name itself, so a mix-up shows.
    static QByteArray contentOf(const QByteArray &name) { return "content of " + name; }

    void makeHostileFiles(const QString &where) const
    {
        for (const HostileName &name : hostileNames())
            writeFile(native(where) + name.raw, contentOf(name.raw));
    }

    void expectHostileFilesIn(const QString &where) const
    {
        QList<QByteArray> expected;
        for (const HostileName &name : hostileNames())
            expected.append(name.raw);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(namesIn(native(where)), expected) << qPrintable(where);
        for (const HostileName &name : hostileNames())
            EXPECT_EQ(readFile(native(where) + name.raw), contentOf(name.raw))
                << name.raw.toHex().constData();
    }

    // Every record keeps its lines and fields: CR and LF come only as record line ends,
    // TABs only where the records put them, and the file is valid UTF-8.
    void expectRecordsIntact() const
    {
        const QByteArray bytes = logBytes();
        EXPECT_EQ(QString::fromUtf8(bytes).toUtf8(), bytes) << "the log is not valid UTF-8";
        QByteArray lines = bytes;
        lines.replace("\r\n", "");
        EXPECT_FALSE(lines.contains('\r') || lines.contains('\n')) << "a bare line break in the log";
        for (const QByteArray &line : bytes.split('\n')) {
            if (line.startsWith("\tFrom: \t")) {
                EXPECT_EQ(line.count('\t'), 2) << line.constData();
            } else if (line.startsWith("\tTo:   ") || line.startsWith("Begin ")
                || line.contains(" successful\t")) {
                EXPECT_EQ(line.count('\t'), 1) << line.constData();
            }
        }
    }

    void expectNothingRanInAShell() const
    {
        for (const QString &where : {QDir::currentPath(), m_store.root(), QDir::homePath()})
            EXPECT_FALSE(QFile::exists(where + QStringLiteral("/INJECTED"))) << qPrintable(where);
    }

    // Names that are not UTF-8 are beyond the temporary folder's own clean-up.
    void TearDown() override { removeTree(native(m_store.root())); }

    test::TempStore m_store;
    test::ScriptedMessageBoxes m_boxes;
    RecordingSink m_sink;
};

TEST_F(BadInput, HostileNamesArriveByteForByteThroughPatternEntries)
{
    const QString copySource = folder(QStringLiteral("copy-source"));
    const QString copyDest = folder(QStringLiteral("copy-dest"));
    const QString moveSource = folder(QStringLiteral("move-source"));
    const QString moveDest = folder(QStringLiteral("move-dest"));
    makeHostileFiles(copySource);
    makeHostileFiles(moveSource);
    storeEntries({{QStringLiteral("*"), copySource, copyDest, false},
        {QStringLiteral("*"), moveSource, moveDest, true}});

    sc_TransferFiles();

    EXPECT_TRUE(m_boxes.shown().isEmpty()) << qPrintable(m_boxes.texts().join(QLatin1Char('|')));
    expectHostileFilesIn(copySource);
    expectHostileFilesIn(copyDest);
    expectHostileFilesIn(moveDest);
    EXPECT_TRUE(namesIn(native(moveSource)).isEmpty());

    const QString text = log();
    const int count = int(hostileNames().size());
    EXPECT_EQ(text.count(QStringLiteral("Copy File successful\t")), count);
    EXPECT_EQ(text.count(QStringLiteral("Move File successful\t")), count);
    for (const HostileName &name : hostileNames()) {
        EXPECT_TRUE(
            text.contains(QStringLiteral("\tFrom: \t") + copySource + name.logged + QStringLiteral("\r\n")))
            << qPrintable(name.logged);
        EXPECT_TRUE(
            text.contains(QStringLiteral("\tTo:   ") + moveDest + name.logged + QStringLiteral("\r\n")))
            << qPrintable(name.logged);
    }
    expectRecordsIntact();
    // The message area is shown the records the file holds.
    ASSERT_EQ(m_sink.records.size(), 4 * count);
    for (const QString &record : m_sink.records)
        EXPECT_TRUE(text.contains(record)) << qPrintable(record);
    expectNothingRanInAShell();
}

TEST_F(BadInput, HostileNamesArriveThroughSingleFileEntries)
{
    const QString source = folder(QStringLiteral("source"));
    const QString copyDest = folder(QStringLiteral("copy-dest"));
    const QString moveDest = folder(QStringLiteral("move-dest"));
    QList<Entry> entries;
    for (const HostileName &name : hostileNames()) {
        if (!name.textName)
            continue;
        writeFile(native(source) + name.raw, contentOf(name.raw));
        entries.append({QString::fromUtf8(name.raw), source, copyDest, false});
        entries.append({QString::fromUtf8(name.raw), source, moveDest, true});
    }
    storeEntries(entries);

    sc_TransferFiles();

    EXPECT_TRUE(m_boxes.shown().isEmpty()) << qPrintable(m_boxes.texts().join(QLatin1Char('|')));
    EXPECT_TRUE(namesIn(native(source)).isEmpty());
    for (const HostileName &name : hostileNames()) {
        if (!name.textName)
            continue;
        EXPECT_EQ(readFile(native(copyDest) + name.raw), contentOf(name.raw)) << qPrintable(name.logged);
        EXPECT_EQ(readFile(native(moveDest) + name.raw), contentOf(name.raw)) << qPrintable(name.logged);
        EXPECT_TRUE(
            log().contains(QStringLiteral("\tTo:   ") + moveDest + name.logged + QStringLiteral("\r\n")))
            << qPrintable(name.logged);
    }
    expectRecordsIntact();
    expectNothingRanInAShell();
}

TEST_F(BadInput, LogLinkPassesAHostileFolderAsOneArgument)
{
    const QString app = m_store.root() + QStringLiteral("/-app \"q\" 'q' ;$(touch INJECTED)\t\nend");
    ASSERT_TRUE(QDir().mkpath(app));
    host::setApplicationFolderOverride(app);
    QList<QStringList> started;
    host::setProgramStarter([&started](const QString &program, const QStringList &arguments) {
        started.append(QStringList {program} + arguments);
        return true;
    });
    const QString source = folder(QStringLiteral("source"));
    writeFile(native(source) + "a.dat", "a");
    storeEntries({{QStringLiteral("a.dat"), source, folder(QStringLiteral("dest")), false}});
    sc_TransferFiles();
    writeFile(native(app) + "keep.txt", "keep");

    {
        frmMain window;
        window.lblLog_Click();
        ASSERT_EQ(started.size(), 1);
        EXPECT_EQ(started.first().mid(1), QStringList {app + QStringLiteral("/filelog.txt")});
        // The second click offers to delete the log; deleting takes the log and nothing else.
        m_boxes.answerNext(MsgAnswer::Yes);
        window.lblLog_Click();
    }
    host::setProgramStarter({});
    EXPECT_FALSE(QFile::exists(app + QStringLiteral("/filelog.txt")));
    EXPECT_EQ(readFile(native(app) + "keep.txt"), QByteArray("keep"));
    expectNothingRanInAShell();
}

struct SameFileCase
{
    const char *what;
    const char *file;
    bool move;
    // The destination folder text for the source folder `s` (ending with "/").
    std::function<QString(const QString &)> destFor;
};

TEST_F(BadInput, SourceAndDestinationNamingOneFileAreRefused)
{
    const QList<SameFileCase> cases = {
        {"copy, same folder text", "one.dat", false, [](const QString &s) { return s; }},
        {"move, same folder text", "one.dat", true, [](const QString &s) { return s; }},
        {"copy by pattern", "*.dat", false, [](const QString &s) { return s; }},
        {"move by pattern", "*.dat", true, [](const QString &s) { return s; }},
        {"move, folder spelt with ./", "one.dat", true,
            [](const QString &s) { return s + QStringLiteral("./"); }},
        {"copy, folder spelt with ../", "one.dat", false,
            [](const QString &s) {
                return s + QStringLiteral("../") + QDir(s).dirName() + QStringLiteral("/");
            }},
        {"move through a linked folder", "one.dat", true,
            [](const QString &s) {
                const QString link = s.chopped(1) + QStringLiteral("-link");
                QFile::link(s.chopped(1), link);
                return link + QStringLiteral("/");
            }},
    };
    for (const SameFileCase &row : cases) {
        SCOPED_TRACE(row.what);
        m_boxes.clear();
        QFile::remove(logFilePath());
        const QString source = folder(QStringLiteral("same-%1").arg(&row - cases.data()));
        writeFile(native(source) + "one.dat", "precious");
        storeEntries({{QLatin1String(row.file), source, row.destFor(source), row.move}});

        sc_TransferFiles();

        EXPECT_EQ(readFile(native(source) + "one.dat"), QByteArray("precious"));
        EXPECT_EQ(namesIn(native(source)), QList<QByteArray> {"one.dat"});
        ASSERT_EQ(m_boxes.shown().size(), 1);
        EXPECT_EQ(m_boxes.shown().first().text, QStringLiteral("Error: Permission denied (70)"));
        EXPECT_EQ(m_boxes.shown().first().title, QStringLiteral("Error"));
        const QString label = row.move ? QStringLiteral("Move File ") : QStringLiteral("Copy File ");
        EXPECT_TRUE(
            log().contains(label + QStringLiteral(" failed: Error Number: 70  Error: Permission denied\t")))
            << qPrintable(log());
    }
}

TEST_F(BadInput, DestinationInsideThePatternsSourceTakesEachFileOnce)
{
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        QFile::remove(logFilePath());
        const QString source = folder(move ? QStringLiteral("inside-move") : QStringLiteral("inside-copy"));
        const QString dest = source + QStringLiteral("sub/");
        const QList<QByteArray> names = {"a.txt", "b.txt", "c.txt"};
        for (const QByteArray &name : names)
            writeFile(native(source) + name, name);

        storeEntries({{QStringLiteral("*"), source, dest, move}});
        sc_TransferFiles();

        EXPECT_TRUE(m_boxes.shown().isEmpty());
        EXPECT_EQ(namesIn(native(dest)), names);
        for (const QByteArray &name : names)
            EXPECT_EQ(readFile(native(dest) + name), name);
        EXPECT_EQ(
            namesIn(native(source)), move ? QList<QByteArray> {"sub"} : names + QList<QByteArray> {"sub"});
        EXPECT_EQ(log().count(QStringLiteral("Begin ")), names.size());

        // A second run finds the subfolder among the names and leaves it alone.
        sc_TransferFiles();
        EXPECT_EQ(namesIn(native(dest)), names);
        EXPECT_FALSE(exists(native(dest) + "sub"));
    }
}

struct ReplacedCase
{
    const char *what;
    std::function<void(const QByteArray &path)> replace;
    int endsRunWith; // 0: the run goes on
    const char *failure;
};

TEST_F(BadInput, ASourceReplacedAfterTheListingIsNeverTouched)
{
    const QList<ReplacedCase> cases = {
        {"by a folder",
            [](const QByteArray &path) {
                ::unlink(path.constData());
                ::mkdir(path.constData(), 0755);
                writeFile(path + "/inner.txt", "inner");
            },
            0, "Error Number: 75  Error: Path/File access error: not a plain file"},
        {"by a pipe",
            [](const QByteArray &path) {
                ::unlink(path.constData());
                ::mkfifo(path.constData(), 0644);
            },
            0, "Error Number: 75  Error: Path/File access error: not a plain file"},
        {"by nothing", [](const QByteArray &path) { ::unlink(path.constData()); }, 53, nullptr},
        {"by a dangling link",
            [](const QByteArray &path) {
                ::unlink(path.constData());
                ::symlink("nowhere", path.constData());
            },
            53, nullptr},
    };
    for (const bool move : {false, true}) {
        for (const ReplacedCase &row : cases) {
            SCOPED_TRACE(std::string(row.what) + (move ? ", move" : ", copy"));
            m_boxes.clear();
            QFile::remove(logFilePath());
            static int round = 0;
            const QString source = folder(QStringLiteral("replaced-%1").arg(++round));
            const QString dest = folder(QStringLiteral("replaced-dest-%1").arg(round));
            for (const char *name : {"a.dat", "b.dat", "c.dat"})
                writeFile(native(source) + name, name);
            storeEntries({{QStringLiteral("*.dat"), source, dest, move}});
            FileStartHook hook([&](const QString &path) {
                if (path.endsWith(QStringLiteral("/b.dat")))
                    row.replace(native(path));
            });

            int endedWith = 0;
            try {
                sc_TransferFiles();
            } catch (const Failure &failure) {
                endedWith = failure.number();
                sc_ClosePendingRun();
            }

            EXPECT_EQ(endedWith, row.endsRunWith);
            EXPECT_EQ(readFile(native(dest) + "a.dat"), QByteArray("a.dat"));
            EXPECT_FALSE(exists(native(dest) + "b.dat"));
            EXPECT_EQ(readFile(native(dest) + "c.dat").isEmpty(), row.endsRunWith != 0);
            if (QByteArray(row.what) == "by a folder") {
                EXPECT_EQ(readFile(native(source) + "b.dat/inner.txt"), QByteArray("inner"));
            }
            if (row.failure) {
                ASSERT_EQ(m_boxes.shown().size(), 1);
                EXPECT_EQ(m_boxes.shown().first().text,
                    QStringLiteral("Error: Path/File access error: not a plain file (75)"));
                EXPECT_TRUE(log().contains(QStringLiteral(" failed: ") + QLatin1String(row.failure)));
            } else {
                EXPECT_TRUE(m_boxes.shown().isEmpty());
            }
        }
    }
}

} // namespace
