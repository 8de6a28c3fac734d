// Copies, moves and listings by the engine, against cp, mv and find on the same files.

#include "files.h"
#include "measure.h"
#include "scenarios.h"

#include "platform/message_boxes.h"
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

// Any message box means a run failed, and a failed run measures nothing.
class FailOnMessage final : public quillfen::MessageBoxes
{
public:
    FailOnMessage() { quillfen::setMessageBoxes(this); }
    ~FailOnMessage() override { quillfen::setMessageBoxes(nullptr); }
    quillfen::MsgAnswer show(const quillfen::MessageBoxRequest &request) override
    {
        fail(QStringLiteral("the run showed \"%1\": %2").arg(request.title, request.text));
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
    FailOnMessage boxes;
    return timeOf([] {
        quillfen::RunObserver quiet;
        quillfen::TransferRun(quiet).sc_TransferFiles();
    });
}

} // namespace

void copyLargeFile(const Setup &setup)
{
    const QString source = setup.scratch + QStringLiteral("large/");
    makeFolder(source);
    progress("writing a 1 GiB file");
    makeFile(source + QStringLiteral("big.bin"), 1024 * MiB);

    Comparison result {
        QStringLiteral("copy one 1 GiB file (transfer run)"), QStringLiteral("cp"), {}, {}, 1.10};
    Alternation alternation;
    alternation.runs = setup.runs;
    alternation.prepare
        = [&](int run, bool ours) { makeFolder(runFolder(setup.scratch, "large", run, ours)); };
    alternation.ours = [&](int run) {
        return timeRun(
            {QStringLiteral("big.bin"), source, runFolder(setup.scratch, "large", run, true), false});
    };
    alternation.theirs = [&](int run) {
        return timeProgram(QStringLiteral("cp"),
            {source + QStringLiteral("big.bin"),
                runFolder(setup.scratch, "large", run, false) + QStringLiteral("big.bin")});
    };
    alternation.check = [&](int run, bool ours) {
        const QString folder = runFolder(setup.scratch, "large", run, ours);
        if (QFileInfo(folder + QStringLiteral("big.bin")).size() != 1024 * MiB)
            fail(QStringLiteral("the copy in %1 is incomplete").arg(folder));
        removeTree(folder);
    };
    alternate(alternation, result.ours, result.theirs);
    printComparison(result);
    removeTree(source);
}

void copySmallFiles(const Setup &setup)
{
    const QString source = setup.scratch + QStringLiteral("small/");
    makeFolder(source);
    progress("writing 10,000 files of 4 KiB");
    for (int k = 0; k < 10000; ++k)
        makeFile(source + QStringLiteral("f%1.dat").arg(k, 5, 10, QLatin1Char('0')), 4096);

    Comparison result {QStringLiteral("copy 10,000 files of 4 KiB (one pattern entry)"),
        QStringLiteral("cp -r"), {}, {}, 2.0};
    Alternation alternation;
    alternation.runs = setup.runs;
    alternation.ours = [&](int run) {
        return timeRun({QStringLiteral("*"), source, runFolder(setup.scratch, "small", run, true), false});
    };
    alternation.theirs = [&](int run) {
        return timeProgram(QStringLiteral("cp"),
            {QStringLiteral("-r"), source, runFolder(setup.scratch, "small", run, false)});
    };
    alternation.check
        = [&](int run, bool ours) { expectCount(runFolder(setup.scratch, "small", run, ours), 10000); };
    alternate(alternation, result.ours, result.theirs);
    printComparison(result);
    // Removed only now: ext4 creates files slowly right after deleting many.
    for (int run = 0; run < setup.runs; ++run) {
        removeTree(runFolder(setup.scratch, "small", run, true));
        removeTree(runFolder(setup.scratch, "small", run, false));
    }
}

// One pattern entry moving every file of a hard-linked copy of `pristine`, against
// `mv -t` on another copy. ext4 creates files slowly right after deleting many, so the
// folders of a run are removed as soon as it is checked only where `removeEachRun` says.
static void compareMoves(const Setup &setup, Comparison result, const QString &pristine, int count,
    const char *fromStem, const QString &toRoot, const char *toStem, bool removeEachRun)
{
    const auto sourceOf = [&](int run, bool ours) { return runFolder(setup.scratch, fromStem, run, ours); };
    const auto destOf = [&](int run, bool ours) { return runFolder(toRoot, toStem, run, ours); };
    const auto removeRun = [&](int run, bool ours) {
        removeTree(sourceOf(run, ours));
        removeTree(destOf(run, ours));
    };

    Alternation alternation;
    alternation.runs = setup.runs;
    QStringList sources;
    alternation.prepare = [&](int run, bool ours) {
        linkAll(pristine, sourceOf(run, ours));
        makeFolder(destOf(run, ours));
        sources = pathsIn(sourceOf(run, ours));
    };
    alternation.ours = [&](int run) {
        return timeRun({QStringLiteral("*"), sourceOf(run, true), destOf(run, true), true});
    };
    alternation.theirs = [&](int run) {
        return timeProgram(
            QStringLiteral("mv"), QStringList {QStringLiteral("-t"), destOf(run, false)} + sources);
    };
    alternation.check = [&](int run, bool ours) {
        expectCount(destOf(run, ours), count);
        expectCount(sourceOf(run, ours), 0);
        if (removeEachRun)
            removeRun(run, ours);
    };
    alternate(alternation, result.ours, result.theirs);
    printComparison(result);
    for (int run = 0; !removeEachRun && run < setup.runs; ++run) {
        removeRun(run, true);
        removeRun(run, false);
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
    compareMoves(setup,
        {QStringLiteral("move 10,000 files in one file system (pattern)"), QStringLiteral("mv"), {}, {}, 2.0},
        pristine, 10000, "move-from", setup.scratch, "move-to", false);
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
    compareMoves(setup, {what, QStringLiteral("mv"), {}, {}, std::nullopt}, pristine, 200, "cross-from",
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
