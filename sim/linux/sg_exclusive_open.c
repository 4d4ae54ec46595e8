/* libbrg40sgexcl.so: the SCSI generic driver's exclusive open for emulated nodes, which umockdev
 * does not give (each open of its node is a socket of its own). Preloaded before umockdev's own
 * library, it wraps open, open64, openat, openat64 and close for the nodes "/dev/sgN":
 * - an open with O_EXCL takes the node: while it is held, every other open of it fails with EBUSY
 *   (the driver answers EBUSY at once to O_NONBLOCK, and waits otherwise: here it always answers);
 * - an open without O_EXCL fails with EBUSY while another holds the node.
 * A node is held through a file "<BRG40_SG_LOCK_DIR>/sgN" naming the holder's process, so that
 * every process of a test run sees the same holds; a test marks a node held by another program
 * by writing such a file itself (with a process that lives, such as 1). A hold whose process has
 * ended counts for nothing. Without BRG40_SG_LOCK_DIR every call passes through unchanged.
 * It also wraps bind for udev monitors: umockdev's library makes each one a socket "event<N>" in
 * the testbed folder, unlinking an old one of that name first, and the testbed aborts when a
 * socket it found is gone before it connects to send a uevent. The bind takes the testbed's lock
 * "uevent.lock" (see uevent_lock.h), which the testbed holds while it sends. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#define MAX_HELD 64

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static struct {
    int fd;
    int node;
} held[MAX_HELD]; /* the nodes this process holds, by descriptor */
static int held_count;

/* N of a path "/dev/sgN", else -1. */
static int node_of(const char* path) {
    int n = -1;
    char rest = 0;
    if (path == NULL || sscanf(path, "/dev/sg%d%c", &n, &rest) != 1 || n < 0) {
        return -1;
    }
    return n;
}

static int lock_path(int node, char* out, size_t size) {
    const char* dir = getenv("BRG40_SG_LOCK_DIR");
    if (dir == NULL || *dir == '\0') {
        return 0;
    }
    return snprintf(out, size, "%s/sg%d", dir, node) < (int)size;
}

/* The process that holds node, or 0 when none (or its holder has ended). */
static pid_t holder(const char* path) {
    long pid = 0;
    FILE* f = fopen(path, "r");
    if (f == NULL) {
        return 0;
    }
    if (fscanf(f, "%ld", &pid) != 1) {
        pid = 0;
    }
    fclose(f);
    return pid > 0 && (kill((pid_t)pid, 0) == 0 || errno == EPERM) ? (pid_t)pid : 0;
}

/* Before an open of node: 0 to go on, or -1 with errno EBUSY. With O_EXCL the node is taken. */
static int take(int node, int flags, char* path, size_t size) {
    if (!lock_path(node, path, size)) {
        return 0;
    }
    const pid_t by = holder(path);
    if (by != 0) {
        errno = EBUSY;
        return -1;
    }
    if (flags & O_EXCL) {
        FILE* f = fopen(path, "w");
        if (f != NULL) {
            fprintf(f, "%ld\n", (long)getpid());
            fclose(f);
        }
    }
    return 0;
}

static void note(int fd, int node, int flags, const char* path, int opened) {
    if (!(flags & O_EXCL) || path[0] == '\0') {
        return;
    }
    if (opened < 0 || held_count == MAX_HELD) {
        unlink(path); /* the open failed: the node is not held */
        return;
    }
    held[held_count].fd = fd;
    held[held_count].node = node;
    ++held_count;
}

typedef int (*open_fn)(const char*, int, ...);
typedef int (*openat_fn)(int, const char*, int, ...);
typedef int (*close_fn)(int);

static int wrapped_open(const char* name, const char* pathname, int flags, mode_t mode) {
    const open_fn next = (open_fn)dlsym(RTLD_NEXT, name);
    const int node = node_of(pathname);
    if (node < 0) {
        return next(pathname, flags, mode);
    }
    char path[4096] = "";
    pthread_mutex_lock(&lock);
    int fd = take(node, flags, path, sizeof path);
    if (fd == 0) {
        fd = next(pathname, flags, mode);
        note(fd, node, flags, path, fd);
    }
    pthread_mutex_unlock(&lock);
    return fd;
}

static int wrapped_openat(const char* name, int dirfd, const char* pathname, int flags, mode_t mode) {
    const openat_fn next = (openat_fn)dlsym(RTLD_NEXT, name);
    const int node = node_of(pathname);
    if (node < 0) {
        return next(dirfd, pathname, flags, mode);
    }
    char path[4096] = "";
    pthread_mutex_lock(&lock);
    int fd = take(node, flags, path, sizeof path);
    if (fd == 0) {
        fd = next(dirfd, pathname, flags, mode);
        note(fd, node, flags, path, fd);
    }
    pthread_mutex_unlock(&lock);
    return fd;
}

static mode_t mode_of(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* pathname, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_of(flags, args);
    va_end(args);
    return wrapped_open("open", pathname, flags, mode);
}

int open64(const char* pathname, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_of(flags, args);
    va_end(args);
    return wrapped_open("open64", pathname, flags, mode);
}

int openat(int dirfd, const char* pathname, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_of(flags, args);
    va_end(args);
    return wrapped_openat("openat", dirfd, pathname, flags, mode);
}

int openat64(int dirfd, const char* pathname, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = mode_of(flags, args);
    va_end(args);
    return wrapped_openat("openat64", dirfd, pathname, flags, mode);
}

int close(int fd) {
    const close_fn next = (close_fn)dlsym(RTLD_NEXT, "close");
    pthread_mutex_lock(&lock);
    for (int i = 0; i < held_count; ++i) {
        if (held[i].fd == fd) {
            char path[4096];
            if (lock_path(held[i].node, path, sizeof path)) {
                unlink(path); /* the hold ends with the descriptor */
            }
            held[i] = held[--held_count];
            break;
        }
    }
    pthread_mutex_unlock(&lock);
    return next(fd);
}

typedef int (*bind_fn)(int, const struct sockaddr*, socklen_t);

int bind(int fd, const struct sockaddr* addr, socklen_t length) {
    const bind_fn next = (bind_fn)dlsym(RTLD_NEXT, "bind");
    const char* dir = getenv("UMOCKDEV_DIR");
    if (addr == NULL || addr->sa_family != AF_NETLINK || dir == NULL || *dir == '\0') {
        return next(fd, addr, length);
    }
    char path[4096];
    int held = -1;
    if (snprintf(path, sizeof path, "%s/uevent.lock", dir) < (int)sizeof path) {
        held = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        while (held >= 0 && flock(held, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    const int result = next(fd, addr, length);
    const int error = errno;
    if (held >= 0) {
        close(held); /* the lock ends with its descriptor */
    }
    errno = error;
    return result;
}
