/* Makes chosen file system calls fail, for the fault suite: loaded with LD_PRELOAD into a
 * child process, it answers a matching call with an error instead of performing it.
 *
 * QUILLFEN_FAULTS holds rules separated by ";", each "calls=ERRNO[@folder][!once]": calls
 * separated by ","; the error by name; only calls on paths below the folder (for a
 * descriptor, the path it was opened on; for a rename, either name); "!once" for the first
 * matching call only. The first rule that matches a call decides.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const char *const call_names[]
    = {"write", "copy_file_range", "rename", "renameat2", "linkat", "fsync", "unlink"};
enum {
    CallWrite,
    CallCopyFileRange,
    CallRename,
    CallRenameat2,
    CallLinkat,
    CallFsync,
    CallUnlink,
    CallCount
};

static const struct
{
    const char *name;
    int value;
} errno_names[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO}, {"EACCES", EACCES}, {"EROFS", EROFS}, {"EXDEV", EXDEV},
    {"ENOSYS", ENOSYS}};

#define MaxRules 6

struct rule
{
    int calls; /* a bit per call */
    int error;
    int once;
    int spent;
    char folder[PATH_MAX];
};

static struct rule rules[MaxRules];
static int rule_count;

static void parse_rule(char *text)
{
    struct rule *r = &rules[rule_count];
    char *once = strstr(text, "!once");
    if (once) {
        r->once = 1;
        *once = '\0';
    }
    char *at = strchr(text, '@');
    if (at) {
        snprintf(r->folder, sizeof r->folder, "%s", at + 1);
        *at = '\0';
    }
    char *equals = strchr(text, '=');
    if (!equals)
        return;
    *equals = '\0';
    for (size_t k = 0; k < sizeof errno_names / sizeof errno_names[0]; ++k) {
        if (strcmp(equals + 1, errno_names[k].name) == 0)
            r->error = errno_names[k].value;
    }
    for (char *save = NULL, *word = strtok_r(text, ",", &save); word; word = strtok_r(NULL, ",", &save)) {
        for (int k = 0; k < CallCount; ++k) {
            if (strcmp(word, call_names[k]) == 0)
                r->calls |= 1 << k;
        }
    }
    if (r->calls && r->error)
        ++rule_count;
}

__attribute__((constructor)) static void read_rules(void)
{
    const char *all = getenv("QUILLFEN_FAULTS");
    char copy[4096];
    snprintf(copy, sizeof copy, "%s", all ? all : "");
    for (char *save = NULL, *text = strtok_r(copy, ";", &save); text && rule_count < MaxRules;
         text = strtok_r(NULL, ";", &save))
        parse_rule(text);
}

static int under(const struct rule *r, const char *path)
{
    const size_t length = strlen(r->folder);
    return length == 0 || (path && strncmp(path, r->folder, length) == 0);
}

/* The next definition of a call (the C library's). ISO C cannot cast the object pointer that
 * dlsym answers to a function pointer, so the bits are copied. */
#define NEXT(name, ...)                                                                                      \
    do {                                                                                                     \
        __typeof__(name) *found;                                                                             \
        void *symbol = dlsym(RTLD_NEXT, #name);                                                              \
        memcpy(&found, &symbol, sizeof found);                                                               \
        return found(__VA_ARGS__);                                                                           \
    } while (0)

#define LongPath (2 * PATH_MAX + 2)

/* `path` made absolute against the working folder, in `out` of LongPath bytes. */
static const char *absolute(const char *path, char *out)
{
    char base[PATH_MAX];
    if (path[0] == '/' || !getcwd(base, sizeof base))
        return path;
    snprintf(out, LongPath, "%s/%s", base, path);
    return out;
}

static const char *path_of_fd(int fd, char *out)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, out, PATH_MAX - 1);
    out[length > 0 ? length : 0] = '\0';
    return out;
}

/* Sets errno and answers true when `call` on `path` (or `other`) is to fail. */
static int fails(int call, const char *path, const char *other)
{
    for (int k = 0; k < rule_count; ++k) {
        struct rule *r = &rules[k];
        if (!(r->calls & (1 << call)) || !(under(r, path) || (other && under(r, other))))
            continue;
        if (r->once && __atomic_exchange_n(&r->spent, 1, __ATOMIC_SEQ_CST))
            continue;
        errno = r->error;
        return 1;
    }
    return 0;
}

static int fd_fails(int call, int fd)
{
    char path[PATH_MAX];
    return rule_count && fails(call, path_of_fd(fd, path), NULL);
}

static int names_fail(int call, const char *from, const char *to)
{
    char a[LongPath], b[LongPath];
    return rule_count && fails(call, absolute(from, a), to ? absolute(to, b) : NULL);
}

ssize_t write(int fd, const void *data, size_t size)
{
    if (fd_fails(CallWrite, fd))
        return -1;
    NEXT(write, fd, data, size);
}

ssize_t copy_file_range(int in, loff_t *in_offset, int out, loff_t *out_offset, size_t size, unsigned flags)
{
    if (fd_fails(CallCopyFileRange, out))
        return -1;
    NEXT(copy_file_range, in, in_offset, out, out_offset, size, flags);
}

int rename(const char *from, const char *to)
{
    if (names_fail(CallRename, from, to))
        return -1;
    NEXT(rename, from, to);
}

int renameat2(int from_dir, const char *from, int to_dir, const char *to, unsigned flags)
{
    if (names_fail(CallRenameat2, from, to))
        return -1;
    NEXT(renameat2, from_dir, from, to_dir, to, flags);
}

int linkat(int from_dir, const char *from, int to_dir, const char *to, int flags)
{
    if (names_fail(CallLinkat, to, NULL))
        return -1;
    NEXT(linkat, from_dir, from, to_dir, to, flags);
}

int fsync(int fd)
{
    if (fd_fails(CallFsync, fd))
        return -1;
    NEXT(fsync, fd);
}

int unlink(const char *path)
{
    if (names_fail(CallUnlink, path, NULL))
        return -1;
    NEXT(unlink, path);
}
