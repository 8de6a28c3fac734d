// Undoing a run of a million moves: `quillfen --undo --yes` as a process of its own, its time and
// its peak memory.

#include "files.h"
#include "measure.h"
#include "scenarios.h"

#include "transfer/journal.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {

namespace {

constexpr long PeakLimitKib = 100'000'000 / 1024;
constexpr double UndoLimit = 3600;

// Empty files where a run of one "*" entry moved them from `source` to `dest`, and the journal
// of that run in `state`.
void recordMoves(const QString &source, const QString &dest, const QString &state, int files)
{
    const QByteArray previous = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", native(state));
    {
        quillfen::EntryList entries;
        entries.append(QStringLiteral("*"), source, dest, QStringLiteral("1"));
        quillfen::JournalWriter journal(entries);
        quillfen::JournalEntry entry;
        entry.action = quillfen::JournalEntry::Action::Move;
        for (int k = 0; k < files; ++k) {
            const QString name = QStringLiteral("f%1.dat").arg(k, 7, 10, QLatin1Char('0'));
            entry.source = native(source + name);
            entry.dest = native(dest + name);
            const int fd = ::open(entry.dest.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0 || ::close(fd) != 0)
                fail(QStringLiteral("cannot create %1").arg(dest + name));
            entry.placed = quillfen::FileIdentity::of(entry.dest);
            journal.add(entry);
        }
    }
    qputenv("XDG_STATE_HOME", previous);
}

} // namespace

void undoJournal(const Setup &setup)
{
    if (setup.program.isEmpty())
        fail(QStringLiteral("the program was not given (--program)"));
    const int files = std::max(1, int(1'000'000 * setup.scale + 0.5));
    const QString home = setup.scratch + QStringLiteral("undo/");
    const QString source = home + QStringLiteral("source/"), dest = home + QStringLiteral("dest/");
    for (const QString &folder : {source, dest, home + QStringLiteral("state"), home + QStringLiteral("data"),
             home + QStringLiteral("app")})
        makeFolder(folder);
    std::fprintf(stderr, "  (making %s files and their journal)\n",
        qUtf8Printable(QLocale(QLocale::English).toString(files)));
    recordMoves(source, dest, home + QStringLiteral("state"), files);
    // A copy of the program in a folder of its own, which takes the log of the undo.
    const QString program = home + QStringLiteral("app/quillfen");
    if (!QFile::copy(setup.program, program))
        fail(QStringLiteral("cannot copy %1").arg(setup.program));
    settle();
    const ProcessRun run = runProgram(program, {QStringLiteral("--undo"), QStringLiteral("--yes")},
        {QStringLiteral("XDG_STATE_HOME=%1state").arg(home), QStringLiteral("XDG_DATA_HOME=%1data").arg(home),
            QStringLiteral("XDG_CONFIG_HOME=%1config").arg(home)},
        home + QStringLiteral("output.txt"), UndoLimit);
    if (run.code != 0)
        fail(QStringLiteral("the undo ended with %1; see %2output.txt").arg(run.code).arg(home));
    expectCount(source, files);
    printLine(QStringLiteral("quillfen --undo --yes: a run of %1 moves (journal of as many steps)")
                  .arg(QLocale(QLocale::English).toString(files)),
        QStringLiteral("%1 s  peak %2 MB")
            .arg(run.seconds, 0, 'f', 1)
            .arg(double(run.peakKib) * 1024 / 1e6, 0, 'f', 1),
        QStringLiteral("peak < 100 MB: %1")
            .arg(run.peakKib < PeakLimitKib ? QStringLiteral("met") : QStringLiteral("MISSED")));
    removeTree(home);
}

} // namespace bench
