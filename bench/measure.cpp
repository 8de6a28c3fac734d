#include "measure.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
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

pid_t spawn(const QString &program, const QStringList &arguments, int outputFd)
{
    Argv argv(program, arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, argv.pointers[0], &actions, nullptr, argv.pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        fail(QStringLiteral("cannot start %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(err))));
    return pid;
}

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

int runSelf(const QStringList &arguments, long *peakKib, QByteArray *output)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        fail(QStringLiteral("pipe failed"));
    const pid_t pid = spawn(QCoreApplication::applicationFilePath(), arguments, pipeFds[1]);
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
    return waitFor(pid, peakKib);
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

void alternate(const Alternation &alternation, QList<double> &ours, QList<double> &theirs)
{
    for (int run = 0; run < alternation.runs; ++run) {
        // Who goes first alternates too, so neither side always meets the warmer cache.
        const bool oursFirst = run % 2 == 0;
        for (const bool side : {oursFirst, !oursFirst}) {
            if (alternation.prepare)
                alternation.prepare(run, side);
            settle();
            const double taken = side ? alternation.ours(run) : alternation.theirs(run);
            (side ? ours : theirs).append(taken);
            if (alternation.check)
                alternation.check(run, side);
        }
    }
}

} // namespace bench
