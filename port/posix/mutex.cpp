// Named mutexes on POSIX.
//
// Map of this file:
//   lock files            one file per mutex name in /tmp, the one folder
//                         every user of the machine can reach
//   CreateMutexA          opens (creating) the lock file
//   WaitForSingleObject   takes the file's flock, with a time-out; tells an
//                         abandoned mutex by a marker byte
//   ReleaseMutex          clears the marker and drops the flock
//
// Quirks handled here, each where it happens:
//   - flock(2) has no time-out: the wait tries without blocking and naps
//     between tries, never longer than the time left.
//   - flock(2) belongs to the open file description, so threads of one
//     process sharing a handle would all "hold" it; ownership between them is
//     kept in the handle itself.
//   - The kernel drops a dead holder's flock, which gives Windows' rule that
//     a mutex whose owner ends passes to the next waiter, "abandoned".
//   - A backslash in a name ends a namespace on Windows: "Local\" (where
//     names without one live) and "Global\" name the same machine-wide lock
//     file as the bare name; any other backslash fails as a path not found.
//   - Two handles of one name in one process are two owners here, not one
//     recursive owner as on Windows; CloseHandle of an owned mutex abandons
//     it at once rather than when the owning thread ends.
#include "port/posix/handle.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct portmutex : portobject {
    int fd;
    std::mutex guard; // guards the fields below between threads of this process
    std::condition_variable freed;
    DWORD owner = 0;     // thread that owns it through this handle
    unsigned depth = 0;  // its recursion count; 0: not owned here
    bool taking = false; // a thread of ours is trying for the flock
};

// Byte 0 of the lock file is 1 while an owner holds it. The kernel releases
// the flock of a process that dies, but the byte stays: the next owner finds
// it set and knows the mutex was abandoned.
constexpr off_t markeroffset = 0;

// The lock files, "/tmp/.win32mutex-NAME". Characters that a file name cannot
// hold, or that would read ambiguously, are written as %XX. The folder is
// fixed, not $TMPDIR: every process of the machine must find the same file.
constexpr char lockfolder[] = "/tmp/";
constexpr char lockprefix[] = ".win32mutex-";

bool lockpath(const char *name, char *path, size_t size) {
    const size_t folder = strlen(lockfolder);
    size_t at = (size_t)snprintf(path, size, "%s%s", lockfolder, lockprefix);
    if (at >= size) return false;
    for (const unsigned char *p = (const unsigned char *)name; *p != 0; p++) {
        bool plain = (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') ||
                     (*p >= '0' && *p <= '9') || *p == '_' || *p == '-' || *p == '.';
        size_t need = plain ? 1 : 3;
        // The file name itself holds at most NAME_MAX (255) bytes.
        if (at + need >= size || at + need - folder > 255) return false;
        if (plain) {
            path[at++] = (char)*p;
        } else {
            static const char hex[] = "0123456789ABCDEF";
            path[at++] = '%';
            path[at++] = hex[*p >> 4];
            path[at++] = hex[*p & 15];
        }
    }
    path[at] = 0;
    return true;
}

BOOL closemutex(portobject *object) {
    portmutex *m = static_cast<portmutex *>(object);
    // An owner that closes without releasing leaves the marker set: the next
    // owner takes the mutex as abandoned, as after a dead owner.
    int rc = close(m->fd);
    int err = errno;
    deleteobject(m);
    if (rc != 0 && err != EINTR) {
        SetLastError(win32error(err));
        return FALSE;
    }
    return TRUE;
}

portmutex *mutexhandle(HANDLE h) {
    return static_cast<portmutex *>(objectof(h, closemutex));
}

// Opens the lock file, creating it readable and writable by every user: a
// mutex is shared by all users of the machine, whatever the creator's umask.
// Never through a symbolic link, and only a regular file.
int openlock(const char *path) {
    for (;;) {
        int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fchmod(fd, 0666);
            return fd;
        }
        if (errno != EEXIST) return -1;
        // Without O_CREAT: a sticky folder may refuse O_CREAT on another
        // user's file (protected_regular) even when it exists.
        fd = open(path, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) return fd;
        if (errno != ENOENT) return -1;
        // Removed between the two opens: create again.
    }
}

enum class took { owned, timedout, failed };

// Tries for the flock until the deadline; `forever` ignores it.
took takeflock(int fd, std::chrono::steady_clock::time_point deadline, bool forever) {
    long napns = 100000; // 0.1 ms, doubled up to 2 ms
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return took::owned;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return took::failed;
        auto now = std::chrono::steady_clock::now();
        if (!forever && now >= deadline) return took::timedout;
        long ns = napns;
        if (!forever) {
            auto left =
                std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now).count();
            if (left < ns) ns = (long)left;
        }
        struct timespec nap = {0, ns};
        nanosleep(&nap, nullptr);
        if (napns < 2000000) napns *= 2;
    }
}

} // namespace

// The security attributes are not used: every user may open every mutex.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialowner, LPCSTR name) {
    int fd;
    if (name == nullptr || name[0] == 0) {
        // An unnamed mutex is this process's alone: a lock file without a name.
        fd = open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            seterrno();
            return nullptr;
        }
    } else {
        // Every lock file is machine-wide: both namespaces are that one.
        if (strncmp(name, "Local\\", 6) == 0)
            name += 6;
        else if (strncmp(name, "Global\\", 7) == 0)
            name += 7;
        if (strchr(name, '\\') != nullptr) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return nullptr;
        }
        char path[300];
        if (!lockpath(name, path, sizeof path)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return nullptr;
        }
        fd = openlock(path);
        if (fd < 0) {
            // A link or other object under the name: Windows answers a name
            // taken by an object of another kind with "invalid handle".
            if (errno == ELOOP)
                SetLastError(ERROR_INVALID_HANDLE);
            else
                seterrno(path);
            return nullptr;
        }
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    portmutex *m = newobject<portmutex>(closemutex);
    if (m == nullptr) {
        close(fd);
        return nullptr;
    }
    m->fd = fd;
    // Windows gives initial ownership only when it is free to take; a mutex
    // held elsewhere is opened without it.
    if (initialowner) WaitForSingleObject(m, 0);
    SetLastError(ERROR_SUCCESS);
    return m;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    portmutex *m = mutexhandle(object);
    if (m == nullptr) return WAIT_FAILED;
    const bool forever = milliseconds == INFINITE;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    const DWORD self = GetCurrentThreadId();

    std::unique_lock<std::mutex> lock(m->guard);
    if (m->depth > 0 && m->owner == self) {
        m->depth++; // a Windows mutex is recursive for its owner
        return WAIT_OBJECT_0;
    }
    while (m->depth > 0 || m->taking) {
        if (forever)
            m->freed.wait(lock);
        else if (m->freed.wait_until(lock, deadline) == std::cv_status::timeout &&
                 (m->depth > 0 || m->taking))
            return WAIT_TIMEOUT;
    }
    m->taking = true;
    lock.unlock();
    took result = takeflock(m->fd, deadline, forever);
    int err = errno;
    bool abandoned = false;
    if (result == took::owned) {
        unsigned char marker = 0;
        abandoned = pread(m->fd, &marker, 1, markeroffset) == 1 && marker == 1;
        marker = 1;
        if (pwrite(m->fd, &marker, 1, markeroffset) != 1) {
            // Without the marker nobody could tell our death from a release.
            flock(m->fd, LOCK_UN);
            err = errno;
            result = took::failed;
        }
    }
    lock.lock();
    m->taking = false;
    if (result == took::owned) {
        m->owner = self;
        m->depth = 1;
    } else {
        m->freed.notify_all();
    }
    switch (result) {
    case took::owned: return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
    case took::timedout: return WAIT_TIMEOUT;
    default: SetLastError(win32error(err)); return WAIT_FAILED;
    }
}

BOOL ReleaseMutex(HANDLE object) {
    portmutex *m = mutexhandle(object);
    if (m == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(m->guard);
    if (m->depth == 0 || m->owner != GetCurrentThreadId()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--m->depth > 0) return TRUE;
    // Marker first: once the flock is gone another owner may already write
    // it. The byte exists since the wait wrote it, so this write cannot run
    // out of space; should it fail all the same, the next owner merely takes
    // the mutex as abandoned, which is still ownership.
    unsigned char marker = 0;
    (void)!pwrite(m->fd, &marker, 1, markeroffset);
    flock(m->fd, LOCK_UN);
    m->owner = 0;
    m->freed.notify_all();
    return TRUE;
}
