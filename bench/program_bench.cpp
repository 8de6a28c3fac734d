// The built program as a user starts it, on many files: a process of its own with its own
// store, timed from its start to its end less an empty run's time, and its peak resident
// memory; against the floor program and cp -a or mv on the same files.

#include "files.h"
#include "measure.h"
#include "scenarios.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace bench {

namespace {

// A program run that takes longer is stopped: it is waiting on a message box.
constexpr double RunLimit = 1800;
// After a round whose program run took longer than this, no further round is made, so that
// a slow program still leaves time for the rest of the benchmark.
constexpr double LongRun = 120;

constexpr long PeakLimitKib = 150'000'000 / 1024;
constexpr long GrowthLimitKib = 50'000'000 / 1024;
constexpr long RunPeakLimitKib = 100'000'000 / 1024;

enum Side { Program, Floor, Tool };
const char *const SideNames[] = {"q", "f", "r"};

QString count(int files)
{
    return QLocale(QLocale::English).toString(files);
}

int scaled(const Setup &setup, int files)
{
    return std::max(1, int(files * setup.scale + 0.5));
}

QString megabytes(long kib)
{
    return QStringLiteral("%1 MB").arg(double(kib) * 1024 / 1e6, 0, 'f', 1);
}

// A copy of the program in a folder of its own (which takes its log), and its own store,
// data, state and runtime folders.
class Sandbox
{
public:
    explicit Sandbox(const Setup &setup)
        : m_folder(setup.scratch + QStringLiteral("program/"))
        , m_home(setup.scratch + QStringLiteral("program-home/"))
    {
        if (setup.program.isEmpty())
            fail(QStringLiteral("the program was not given (--program)"));
        makeFolder(m_folder);
        for (const char *folder : {"config/Quillfen", "data", "state"})
            makeFolder(m_home + QLatin1String(folder));
        ::mkdir(native(m_home + QStringLiteral("runtime")).constData(), 0700);
        if (!QFile::exists(binary()) && !QFile::copy(setup.program, binary()))
            fail(QStringLiteral("cannot copy %1").arg(setup.program));
    }

    QString binary() const { return m_folder + QStringLiteral("quillfen"); }
    QString log() const { return m_folder + QStringLiteral("filelog.txt"); }

    // One pattern entry for every file of `source`, started at once, run at once.
    void store(const QString &source, const QString &dest, bool move, int conflict = 0) const
    {
        QFile file(m_home + QStringLiteral("config/Quillfen/Quillfen.conf"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail(QStringLiteral("cannot write %1").arg(file.fileName()));
        file.write(
            QStringLiteral("[AppSettings]\nsc_Files=1\nsc_File1=*\nsc_Path1=%1\nsc_Dest1=%2\nsc_Move1=%3\n"
                           "sc_CompareInterval=0\nsc_CompareIntType=s\nTimer=0\nAutoStart=1\n")
                .arg(source, dest, move ? QStringLiteral("1") : QStringLiteral("0"))
                .toUtf8());
        if (conflict != 0)
            file.write(QStringLiteral("sc_Conflict1=%1\n").arg(conflict).toUtf8());
        QFile::remove(log());
    }

    // Starts the program on the stored entry (with `arguments`: its command line) and waits for
    // its end; stops the benchmark when it fails or does not end.
    ProcessRun run(const QStringList &arguments = {}) const
    {
        const QString output = m_folder + QStringLiteral("output.txt");
        QFile::remove(output);
        const ProcessRun result = runProgram(binary(), arguments,
            {QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                QStringLiteral("XDG_CONFIG_HOME=%1config").arg(m_home),
                QStringLiteral("XDG_DATA_HOME=%1data").arg(m_home),
                QStringLiteral("XDG_STATE_HOME=%1state").arg(m_home),
                QStringLiteral("XDG_RUNTIME_DIR=%1runtime").arg(m_home)},
            output, RunLimit);
        if (result.code != 0) {
            QFile text(output);
            text.open(QIODevice::ReadOnly);
            const QString said = QString::fromUtf8(text.readAll().right(2000));
            fail(result.code < 0
                    ? QStringLiteral("the program did not end within %1 s: %2").arg(RunLimit).arg(said)
                    : QStringLiteral("the program ended with %1: %2").arg(result.code).arg(said));
        }
        return result;
    }

    // Stops the benchmark unless the log tells of `files` successful transfers.
    void expectLogged(int files) const
    {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("the program wrote no log"));
        const qsizetype found = file.readAll().count("File successful");
        if (found != files)
            fail(QStringLiteral("the program's log tells of %1 transfers, not %2").arg(found).arg(files));
    }

private:
    QString m_folder;
    QString m_home;
};

// Seconds and peak memory of the program started on an empty folder: its start, countdown,
// completion notice and end, which the other runs are measured net of.
struct EmptyRun
{
    double seconds = 0;
    long peakKib = 0;
};

const EmptyRun &emptyRun(const Setup &setup, const Sandbox &sandbox)
{
    static EmptyRun measured;
    if (measured.seconds > 0)
        return measured;
    const QString source = setup.scratch + QStringLiteral("program-empty/");
    makeFolder(source);
    QList<double> seconds;
    for (int run = 0; run < 3; ++run) {
        sandbox.store(source, setup.scratch + QStringLiteral("program-empty-to/"), false);
        settle();
        const ProcessRun result = sandbox.run();
        seconds.append(result.seconds);
        measured.peakKib = std::max(measured.peakKib, result.peakKib);
    }
    measured.seconds = median(seconds);
    printLine(QStringLiteral("program: empty run (start, countdown, notice, end)"),
        QStringLiteral("%1 s  peak %2").arg(measured.seconds, 0, 'f', 3).arg(megabytes(measured.peakKib)),
        QStringLiteral("subtracted from the program's runs"));
    return measured;
}

// `files` files of 4 KiB in `folder`, made once and kept for the next scenario; links to
// those of `larger` when it holds enough.
QString dataSet(const QString &folder, int files, const QString &larger = QString())
{
    if (namesIn(folder).size() == files)
        return folder;
    removeTree(folder);
    if (!larger.isEmpty() && namesIn(larger).size() >= files) {
        linkAll(larger, folder, files);
        return folder;
    }
    makeFolder(folder);
    std::fprintf(stderr, "  (writing %s files of 4 KiB)\n", qUtf8Printable(count(files)));
    for (int k = 0; k < files; ++k)
        makeFile(folder + QStringLiteral("f%1.dat").arg(k, 6, 10, QLatin1Char('0')), 4096);
    return folder;
}

QString largeSet(const Setup &setup)
{
    return dataSet(setup.scratch + QStringLiteral("program-files/"), scaled(setup, 200000));
}

QString smallSet(const Setup &setup)
{
    return dataSet(setup.scratch + QStringLiteral("program-files-small/"), scaled(setup, 20000),
        setup.scratch + QStringLiteral("program-files/"));
}

int programRuns(const Setup &setup)
{
    return std::max(3, setup.runs / 2);
}

// The rounds end early after a program run longer than LongRun; the line says so.
QString runsNote(const QList<double> &programSeconds, int runs)
{
    if (programSeconds.size() >= runs)
        return QString();
    return QStringLiteral(" (%1 run a side: a run took over %2 s)").arg(programSeconds.size()).arg(LongRun);
}

QList<double> lessEmpty(QList<double> seconds, double empty)
{
    for (double &value : seconds)
        value -= empty;
    return seconds;
}

struct Copies
{
    QList<QList<double>> seconds;
    long peakKib = 0;
};

// The program (started with `arguments`), the floor program and (when `withTool`) cp -a each
// copying every file of `source` into a fresh folder.
Copies compareCopies(const Setup &setup, const Sandbox &sandbox, const QString &source, int files,
    const char *stem, bool withTool, const QStringList &arguments = {})
{
    const auto destOf
        = [&](int run, int side) { return runFolder(setup.scratch, stem, run, SideNames[side]); };
    Copies copies;
    double lastProgram = 0;
    Rotation rotation;
    rotation.runs = programRuns(setup);
    rotation.prepare = [&](int run, int side) {
        if (side == Program)
            sandbox.store(source, destOf(run, Program), false);
    };
    rotation.sides = {
        [&](int) {
            const ProcessRun result = sandbox.run(arguments);
            copies.peakKib = std::max(copies.peakKib, result.peakKib);
            sandbox.expectLogged(files);
            return lastProgram = result.seconds;
        },
        [&](int run) {
            return timeProgram(setup.floor,
                {QStringLiteral("copy"), source, destOf(run, Floor),
                    setup.scratch + QStringLiteral("floor-log.txt")});
        },
    };
    if (withTool) {
        rotation.sides.append([&](int run) {
            return timeProgram(QStringLiteral("cp"), {QStringLiteral("-a"), source, destOf(run, Tool)});
        });
    }
    rotation.check = [&](int run, int side) {
        expectCount(destOf(run, side), files);
        QFile::remove(setup.scratch + QStringLiteral("floor-log.txt"));
    };
    rotation.another = [&](int) { return lastProgram <= LongRun; };
    copies.seconds = rotate(rotation);
    return copies;
}

void removeRuns(const Setup &setup, const char *stem, int runs)
{
    for (int run = 0; run < runs; ++run) {
        for (const char *side : SideNames)
            removeTree(runFolder(setup.scratch, stem, run, side));
    }
}

} // namespace

void programCopy(const Setup &setup)
{
    const Sandbox sandbox(setup);
    const int large = scaled(setup, 200000);
    const int small = scaled(setup, 20000);
    const QString largeSource = largeSet(setup);
    const QString smallSource = smallSet(setup);
    const EmptyRun &empty = emptyRun(setup, sandbox);

    std::fprintf(stderr, "  (copying %s files, the program, the floor and cp -a in turn)\n",
        qUtf8Printable(count(large)));
    const Copies many = compareCopies(setup, sandbox, largeSource, large, "program-copy", true);
    const QString note = runsNote(many.seconds[Program], programRuns(setup));
    const QList<double> manyNet = lessEmpty(many.seconds[Program], empty.seconds);
    const QString what = QStringLiteral("program: copy %1 files of 4 KiB").arg(count(large)) + note;
    printComparison({what, QStringLiteral("floor"), manyNet, many.seconds[Floor], 1.5});
    printComparison({what, QStringLiteral("cp -a"), manyNet, many.seconds[Tool], std::nullopt});

    std::fprintf(
        stderr, "  (copying %s files, the program and the floor in turn)\n", qUtf8Printable(count(small)));
    const Copies fewer = compareCopies(setup, sandbox, smallSource, small, "program-copy-small", false);
    printComparison({QStringLiteral("program: copy %1 files of 4 KiB").arg(count(small))
            + runsNote(fewer.seconds[Program], programRuns(setup)),
        QStringLiteral("floor"), lessEmpty(fewer.seconds[Program], empty.seconds), fewer.seconds[Floor],
        std::nullopt});

    const long growth = many.peakKib - fewer.peakKib;
    const bool met = many.peakKib <= PeakLimitKib && growth <= GrowthLimitKib;
    printLine(QStringLiteral("program: peak memory copying %1 files").arg(count(large)),
        QStringLiteral("%1 (%2 files: %3, growth %4)")
            .arg(megabytes(many.peakKib), count(small), megabytes(fewer.peakKib), megabytes(growth)),
        QStringLiteral("target <= 150 MB, growth <= 50 MB: %1")
            .arg(met ? QStringLiteral("met") : QStringLiteral("MISSED")));

    // Deleting is slow where the file system discards each freed block as it goes.
    std::fprintf(stderr, "  (removing the copies)\n");
    removeRuns(setup, "program-copy", programRuns(setup));
    removeRuns(setup, "program-copy-small", programRuns(setup));
}

void programExfat(const Setup &setup)
{
    const int files = scaled(setup, 10000);
    const QString what
        = QStringLiteral("program: copy %1 files of 4 KiB to exFAT through FUSE").arg(count(files));
    if (setup.exfat.isEmpty()) {
        printLine(what, QStringLiteral("skipped"), QStringLiteral("no exFAT image could be mounted"));
        return;
    }
    const Sandbox sandbox(setup);
    const QString source = dataSet(setup.scratch + QStringLiteral("program-files-exfat/"), files,
        setup.scratch + QStringLiteral("program-files/"));
    const EmptyRun &empty = emptyRun(setup, sandbox);
    const auto destOf
        = [&](int run, int side) { return runFolder(setup.exfat, "exfat", run, SideNames[side]); };
    Rotation rotation;
    rotation.runs = programRuns(setup);
    rotation.prepare = [&](int run, int side) {
        if (side == Program)
            sandbox.store(source, destOf(run, Program), false);
    };
    rotation.sides = {
        [&](int) {
            const double seconds = sandbox.run().seconds;
            sandbox.expectLogged(files);
            return seconds;
        },
        // The program keeps the times; so does this, and nothing else a stick cannot hold.
        [&](int run) {
            return timeProgram(QStringLiteral("cp"),
                {QStringLiteral("-r"), QStringLiteral("--preserve=timestamps"), source,
                    destOf(run, 1).chopped(1)});
        },
    };
    // The image holds a few runs' files at most.
    rotation.check = [&](int run, int side) {
        expectCount(destOf(run, side), files);
        removeTree(destOf(run, side));
    };
    rotation.another = [](int) { return true; };
    const QList<QList<double>> seconds = rotate(rotation);
    printComparison({what, QStringLiteral("cp -r"), lessEmpty(seconds[Program], empty.seconds), seconds[1],
        std::nullopt});
}

void programMove(const Setup &setup)
{
    const Sandbox sandbox(setup);
    const int files = scaled(setup, 20000);
    const QString pristine = smallSet(setup);
    const EmptyRun &empty = emptyRun(setup, sandbox);

    const auto sourceOf = [&](int run, int side) {
        return runFolder(setup.scratch, "program-move-from", run, SideNames[side]);
    };
    const auto destOf = [&](int run, int side) {
        return runFolder(setup.scratch, "program-move-to", run, SideNames[side]);
    };
    long peakKib = 0;
    double lastProgram = 0;
    QStringList sources;
    Rotation rotation;
    rotation.runs = programRuns(setup);
    rotation.prepare = [&](int run, int side) {
        linkAll(pristine, sourceOf(run, side));
        makeFolder(destOf(run, side));
        if (side == Program)
            sandbox.store(sourceOf(run, side), destOf(run, side), true);
        if (side == Tool)
            sources = pathsIn(sourceOf(run, side));
    };
    rotation.sides = {
        [&](int) {
            const ProcessRun result = sandbox.run();
            peakKib = std::max(peakKib, result.peakKib);
            sandbox.expectLogged(files);
            return lastProgram = result.seconds;
        },
        [&](int run) {
            return timeProgram(setup.floor,
                {QStringLiteral("move"), sourceOf(run, Floor), destOf(run, Floor),
                    setup.scratch + QStringLiteral("floor-log.txt")});
        },
        [&](int run) {
            return timeProgram(
                QStringLiteral("mv"), QStringList {QStringLiteral("-t"), destOf(run, Tool)} + sources);
        },
    };
    rotation.check = [&](int run, int side) {
        expectCount(destOf(run, side), files);
        expectCount(sourceOf(run, side), 0);
        QFile::remove(setup.scratch + QStringLiteral("floor-log.txt"));
    };
    rotation.another = [&](int) { return lastProgram <= LongRun; };
    std::fprintf(
        stderr, "  (moving %s files, the program, the floor and mv in turn)\n", qUtf8Printable(count(files)));
    const QList<QList<double>> seconds = rotate(rotation);

    const QList<double> net = lessEmpty(seconds[Program], empty.seconds);
    const QString what = QStringLiteral("program: move %1 files in one file system").arg(count(files))
        + runsNote(seconds[Program], programRuns(setup));
    printComparison({what, QStringLiteral("floor"), net, seconds[Floor], std::nullopt});
    printComparison({what, QStringLiteral("mv"), net, seconds[Tool], std::nullopt});
    printLine(QStringLiteral("program: peak memory moving %1 files").arg(count(files)), megabytes(peakKib),
        QStringLiteral("no target"));

    for (int run = 0; run < programRuns(setup); ++run) {
        for (const char *side : SideNames) {
            removeTree(runFolder(setup.scratch, "program-move-from", run, side));
            removeTree(runFolder(setup.scratch, "program-move-to", run, side));
        }
    }
}

void programCommandLine(const Setup &setup)
{
    const Sandbox sandbox(setup);
    const int large = scaled(setup, 200000);
    const QString source = largeSet(setup);
    std::fprintf(
        stderr, "  (copying %s files, quillfen --run and the floor in turn)\n", qUtf8Printable(count(large)));
    const Copies run
        = compareCopies(setup, sandbox, source, large, "program-run", false, {QStringLiteral("--run")});
    printComparison({QStringLiteral("quillfen --run: copy %1 files of 4 KiB").arg(count(large))
            + runsNote(run.seconds[Program], programRuns(setup)),
        QStringLiteral("floor"), run.seconds[Program], run.seconds[Floor], 1.25});
    printLine(QStringLiteral("quillfen --run: peak memory copying %1 files").arg(count(large)),
        megabytes(run.peakKib),
        QStringLiteral("target <= 100 MB: %1")
            .arg(run.peakKib <= RunPeakLimitKib ? QStringLiteral("met") : QStringLiteral("MISSED")));
    std::fprintf(stderr, "  (removing the copies)\n");
    removeRuns(setup, "program-run", programRuns(setup));
}

void programTaken(const Setup &setup)
{
    const Sandbox sandbox(setup);
    const int files = scaled(setup, 20000);
    const QString source = smallSet(setup);
    // Files of the same names, but others: written, not linked to the source's.
    const QString taken = dataSet(setup.scratch + QStringLiteral("program-taken-files/"), files);
    const char *const sides[] = {"replace", "both"};
    const auto destOf
        = [&](int run, int side) { return runFolder(setup.scratch, "program-taken", run, sides[side]); };
    double lastProgram = 0;
    Rotation rotation;
    rotation.runs = programRuns(setup);
    rotation.prepare = [&](int run, int side) {
        linkAll(taken, destOf(run, side));
        sandbox.store(source, destOf(run, side), false, side == 0 ? 0 : 1);
    };
    const auto run = [&](int) {
        const ProcessRun result = sandbox.run({QStringLiteral("--run")});
        sandbox.expectLogged(files);
        return lastProgram = result.seconds;
    };
    rotation.sides = {run, run};
    rotation.check = [&](int run, int side) { expectCount(destOf(run, side), files * (side + 1)); };
    rotation.another = [&](int) { return lastProgram <= LongRun; };
    std::fprintf(stderr, "  (copying %s files onto taken names, replacing and keeping both in turn)\n",
        qUtf8Printable(count(files)));
    const QList<QList<double>> seconds = rotate(rotation);
    printComparison(
        {QStringLiteral("quillfen --run: copy %1 files, every name taken, keeping both").arg(count(files))
                + runsNote(seconds[1], programRuns(setup)),
            QStringLiteral("replace"), seconds[1], seconds[0], 1.5});
    std::fprintf(stderr, "  (removing the copies)\n");
    for (int k = 0; k < programRuns(setup); ++k) {
        for (const char *side : sides)
            removeTree(runFolder(setup.scratch, "program-taken", k, side));
    }
}

} // namespace bench
