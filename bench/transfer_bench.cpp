// Copies, moves and listings by the engine, against cp, mv and find on the same files.

#include "files.h"
#include "measure.h"
#include "scenarios.h"

#include "settings/entry_list.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "transfer/listing.h"
#include "transfer/transfer_log.h"
#include "transfer/transfer_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {

namespace {

// Any report means a run failed, and a failed run measures nothing.
class FailOnReport final : public quillfen::RunObserver
{
public:
    void report(const quillfen::Report &report) override
    {
        fail(QStringLiteral("the run failed: %1 (%2)").arg(report.failure.description(), report.where));
    }
};

struct Entry
{
    QString file;
    QString source;
    QString dest;
    bool move;
};

// One transfer run over `entries`, timed from its start to its end; the log starts afresh.
double timeRun(const Entry &entry)
{
    quillfen::EntryList list;
    list.append(entry.file, entry.source, entry.dest, entry.move ? QStringLiteral("1") : QStringLiteral("0"));
    quillfen::sc_AddFiles(list);
    quillfen::store::save(quillfen::keys::CompareInterval, QStringLiteral("0"));
    quillfen::store::save(quillfen::keys::CompareIntType, QStringLiteral("s"));
    QFile::remove(quillfen::logFilePath());
    settle();
    return timeOf([] {
        FailOnReport quiet;
        quillfen::TransferRun(quiet).sc_TransferFiles();
    });
}

// The sides of a comparison with the floor program, and their run folders' marks.
enum Side { Engine, Tool, Floor };
const char *const SideNames[] = {"q", "r", "f"};

// The floor program over the same kind of entry, with a log of its own that starts afresh.
double timeFloor(const Setup &setup, const char *action, const QString &source, const QString &dest)
{
    if (setup.floor.isEmpty())
        fail(QStringLiteral("the floor program was not given (--floor)"));
    const QString log = setup.scratch + QStringLiteral("floor-log/filelog.txt");
    makeFolder(setup.scratch + QStringLiteral("floor-log"));
    QFile::remove(log);
    settle();
    return timeProgram(setup.floor, {QLatin1String(action), source, dest, log});
}

} // namespace

void copyLargeFile(const Setup &setup)
{
    const QString source = setup.scratch + QStringLiteral("large/");
    makeFolder(source);
    progress("writing a 1 GiB file");
    makeFile(source + QStringLiteral("big.bin"), 1024 * MiB);

    // Every copy is on disk before it takes its name; `cp` leaves the gigabyte in memory, so
    // the line with a target holds the engine against `cp` followed by a flush of its copy.
    const QString from = source + QStringLiteral("big.bin");
    const auto destOf
        = [&](int run, int side) { return runFolder(setup.scratch, "large", run, SideNames[side]); };
    Rotation rotation;
    rotation.runs = setup.runs;
    rotation.prepare = [&](int run, int side) { makeFolder(destOf(run, side)); };
    rotation.sides = {
        [&](int run) {
            return timeRun({QStringLiteral("big.bin"), source, destOf(run, Engine), false});
        },
        [&](int run) {
            return timeProgram(QStringLiteral("cp"), {from, destOf(run, Tool) + QStringLiteral("big.bin")});
        },
        [&](int run) {
            return timeProgram(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("cp \"$0\" \"$1\" && sync \"$1\""), from,
                    destOf(run, Floor) + QStringLiteral("big.bin")});
        },
    };
    rotation.check = [&](int run, int side) {
        const QString folder = destOf(run, side);
        if (QFileInfo(folder + QStringLiteral("big.bin")).size() != 1024 * MiB)
            fail(QStringLiteral("the copy in %1 is incomplete").arg(folder));
        removeTree(folder);
    };
    const QList<QList<double>> seconds = rotate(rotation);
    printComparison({QStringLiteral("copy one 1 GiB file (transfer run)"), QStringLiteral("cp"),
        seconds[Engine], seconds[Tool], std::nullopt});
    printComparison({QStringLiteral("copy one 1 GiB file, against a flushed copy"), QStringLiteral("cp+sync"),
        seconds[Engine], seconds[Floor], 1.10});
    removeTree(source);
}

void copySmallFiles(const Setup &setup)
{
    const QString source = setup.scratch + QStringLiteral("small/");
    makeFolder(source);
    progress("writing 10,000 files of 4 KiB");
    for (int k = 0; k < 10000; ++k)
        makeFile(source + QStringLiteral("f%1.dat").arg(k, 5, 10, QLatin1Char('0')), 4096);

    const auto destOf
        = [&](int run, int side) { return runFolder(setup.scratch, "small", run, SideNames[side]); };
    Rotation rotation;
    rotation.runs = setup.runs;
    rotation.sides = {
        [&](int run) {
            return timeRun({QStringLiteral("*"), source, destOf(run, Engine), false});
        },
        [&](int run) {
            return timeProgram(QStringLiteral("cp"), {QStringLiteral("-r"), source, destOf(run, Tool)});
        },
        [&](int run) { return timeFloor(setup, "copy", source, destOf(run, Floor)); },
    };
    rotation.check = [&](int run, int side) { expectCount(destOf(run, side), 10000); };
    const QList<QList<double>> seconds = rotate(rotation);
    // cp -r flushes nothing; the floor puts each copy on disk before its name, as the engine does.
    printComparison({QStringLiteral("copy 10,000 files of 4 KiB (one pattern entry)"),
        QStringLiteral("cp -r"), seconds[Engine], seconds[Tool], std::nullopt});
    printComparison({QStringLiteral("copy 10,000 files of 4 KiB, against the floor"), QStringLiteral("floor"),
        seconds[Engine], seconds[Floor], 1.25});
    // Removed only now: ext4 creates files slowly right after deleting many.
    for (int run = 0; run < setup.runs; ++run) {
        for (int side : {Engine, Tool, Floor})
            removeTree(destOf(run, side));
    }
}

// One pattern entry moving every file of a hard-linked copy of `pristine`, against
// `mv -t` on another copy (and the floor program on a third, when `floorWhat` names its line).
// ext4 creates files slowly right after deleting many, so the folders of a run are removed
// as soon as it is checked only where `removeEachRun` says.
static void compareMoves(const Setup &setup, const QString &what, std::optional<double> toolLimit,
    const QString &floorWhat, std::optional<double> floorLimit, const QString &pristine, int count,
    const char *fromStem, const QString &toRoot, const char *toStem, bool removeEachRun)
{
    const auto sourceOf
        = [&](int run, int side) { return runFolder(setup.scratch, fromStem, run, SideNames[side]); };
    const auto destOf = [&](int run, int side) { return runFolder(toRoot, toStem, run, SideNames[side]); };
    const auto removeRun = [&](int run, int side) {
        removeTree(sourceOf(run, side));
        removeTree(destOf(run, side));
    };

    Rotation rotation;
    rotation.runs = setup.runs;
    QStringList sources;
    rotation.prepare = [&](int run, int side) {
        linkAll(pristine, sourceOf(run, side));
        makeFolder(destOf(run, side));
        sources = pathsIn(sourceOf(run, side));
    };
    rotation.sides = {
        [&](int run) {
            return timeRun({QStringLiteral("*"), sourceOf(run, Engine), destOf(run, Engine), true});
        },
        [&](int run) {
            return timeProgram(
                QStringLiteral("mv"), QStringList {QStringLiteral("-t"), destOf(run, Tool)} + sources);
        },
    };
    if (!floorWhat.isEmpty())
        rotation.sides.append(
            [&](int run) { return timeFloor(setup, "move", sourceOf(run, Floor), destOf(run, Floor)); });
    rotation.check = [&](int run, int side) {
        expectCount(destOf(run, side), count);
        expectCount(sourceOf(run, side), 0);
        if (removeEachRun)
            removeRun(run, side);
    };
    const QList<QList<double>> seconds = rotate(rotation);
    printComparison({what, QStringLiteral("mv"), seconds[Engine], seconds[Tool], toolLimit});
    if (!floorWhat.isEmpty())
        printComparison({floorWhat, QStringLiteral("floor"), seconds[Engine], seconds[Floor], floorLimit});
    for (int run = 0; !removeEachRun && run < setup.runs; ++run) {
        for (int side = 0; side < rotation.sides.size(); ++side)
            removeRun(run, side);
    }
}

void moveWithinFileSystem(const Setup &setup)
{
    const QString pristine = setup.scratch + QStringLiteral("small/");
    if (namesIn(pristine).size() != 10000) {
        makeFolder(pristine);
        progress("writing 10,000 files of 4 KiB");
        for (int k = 0; k < 10000; ++k)
            makeFile(pristine + QStringLiteral("f%1.dat").arg(k, 5, 10, QLatin1Char('0')), 4096);
    }
    compareMoves(setup, QStringLiteral("move 10,000 files in one file system (pattern)"), std::nullopt,
        QStringLiteral("move 10,000 files in one file system, against the floor"), 1.25, pristine, 10000,
        "move-from", setup.scratch, "move-to", false);
    removeTree(pristine);
}

void moveAcrossFileSystems(const Setup &setup)
{
    const QString what = QStringLiteral("move 200 files of 5 MiB across file systems");
    if (setup.second.isEmpty()) {
        printLine(what, QStringLiteral("skipped: no second file system could be mounted"), QString());
        return;
    }
    const QString pristine = setup.scratch + QStringLiteral("five/");
    makeFolder(pristine);
    progress("writing 200 files of 5 MiB");
    for (int k = 0; k < 200; ++k)
        makeFile(pristine + QStringLiteral("m%1.bin").arg(k, 3, 10, QLatin1Char('0')), 5 * MiB);
    compareMoves(setup, what, std::nullopt, QString(), std::nullopt, pristine, 200, "cross-from",
        setup.second, "cross-to", true);
    removeTree(pristine);
}

void listByPattern(const Setup &setup)
{
    const QString folder = setup.scratch + QStringLiteral("list/");
    makeFolder(folder);
    progress("creating 100,000 files in one folder");
    static const char *const Endings[] = {".txt", ".TXT", ".log", ".dat"};
    for (int k = 0; k < 100000; ++k) {
        const QString name
            = QStringLiteral("n%1").arg(k, 6, 10, QLatin1Char('0')) + QLatin1String(Endings[k % 4]);
        const int fd = ::open(native(folder + name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            fail(QStringLiteral("cannot create %1").arg(name));
        ::close(fd);
    }
    const QString bare = folder.chopped(1);

    Comparison result {QStringLiteral("list 100,000 files by \"*.txt\", case ignored"),
        QStringLiteral("find -maxdepth 1 -iname"), {}, {}, 2.0};
    const QStringList findArguments = {bare, QStringLiteral("-maxdepth"), QStringLiteral("1"),
        QStringLiteral("-iname"), QStringLiteral("*.txt")};
    qsizetype listed = 0;
    // Both sides read the folder once beforehand, so both meet it in the cache.
    listed = quillfen::listMatchingFiles(folder, QStringLiteral("*.txt")).size();
    timeProgram(QStringLiteral("find"), findArguments);
    Alternation alternation;
    alternation.runs = setup.runs;
    alternation.ours = [&](int) {
        return timeOf([&] { listed = quillfen::listMatchingFiles(folder, QStringLiteral("*.txt")).size(); });
    };
    alternation.theirs = [&](int) { return timeProgram(QStringLiteral("find"), findArguments); };
    alternation.check = [&](int, bool ours) {
        if (ours && listed != 50000)
            fail(QStringLiteral("the listing found %1 files, not 50000").arg(listed));
    };
    alternate(alternation, result.ours, result.theirs);
    printComparison(result);
    removeTree(folder);
}

} // namespace bench
