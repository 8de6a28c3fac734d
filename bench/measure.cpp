#include "measure.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

namespace {

struct Argv
{
    explicit Argv(const QString &program, const QStringList &arguments)
    {
        storage.append(QFile::encodeName(program));
        for (const QString &argument : arguments)
            storage.append(QFile::encodeName(argument));
        for (QByteArray &text : storage)
            pointers.push_back(text.data());
        pointers.push_back(nullptr);
    }
    QList<QByteArray> storage;
    std::vector<char *> pointers;
};

// The descriptor on which a launcher reports the run of its program.
constexpr int ReportFd = 3;

// Starts `program`; its standard output goes to `outputFd` (to /dev/null when negative),
// and its standard error too when `errorsToOutput` says so; `reportFd` becomes its ReportFd.
pid_t spawn(const QString &program, const QStringList &arguments, int outputFd, char **environment = environ,
    bool errorsToOutput = false, int reportFd = -1)
{
    Argv argv(program, arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (errorsToOutput)
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (reportFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, reportFd, ReportFd);
    pid_t pid = -1;
    const int err
        = posix_spawnp(&pid, argv.pointers[0], &actions, nullptr, argv.pointers.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        fail(QStringLiteral("cannot start %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(err))));
    return pid;
}

// This process's environment with `changes` ("NAME=value") put in.
struct Environment
{
    explicit Environment(const QStringList &changes)
    {
        QList<QByteArray> names;
        for (const QString &change : changes) {
            storage.append(QFile::encodeName(change));
            names.append(storage.last().left(storage.last().indexOf('=') + 1));
        }
        for (char **entry = environ; *entry; ++entry) {
            const QByteArray text(*entry);
            if (!names.contains(text.left(text.indexOf('=') + 1)))
                storage.append(text);
        }
        for (QByteArray &text : storage)
            pointers.push_back(text.data());
        pointers.push_back(nullptr);
    }
    QList<QByteArray> storage;
    std::vector<char *> pointers;
};

int waitFor(pid_t pid, long *peakKib)
{
    int status = 0;
    struct rusage usage
    {
    };
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            fail(QStringLiteral("wait failed"));
    }
    if (peakKib)
        *peakKib = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits for the end of `pid` at most `limitSeconds` (counted from `start`); a process that
// takes longer is stopped, and answers false.
bool awaitEnd(pid_t pid, std::chrono::steady_clock::time_point start, double limitSeconds)
{
    const int pidFd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0)
        return true; // an older kernel: waitFor waits as long as it takes
    bool ended = false;
    for (;;) {
        const double left
            = limitSeconds - std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (left <= 0)
            break;
        pollfd entry {pidFd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, int(std::min(left, 3600.0) * 1000) + 1);
        if (ready > 0) {
            ended = true;
            break;
        }
        if (ready < 0 && errno != EINTR)
            fail(QStringLiteral("poll failed"));
    }
    ::close(pidFd);
    if (!ended)
        ::kill(pid, SIGKILL);
    return ended;
}

QString seconds(double value)
{
    return value < 0.01 ? QStringLiteral("%1 ms").arg(value * 1000, 0, 'f', 2)
                        : QStringLiteral("%1 s").arg(value, 0, 'f', 3);
}

} // namespace

double timeOf(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double timeProgram(const QString &program, const QStringList &arguments)
{
    int code = 0;
    const double taken = timeOf([&] { code = waitFor(spawn(program, arguments, -1), nullptr); });
    if (code != 0)
        fail(QStringLiteral("%1 %2 ended with %3")
                 .arg(program, arguments.join(QLatin1Char(' ')).left(200))
                 .arg(code));
    return taken;
}

namespace {

// A program started through a launcher, this executable run with --launch: the launcher
// is a process of its own that forks the program, so the program's peak memory is its own.
// A process started straight from this one would begin with this one's peak, which a child
// sharing its memory until exec takes along.
struct Launched
{
    pid_t pid = -1;
    int reportFd = -1;
};

Launched startLaunched(const QString &program, const QStringList &arguments, char **environment, int outputFd,
    bool errorsToOutput, double limitSeconds)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        fail(QStringLiteral("pipe failed"));
    // Kept clear of ReportFd itself, which a dup2 onto itself would leave to be closed on exec.
    const int writeEnd = ::fcntl(report[1], F_DUPFD_CLOEXEC, ReportFd + 1);
    ::close(report[1]);
    Launched launched;
    launched.pid = spawn(QCoreApplication::applicationFilePath(),
        QStringList {QStringLiteral("--launch"), QString::number(limitSeconds, 'f', 0), program} + arguments,
        outputFd, environment, errorsToOutput, writeEnd);
    ::close(writeEnd);
    launched.reportFd = report[0];
    return launched;
}

ProcessRun endLaunched(const Launched &launched, const QString &program)
{
    const int code = waitFor(launched.pid, nullptr);
    char text[128] = {};
    const ssize_t got = ::read(launched.reportFd, text, sizeof text - 1);
    ::close(launched.reportFd);
    ProcessRun result;
    if (code != 0 || got <= 0
        || std::sscanf(text, "%lf %ld %d", &result.seconds, &result.peakKib, &result.code) != 3)
        fail(QStringLiteral("the launcher of %1 failed").arg(program));
    return result;
}

} // namespace

int launcherMain(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    const double limitSeconds = std::atof(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ReportFd);
        ::execvp(argv[3], argv + 3);
        std::fprintf(stderr, "cannot start %s: %s\n", argv[3], std::strerror(errno));
        ::_exit(127);
    }
    if (pid < 0)
        return 2;
    const bool ended = awaitEnd(pid, start, limitSeconds);
    long peakKib = 0;
    const int code = waitFor(pid, &peakKib);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::dprintf(ReportFd, "%.6f %ld %d\n", seconds, peakKib, ended ? code : -1);
    return 0;
}

ProcessRun runProgram(const QString &program, const QStringList &arguments, const QStringList &environment,
    const QString &outputFile, double limitSeconds)
{
    const int outputFd
        = ::open(QFile::encodeName(outputFile).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (outputFd < 0)
        fail(QStringLiteral("cannot create %1").arg(outputFile));
    Environment changed(environment);
    const Launched launched
        = startLaunched(program, arguments, changed.pointers.data(), outputFd, true, limitSeconds);
    ::close(outputFd);
    return endLaunched(launched, program);
}

int runSelf(const QStringList &arguments, long *peakKib, QByteArray *output)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        fail(QStringLiteral("pipe failed"));
    const QString self = QCoreApplication::applicationFilePath();
    const Launched launched = startLaunched(self, arguments, environ, pipeFds[1], false, 3600);
    ::close(pipeFds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output->append(buffer, got);
    }
    ::close(pipeFds[0]);
    const ProcessRun result = endLaunched(launched, self);
    *peakKib = result.peakKib;
    return result.code;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    if (n == 0)
        return 0;
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void settle()
{
    ::sync();
}

void printLine(const QString &what, const QString &figures, const QString &verdict)
{
    std::printf("%-58s %-52s %s\n", qUtf8Printable(what), qUtf8Printable(figures), qUtf8Printable(verdict));
    std::fflush(stdout);
}

void printComparison(const Comparison &comparison)
{
    const double ours = median(comparison.ours);
    const double theirs = median(comparison.theirs);
    const double ratio = ours / theirs;
    const QString figures = QStringLiteral("Quillfen %1  %2 %3  ratio %4")
                                .arg(seconds(ours), comparison.reference, seconds(theirs))
                                .arg(ratio, 0, 'f', 2);
    QString verdict = QStringLiteral("no target");
    if (comparison.limit) {
        verdict = QStringLiteral("target <= %1: %2")
                      .arg(*comparison.limit, 0, 'f', 2)
                      .arg(ratio <= *comparison.limit ? QStringLiteral("met") : QStringLiteral("MISSED"));
    }
    printLine(comparison.what, figures, verdict);
}

void fail(const QString &message)
{
    std::fprintf(stderr, "bench: %s\n", qUtf8Printable(message));
    std::exit(2);
}

QList<QList<double>> rotate(const Rotation &rotation)
{
    const int count = int(rotation.sides.size());
    QList<QList<double>> seconds(count);
    for (int run = 0; run < rotation.runs; ++run) {
        // Who goes first goes round too, so no side always meets the warmer cache.
        for (int k = 0; k < count; ++k) {
            const int side = (run + k) % count;
            if (rotation.prepare)
                rotation.prepare(run, side);
            settle();
            seconds[side].append(rotation.sides[side](run));
            if (rotation.check)
                rotation.check(run, side);
        }
        if (rotation.another && !rotation.another(run + 1))
            break;
    }
    return seconds;
}

void alternate(const Alternation &alternation, QList<double> &ours, QList<double> &theirs)
{
    Rotation rotation;
    rotation.runs = alternation.runs;
    if (alternation.prepare)
        rotation.prepare = [&](int run, int side) { alternation.prepare(run, side == 0); };
    rotation.sides = {alternation.ours, alternation.theirs};
    if (alternation.check)
        rotation.check = [&](int run, int side) { alternation.check(run, side == 0); };
    const QList<QList<double>> seconds = rotate(rotation);
    ours.append(seconds[0]);
    theirs.append(seconds[1]);
}

} // namespace bench
