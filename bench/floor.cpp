// The floor: the least system-call work a transfer run of one "*" entry needs per file,
// written plainly, as the yardstick for the engine and the program.
//
//   quillfen_floor copy|move SOURCE DEST LOG
//
// Per file: the date test's stat of the source; a begin and a result record, each a stat
// of the log, an append-open, one write and a close; a stat of the destination folder and
// of the source folder; then one rename for a move, or for a copy an open and fstat of the
// source, an exclusive temporary beside the destination, copy_file_range, futimens, the
// closes and a rename over the destination. The folder is listed once and sorted with
// letter case ignored, as the engine lists it.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
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

// A missing destination folder is made, as the engine makes it; a missing source stops.
void lookUpFolder(const std::string &folder, bool make)
{
    struct stat st = {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (!make || errno != ENOENT || ::mkdir(folder.c_str(), 0777) != 0)
            die(folder);
    }
}

void copyOne(const std::string &source, const std::string &destFolder, const std::string &name)
{
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        die(source);
    struct stat st = {};
    if (::fstat(in, &st) != 0)
        die(source);
    const std::string temp = destFolder + ".floor-" + name;
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
    if (::close(out) != 0)
        die(temp);
    ::close(in);
    if (::rename(temp.c_str(), (destFolder + name).c_str()) != 0)
        die(destFolder + name);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5 || (std::strcmp(argv[1], "copy") != 0 && std::strcmp(argv[1], "move") != 0)) {
        std::fprintf(stderr, "usage: quillfen_floor copy|move SOURCE DEST LOG\n");
        return 2;
    }
    const bool move = std::strcmp(argv[1], "move") == 0;
    const std::string sourceFolder = withSlash(argv[2]);
    const std::string destFolder = withSlash(argv[3]);
    const std::string log = argv[4];
    const std::string label = move ? "Move File " : "Copy File ";

    for (const std::string &name : namesIn(sourceFolder)) {
        const std::string source = sourceFolder + name;
        struct stat st = {};
        if (::stat(source.c_str(), &st) != 0)
            die(source);
        appendRecord(log, "Begin " + label + "\t" + nowText() + "\r\n\tFrom: \t" + source + "\r\n");
        lookUpFolder(destFolder, true);
        lookUpFolder(sourceFolder, false);
        if (move) {
            if (::rename(source.c_str(), (destFolder + name).c_str()) != 0)
                die(source);
        } else {
            copyOne(source, destFolder, name);
        }
        appendRecord(log,
            "\tTo:   " + destFolder + name + "\r\n" + label + "successful\t" + nowText() + "\r\n\r\n\r\n");
    }
    return 0;
}
