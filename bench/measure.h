#pragma once

// Timing, the reference tools, and the result lines of the benchmark.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace bench {

// Seconds on the monotonic clock that `work` takes.
double timeOf(const std::function<void()> &work);

// Runs a program (no shell, standard output to /dev/null) and answers the wall-clock
// seconds it took; stops the benchmark when it fails.
double timeProgram(const QString &program, const QStringList &arguments);

struct ProcessRun
{
    double seconds = 0; // wall clock, from the start to the end of the process
    long peakKib = 0; // its peak resident memory
    int code = 0; // its exit code, or -1 when it did not end in time and was stopped
};

// Starts `program` with `environment` ("NAME=value" each, added to this process's or
// replacing a variable of the same name), its standard output and error appended to
// `outputFile`, and waits for its end, at most `limitSeconds`.
ProcessRun runProgram(const QString &program, const QStringList &arguments, const QStringList &environment,
    const QString &outputFile, double limitSeconds);

// Runs this executable again with `arguments`; answers its exit code, and its peak
// resident memory in KiB in `peakKib`. Its standard output is appended to `output`.
// (Programs whose memory counts run through a launcher, see launcherMain.)
int runSelf(const QStringList &arguments, long *peakKib, QByteArray *output);

// "--launch LIMIT PROGRAM ARGUMENTS...": forks and runs PROGRAM, stops it after LIMIT seconds,
// and reports "<seconds> <peak KiB> <exit code, or -1 when stopped>" on descriptor 3.
int launcherMain(int argc, char **argv);

double median(QList<double> values);

// Flushes all dirty data, so that no run pays for the writeback of the one before.
void settle();

struct Comparison
{
    QString what;
    QString reference; // the tool's name, as printed
    QList<double> ours; // seconds, one per run
    QList<double> theirs;
    std::optional<double> limit; // the ratio the target allows
};

// "what   Quillfen 0.512 s   cp 0.498 s   ratio 1.03   target <= 1.10: met"
void printComparison(const Comparison &comparison);
void printLine(const QString &what, const QString &figures, const QString &verdict);

// Stops the benchmark with a message: a run that failed measures nothing.
[[noreturn]] void fail(const QString &message);

// Runs each of `sides` once a round, `runs` rounds (after `prepare` with the run's number
// and the index of the side that runs next), each side going first in turn; answers the
// seconds of each side. `check` verifies each run; `another`, when set, is asked after each
// round whether to go on.
struct Rotation
{
    int runs = 5;
    std::function<void(int run, int side)> prepare;
    QList<std::function<double(int run)>> sides;
    std::function<void(int run, int side)> check;
    std::function<bool(int runsDone)> another;
};
QList<QList<double>> rotate(const Rotation &rotation);

// Alternates `ours` and `theirs` `runs` times each (after `prepare` with the run's number
// and which side runs next), and answers both lists of seconds. `check` verifies each run.
struct Alternation
{
    int runs = 5;
    std::function<void(int run, bool ours)> prepare;
    std::function<double(int run)> ours;
    std::function<double(int run)> theirs;
    std::function<void(int run, bool ours)> check;
};
void alternate(const Alternation &alternation, QList<double> &ours, QList<double> &theirs);

} // namespace bench
