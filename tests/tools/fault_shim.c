/* Fault injection for the tool tests, preloaded into a tool (LD_PRELOAD).
 * Reading one file fails or stops at one byte position:
 *   WS_FAULT_FILE   the file
 *   WS_FAULT_AT     the byte position
 *   WS_FAULT_STALL  unset: read() from the position on fails with EIO;
 *                   a path: a read() or fread() that reaches the position
 *                   creates that file and waits for a signal instead. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static int ready = -1;
static dev_t dev;
static ino_t ino;
static long long at;
static const char *stallMark;

static int isTarget(int fd)
{
    if (ready < 0) {
        const char *file = getenv("WS_FAULT_FILE"), *pos = getenv("WS_FAULT_AT");
        struct stat st;
        ready = file && pos && stat(file, &st) == 0;
        if (ready) {
            dev = st.st_dev;
            ino = st.st_ino;
            at = atoll(pos);
            stallMark = getenv("WS_FAULT_STALL");
        }
    }
    struct stat st;
    return ready && fstat(fd, &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

static void stall(void)
{
    close(open(stallMark, O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    for (;;)
        pause();
}

ssize_t read(int fd, void *buf, size_t n)
{
    static ssize_t (*real)(int, void *, size_t);
    if (!real)
        real = (ssize_t(*)(int, void *, size_t))dlsym(RTLD_NEXT, "read");
    if (n > 0 && isTarget(fd)) {
        const long long pos = lseek(fd, 0, SEEK_CUR);
        if (pos >= at) {
            if (stallMark)
                stall();
            errno = EIO;
            return -1;
        }
        if (pos + (long long)n > at)
            n = (size_t)(at - pos); /* a short read up to the position */
    }
    return real(fd, buf, n);
}

size_t fread(void *p, size_t size, size_t count, FILE *f)
{
    static size_t (*real)(void *, size_t, size_t, FILE *);
    if (!real)
        real = (size_t(*)(void *, size_t, size_t, FILE *))dlsym(RTLD_NEXT, "fread");
    if (stallMark && size > 0 && count > 0 && isTarget(fileno(f))) {
        const long long pos = ftello(f);
        if (pos <= at && at < pos + (long long)(size * count))
            stall();
    }
    return real(p, size, count, f);
}
