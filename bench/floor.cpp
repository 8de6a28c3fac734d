// The floor: the least system-call work a transfer run of one "*" entry needs per file,
// written plainly, as the yardstick for the engine and the program.
//
//   quillfen_floor copy|move SOURCE DEST LOG
//
// Per file: the date test's stat of the source; a begin and a result record, each a stat
// of the log, an append-open, one write and a close; a stat of the destination folder and
// of the source folder; then one rename for a move, or for a copy an open and fstat of the
// source, an exclusive temporary beside the destination, copy_file_range, futimens, fsync,
// the closes and a rename over the destination. The folder is listed once and sorted with
// letter case ignored, as the engine lists it. After each rename, what an undo needs: an
// lstat of the placed file and a line with its identity written to the run's journal (LOG
// with ".journal" added, made afresh).
//
// The fsync is the least a copy that never has a name before its data is on disk needs. The
// temporaries are filled and flushed ahead of their turn by as many threads as the program
// uses, since flushes made at once are committed together; each is renamed at its turn.

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void die(const std::string &what)
{
    std::fprintf(stderr, "quillfen_floor: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::vector<std::string> namesIn(const std::string &folder)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        die(folder);
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        const int folded = ::strcasecmp(a.c_str(), b.c_str());
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

std::string nowText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char buffer[64];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, "%d/%m/%Y %H:%M:%S", &local));
}

void appendRecord(const std::string &log, const std::string &record)
{
    struct stat st = {};
    if (::stat(log.c_str(), &st) != 0 && errno != ENOENT)
        die(log);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        die(log);
    if (::write(fd, record.data(), record.size()) != ssize_t(record.size()))
        die(log);
    if (::close(fd) != 0)
        die(log);
}

// The journal's line for the file placed at `dest` from `source`.
void journal(
    int fd, const std::string &journalPath, char action, const std::string &source, const std::string &dest)
{
    struct stat st = {};
    if (::lstat(dest.c_str(), &st) != 0)
        die(dest);
    const std::string line = std::string(1, action) + "\t" + source + "\t" + dest + "\t"
        + std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + " "
        + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + " "
        + std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec) + "\n";
    if (::write(fd, line.data(), line.size()) != ssize_t(line.size()))
        die(journalPath);
}

// A missing destination folder is made, as the engine makes it; a missing source stops.
void lookUpFolder(const std::string &folder, bool make)
{
    struct stat st = {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (!make || errno != ENOENT || ::mkdir(folder.c_str(), 0777) != 0)
            die(folder);
    }
}

// Where the copy of `name` into `destFolder` is made before it takes its name.
std::string temporaryFor(const std::string &destFolder, const std::string &name)
{
    return destFolder + ".floor-" + name;
}

// Fills the temporary `temp` with a copy of `source`, with its times, and flushes it.
void fillTemporary(const std::string &source, const std::string &temp)
{
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        die(source);
    struct stat st = {};
    if (::fstat(in, &st) != 0)
        die(source);
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0)
        die(temp);
    for (off_t done = 0; done < st.st_size;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, size_t(st.st_size - done), 0);
        if (copied <= 0)
            die(temp);
        done += copied;
    }
    const std::array<timespec, 2> times = {st.st_atim, st.st_mtim};
    if (::futimens(out, times.data()) != 0)
        die(temp);
    if (::fsync(out) != 0)
        die(temp);
    if (::close(out) != 0)
        die(temp);
    ::close(in);
}

// Fills and flushes the copies of `names` on worker threads, at most `Window` ahead of the
// copy being named; ready() waits for one.
class CopiesAhead
{
public:
    static constexpr size_t Workers = 16;
    static constexpr size_t Window = 64;

    CopiesAhead(
        const std::vector<std::string> &names, const std::string &sourceFolder, const std::string &destFolder)
        : m_names(names)
        , m_source(sourceFolder)
        , m_dest(destFolder)
        , m_ready(names.size(), false)
    {
        for (size_t k = 0; k < Workers; ++k)
            m_threads.emplace_back([this] { work(); });
    }

    ~CopiesAhead()
    {
        for (std::thread &thread : m_threads)
            thread.join();
    }

    void ready(size_t index)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return bool(m_ready[index]); });
        m_named = index + 1;
        m_changed.notify_all();
    }

private:
    void work()
    {
        for (;;) {
            size_t index = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_next >= m_names.size() || m_next < m_named + Window; });
                if (m_next >= m_names.size())
                    return;
                index = m_next++;
            }
            fillTemporary(m_source + m_names[index], temporaryFor(m_dest, m_names[index]));
            const std::lock_guard lock(m_mutex);
            m_ready[index] = true;
            m_changed.notify_all();
        }
    }

    const std::vector<std::string> &m_names;
    const std::string m_source;
    const std::string m_dest;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<char> m_ready;
    size_t m_next = 0;
    size_t m_named = 0;
    std::vector<std::thread> m_threads;
};

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc == 5 ? argv[1] : "";
    if (mode != "copy" && mode != "move") {
        std::fprintf(stderr, "usage: quillfen_floor copy|move SOURCE DEST LOG\n");
        return 2;
    }
    const bool move = mode == "move";
    const std::string sourceFolder = withSlash(argv[2]);
    const std::string destFolder = withSlash(argv[3]);
    const std::string log = argv[4];
    const std::string label = move ? "Move File " : "Copy File ";

    const std::vector<std::string> names = namesIn(sourceFolder);
    const std::string journalPath = log + ".journal";
    const int journalFd = ::open(journalPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (journalFd < 0)
        die(journalPath);
    std::unique_ptr<CopiesAhead> copies;
    if (!move) {
        lookUpFolder(destFolder, true); // the copies ahead are made in it
        copies = std::make_unique<CopiesAhead>(names, sourceFolder, destFolder);
    }
    for (size_t index = 0; index < names.size(); ++index) {
        const std::string &name = names[index];
        const std::string source = sourceFolder + name;
        struct stat st = {};
        if (::stat(source.c_str(), &st) != 0)
            die(source);
        appendRecord(log, "Begin " + label + "\t" + nowText() + "\r\n\tFrom: \t" + source + "\r\n");
        lookUpFolder(destFolder, true);
        lookUpFolder(sourceFolder, false);
        const std::string dest = destFolder + name;
        if (move) {
            if (::rename(source.c_str(), dest.c_str()) != 0)
                die(source);
        } else {
            copies->ready(index);
            if (::rename(temporaryFor(destFolder, name).c_str(), dest.c_str()) != 0)
                die(dest);
        }
        journal(journalFd, journalPath, move ? 'M' : 'C', source, dest);
        appendRecord(log, "\tTo:   " + dest + "\r\n" + label + "successful\t" + nowText() + "\r\n\r\n\r\n");
    }
    ::close(journalFd);
    return 0;
}
