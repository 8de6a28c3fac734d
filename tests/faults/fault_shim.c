/* Makes chosen calls through which the engine writes, places, flushes and removes files fail,
 * for the fault suite: preloaded into a child process, it answers a matching call with an error.
 * QUILLFEN_FAULTS holds rules separated by ";", each "calls=errno@folder[!once]": call names
 * separated by ","; only calls on paths below the folder (for a descriptor, the path it was
 * opened on; for a rename, either name); "!once" for the first matching call only. The first
 * rule that matches a call decides. A write whose errno is 0 takes only the first half.
 * "tmpfile" is an open with O_TMPFILE; "appear" makes a file at a link's new name first.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct rule
{
    char calls[128]; /* ",name,name," */
    char folder[PATH_MAX];
    int error, once, spent;
};

static struct rule rules[6];
static int rule_count;

__attribute__((constructor)) static void read_rules(void)
{
    char all[4096], calls[120];
    snprintf(all, sizeof all, "%s", getenv("QUILLFEN_FAULTS") ? getenv("QUILLFEN_FAULTS") : "");
    for (char *save = NULL, *text = strtok_r(all, ";", &save); text && rule_count < 6;
         text = strtok_r(NULL, ";", &save)) {
        struct rule *r = &rules[rule_count];
        if (sscanf(text, "%119[^=]=%d@%4095[^!]", calls, &r->error, r->folder) != 3)
            continue;
        snprintf(r->calls, sizeof r->calls, ",%s,", calls);
        r->once = strstr(text, "!once") != NULL;
        ++rule_count;
    }
}

/* Sets errno and answers true when `call` on `path` (else on the file that `fd` is open on),
 * or on `other`, is to fail. */
static int fails(const char *call, int fd, const char *path, const char *other)
{
    char key[40], link[64], opened[PATH_MAX];
    if (!path) {
        snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t length = readlink(link, opened, sizeof opened - 1);
        opened[length > 0 ? length : 0] = '\0';
        path = opened;
    }
    snprintf(key, sizeof key, ",%s,", call);
    for (int k = 0; k < rule_count; ++k) {
        struct rule *r = &rules[k];
        const size_t n = strlen(r->folder);
        if (!strstr(r->calls, key)
            || !(strncmp(path, r->folder, n) == 0 || (other && strncmp(other, r->folder, n) == 0)))
            continue;
        if (r->once && __atomic_exchange_n(&r->spent, 1, __ATOMIC_SEQ_CST))
            continue;
        errno = r->error;
        return 1;
    }
    return 0;
}

static void appear(const char *target)
{
    const int saved = errno,
              fd = rule_count && fails("appear", 0, target, NULL)
        ? open(target, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)
        : -1;
    if (fd >= 0 && write(fd, "appeared meanwhile\n", 19) == 19)
        close(fd);
    errno = saved;
}

static int appear_then_fail(const char *target)
{
    appear(target);
    return fails("link", 0, target, NULL);
}

/* A write the rules take only in part: half of it goes through. */
static int halve(size_t *size)
{
    *size /= 2;
    return 0;
}

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = flags & (O_CREAT | O_TMPFILE) ? va_arg(args, mode_t) : 0;
    va_end(args);
    if ((flags & O_TMPFILE) == O_TMPFILE && rule_count && fails("tmpfile", 0, path, NULL))
        return -1;
    __typeof__(open) *next;
    void *symbol = dlsym(RTLD_NEXT, "open");
    memcpy(&next, &symbol, sizeof next);
    return next(path, flags, mode);
}

/* A call that fails where `failing` says so, else goes to the C library's. ISO C cannot cast
 * the object pointer that dlsym answers to a function pointer, so the bits are copied. */
#define HOOK(type, name, failing, params, ...)                                                               \
    type name params                                                                                         \
    {                                                                                                        \
        if (rule_count && (failing))                                                                         \
            return -1;                                                                                       \
        __typeof__(name) *next;                                                                              \
        void *symbol = dlsym(RTLD_NEXT, #name);                                                              \
        memcpy(&next, &symbol, sizeof next);                                                                 \
        return next(__VA_ARGS__);                                                                            \
    }

HOOK(ssize_t, write, fails("write", fd, NULL, NULL) && (errno || size < 2 || halve(&size)),
    (int fd, const void *data, size_t size), fd, data, size)
HOOK(ssize_t, copy_file_range, fails("copy_file_range", out, NULL, NULL),
    (int in, loff_t *in_at, int out, loff_t *out_at, size_t size, unsigned flags), in, in_at, out, out_at,
    size, flags)
HOOK(int, renameat2, fails("renameat2", 0, from, to),
    (int at, const char *from, int to_at, const char *to, unsigned flags), at, from, to_at, to, flags)
HOOK(int, linkat, fails("linkat", 0, to, NULL),
    (int at, const char *from, int to_at, const char *to, int flags), at, from, to_at, to, flags)
HOOK(int, link, appear_then_fail(to), (const char *from, const char *to), from, to)
HOOK(int, fchmod, fails("fchmod", fd, NULL, NULL), (int fd, mode_t mode), fd, mode)
HOOK(int, fsync, fails("fsync", fd, NULL, NULL), (int fd), fd)
HOOK(int, futimens, fails("futimens", fd, NULL, NULL), (int fd, const struct timespec times[2]), fd, times)
HOOK(int, unlink, fails("unlink", 0, path, NULL), (const char *path), path)
