/* Makes chosen file system calls fail, for the fault suite: loaded with LD_PRELOAD into a
 * child process, it answers a matching call with an error instead of performing it.
 *
 * A rule is four environment variables (the first rule without a suffix, further rules
 * with the suffix _2, _3 or _4; the first rule that matches a call decides):
 *   QUILLFEN_FAULT_CALL   comma-separated calls: write, copy_file_range, ficlone, rename,
 *                         renameat, renameat2, fsync, fdatasync, unlink, unlinkat
 *   QUILLFEN_FAULT_ERRNO  ENOSPC, EIO, EACCES, EROFS, EXDEV, ENOSYS, EOPNOTSUPP, ... or a number
 *   QUILLFEN_FAULT_MODE   "once" (the first matching call only) or "always" (the default)
 *   QUILLFEN_FAULT_PATH   only calls on paths under this folder (for descriptors, the path
 *                         the descriptor was opened on; for renames, either name)
 * QUILLFEN_FAULT_LOG names a file that gets one line "call errno path" per injected error.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

enum {
    CallWrite = 1 << 0,
    CallCopyFileRange = 1 << 1,
    CallFiclone = 1 << 2,
    CallRename = 1 << 3,
    CallRenameat = 1 << 4,
    CallRenameat2 = 1 << 5,
    CallFsync = 1 << 6,
    CallFdatasync = 1 << 7,
    CallUnlink = 1 << 8,
    CallUnlinkat = 1 << 9,
};

static const struct
{
    const char *name;
    int bit;
} call_names[] = {
    {"write", CallWrite},
    {"copy_file_range", CallCopyFileRange},
    {"ficlone", CallFiclone},
    {"rename", CallRename},
    {"renameat", CallRenameat},
    {"renameat2", CallRenameat2},
    {"fsync", CallFsync},
    {"fdatasync", CallFdatasync},
    {"unlink", CallUnlink},
    {"unlinkat", CallUnlinkat},
};

static const struct
{
    const char *name;
    int value;
} errno_names[] = {
    {"ENOSPC", ENOSPC},
    {"EIO", EIO},
    {"EACCES", EACCES},
    {"EROFS", EROFS},
    {"EXDEV", EXDEV},
    {"ENOSYS", ENOSYS},
    {"EPERM", EPERM},
    {"EDQUOT", EDQUOT},
    {"EOPNOTSUPP", EOPNOTSUPP},
};

#define MaxRules 4

struct rule
{
    int calls;
    int error;
    int once;
    int spent;
    char folder[PATH_MAX];
    size_t folder_length;
};

static struct rule rules[MaxRules];
static int rule_count;
static char fault_log[PATH_MAX];

static const char *env_of(const char *stem, int index, char *buffer, size_t size)
{
    if (index == 0)
        snprintf(buffer, size, "QUILLFEN_FAULT_%s", stem);
    else
        snprintf(buffer, size, "QUILLFEN_FAULT_%s_%d", stem, index + 1);
    return getenv(buffer);
}

static int parse_calls(const char *text)
{
    int calls = 0;
    char copy[256];
    snprintf(copy, sizeof copy, "%s", text);
    for (char *save = NULL, *word = strtok_r(copy, ", ", &save); word; word = strtok_r(NULL, ", ", &save)) {
        for (size_t k = 0; k < sizeof call_names / sizeof call_names[0]; ++k) {
            if (strcmp(word, call_names[k].name) == 0)
                calls |= call_names[k].bit;
        }
    }
    return calls;
}

static int parse_errno(const char *text)
{
    for (size_t k = 0; k < sizeof errno_names / sizeof errno_names[0]; ++k) {
        if (strcmp(text, errno_names[k].name) == 0)
            return errno_names[k].value;
    }
    return atoi(text);
}

__attribute__((constructor)) static void read_rules(void)
{
    char name[64];
    for (int index = 0; index < MaxRules; ++index) {
        const char *calls = env_of("CALL", index, name, sizeof name);
        const char *error = env_of("ERRNO", index, name, sizeof name);
        if (!calls || !error)
            continue;
        struct rule *r = &rules[rule_count];
        r->calls = parse_calls(calls);
        r->error = parse_errno(error);
        const char *mode = env_of("MODE", index, name, sizeof name);
        r->once = mode && strcmp(mode, "once") == 0;
        const char *folder = env_of("PATH", index, name, sizeof name);
        snprintf(r->folder, sizeof r->folder, "%s", folder ? folder : "");
        r->folder_length = strlen(r->folder);
        while (r->folder_length > 1 && r->folder[r->folder_length - 1] == '/')
            r->folder[--r->folder_length] = '\0';
        if (r->calls && r->error > 0)
            ++rule_count;
    }
    const char *log = getenv("QUILLFEN_FAULT_LOG");
    snprintf(fault_log, sizeof fault_log, "%s", log ? log : "");
}

static int under(const struct rule *r, const char *path)
{
    if (r->folder_length == 0)
        return 1;
    if (!path || strncmp(path, r->folder, r->folder_length) != 0)
        return 0;
    return path[r->folder_length] == '\0' || path[r->folder_length] == '/' || r->folder_length == 1;
}

static void path_of_fd(int fd, char *out, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, out, size - 1);
    out[length > 0 ? length : 0] = '\0';
}

/* `path` made absolute against the folder of `dirfd` (or the working folder). */
static void resolve(int dirfd, const char *path, char *out, size_t size)
{
    if (!path) {
        out[0] = '\0';
        return;
    }
    if (path[0] == '/') {
        snprintf(out, size, "%s", path);
        return;
    }
    char base[PATH_MAX];
    if (dirfd == AT_FDCWD) {
        if (!getcwd(base, sizeof base))
            base[0] = '\0';
    } else {
        path_of_fd(dirfd, base, sizeof base);
    }
    snprintf(out, size, "%s/%s", base, path);
}

/* The next definition of each call (the C library's). ISO C cannot cast the object pointer
 * that dlsym answers to a function pointer, so the bits are copied. */
#define DEFINE_NEXT(name, type)                                                                              \
    static type *next_##name(void)                                                                           \
    {                                                                                                        \
        static type *found;                                                                                  \
        if (!found) {                                                                                        \
            void *symbol = dlsym(RTLD_NEXT, #name);                                                          \
            memcpy(&found, &symbol, sizeof found);                                                           \
        }                                                                                                    \
        return found;                                                                                        \
    }

typedef ssize_t write_fn(int, const void *, size_t);
typedef ssize_t copy_file_range_fn(int, loff_t *, int, loff_t *, size_t, unsigned);
typedef int ioctl_fn(int, unsigned long, ...);
typedef int rename_fn(const char *, const char *);
typedef int renameat_fn(int, const char *, int, const char *);
typedef int renameat2_fn(int, const char *, int, const char *, unsigned);
typedef int fsync_fn(int);
typedef int unlink_fn(const char *);
typedef int unlinkat_fn(int, const char *, int);

DEFINE_NEXT(write, write_fn)
DEFINE_NEXT(copy_file_range, copy_file_range_fn)
DEFINE_NEXT(ioctl, ioctl_fn)
DEFINE_NEXT(rename, rename_fn)
DEFINE_NEXT(renameat, renameat_fn)
DEFINE_NEXT(renameat2, renameat2_fn)
DEFINE_NEXT(fsync, fsync_fn)
DEFINE_NEXT(fdatasync, fsync_fn)
DEFINE_NEXT(unlink, unlink_fn)
DEFINE_NEXT(unlinkat, unlinkat_fn)

static void note(const char *call, int error, const char *path)
{
    if (!fault_log[0])
        return;
    const int fd = open(fault_log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char line[PATH_MAX + 64];
    const int length = snprintf(line, sizeof line, "%s %d %s\n", call, error, path ? path : "");
    if (length > 0)
        next_write()(fd, line, (size_t)length < sizeof line ? (size_t)length : sizeof line - 1);
    close(fd);
}

/* The error to inject for `call` on one or two paths, or 0 to let the call through. */
static int injected(int call, const char *call_name, const char *path, const char *other)
{
    for (int k = 0; k < rule_count; ++k) {
        struct rule *r = &rules[k];
        if (!(r->calls & call) || !(under(r, path) || (other && under(r, other))))
            continue;
        if (r->once && __atomic_exchange_n(&r->spent, 1, __ATOMIC_SEQ_CST))
            continue;
        note(call_name, r->error, under(r, path) ? path : other);
        return r->error;
    }
    return 0;
}

static int injected_fd(int call, const char *call_name, int fd, int other_fd)
{
    if (rule_count == 0)
        return 0;
    char path[PATH_MAX];
    char other[PATH_MAX];
    path_of_fd(fd, path, sizeof path);
    if (other_fd >= 0)
        path_of_fd(other_fd, other, sizeof other);
    return injected(call, call_name, path, other_fd >= 0 ? other : NULL);
}

ssize_t write(int fd, const void *data, size_t size)
{
    const int error = injected_fd(CallWrite, "write", fd, -1);
    if (error) {
        errno = error;
        return -1;
    }
    return next_write()(fd, data, size);
}

ssize_t copy_file_range(int in, loff_t *in_offset, int out, loff_t *out_offset, size_t size, unsigned flags)
{
    const int error = injected_fd(CallCopyFileRange, "copy_file_range", out, in);
    if (error) {
        errno = error;
        return -1;
    }
    return next_copy_file_range()(in, in_offset, out, out_offset, size, flags);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    if (request == FICLONE) {
        const int error = injected_fd(CallFiclone, "ficlone", fd, (int)(long)argument);
        if (error) {
            errno = error;
            return -1;
        }
    }
    return next_ioctl()(fd, request, argument);
}

int rename(const char *from, const char *to)
{
    if (rule_count) {
        char a[PATH_MAX];
        char b[PATH_MAX];
        resolve(AT_FDCWD, from, a, sizeof a);
        resolve(AT_FDCWD, to, b, sizeof b);
        const int error = injected(CallRename, "rename", a, b);
        if (error) {
            errno = error;
            return -1;
        }
    }
    return next_rename()(from, to);
}

int renameat(int from_dir, const char *from, int to_dir, const char *to)
{
    if (rule_count) {
        char a[PATH_MAX];
        char b[PATH_MAX];
        resolve(from_dir, from, a, sizeof a);
        resolve(to_dir, to, b, sizeof b);
        const int error = injected(CallRenameat, "renameat", a, b);
        if (error) {
            errno = error;
            return -1;
        }
    }
    return next_renameat()(from_dir, from, to_dir, to);
}

int renameat2(int from_dir, const char *from, int to_dir, const char *to, unsigned flags)
{
    if (rule_count) {
        char a[PATH_MAX];
        char b[PATH_MAX];
        resolve(from_dir, from, a, sizeof a);
        resolve(to_dir, to, b, sizeof b);
        const int error = injected(CallRenameat2, "renameat2", a, b);
        if (error) {
            errno = error;
            return -1;
        }
    }
    return next_renameat2()(from_dir, from, to_dir, to, flags);
}

int fsync(int fd)
{
    const int error = injected_fd(CallFsync, "fsync", fd, -1);
    if (error) {
        errno = error;
        return -1;
    }
    return next_fsync()(fd);
}

int fdatasync(int fd)
{
    const int error = injected_fd(CallFdatasync, "fdatasync", fd, -1);
    if (error) {
        errno = error;
        return -1;
    }
    return next_fdatasync()(fd);
}

int unlink(const char *path)
{
    if (rule_count) {
        char a[PATH_MAX];
        resolve(AT_FDCWD, path, a, sizeof a);
        const int error = injected(CallUnlink, "unlink", a, NULL);
        if (error) {
            errno = error;
            return -1;
        }
    }
    return next_unlink()(path);
}

int unlinkat(int dir, const char *path, int flags)
{
    if (rule_count) {
        char a[PATH_MAX];
        resolve(dir, path, a, sizeof a);
        const int error = injected(CallUnlinkat, "unlinkat", a, NULL);
        if (error) {
            errno = error;
            return -1;
        }
    }
    return next_unlinkat()(dir, path, flags);
}
