// Win32 files on POSIX.
//
// Map of this file:
//   share modes      Windows' sharing rule between opens, kept with
//                    open-file-description locks
//   CreateFileA      dispositions, folders, devices, the share check
//   ReadFile, WriteFile, SetFilePointer, GetFileSize, GetFileType
//
// Quirks handled here, each where it happens:
//   - open(2) of a folder for reading succeeds; CreateFileA must fail with 5.
//   - open(2) of a FIFO blocks until a peer comes; we open without blocking.
//   - SetFilePointer/GetFileSize return 0xFFFFFFFF for a valid value too;
//     callers tell failure by GetLastError, so success with that value sets
//     it to 0. Any other successful result leaves it alone, as on Windows.
//   - A failed SetFilePointer leaves the pointer alone: the end of the file
//     is taken from fstat, not from an lseek that would move there.
//   - INVALID_HANDLE_VALUE is the current process's pseudo handle on
//     Windows: CloseHandle of it does nothing and succeeds.
//   - FILE_FLAG_OPEN_REPARSE_POINT stands for "do not follow a symbolic link":
//     Windows would open the link itself; POSIX cannot, so the open fails.
#include "port/posix/handle.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct portfile : portobject {
    int fd;
    DWORD access;  // GENERIC_READ / GENERIC_WRITE as asked, not as opened
    bool regular;  // a regular file: reads are filled to the count asked
};

// ---- share modes ------------------------------------------------------------
//
// Every open made through the layer holds shared read locks on a few bytes far
// beyond any file's data: one for each access it has and one for each access
// it denies to others. A new open conflicts when it asks for an access that
// somebody denies, or denies an access that somebody has. Read locks never
// conflict with each other, so the bytes only mark; F_OFD_GETLK with a write
// lock finds whether any other open holds a mark. OFD locks belong to the open
// file description, so two opens inside one process see each other as well.
constexpr off_t sharebase = (off_t)0x7FFFFFFF00000000LL;
enum : off_t { hasread, haswrite, deniesread, denieswrite };

bool markheld(int fd, off_t mark) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = sharebase + mark;
    fl.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

bool takemark(int fd, off_t mark) {
    struct flock fl = {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = sharebase + mark;
    fl.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// Checks the new open against the others and takes its marks, atomically:
// the flock gate on the file serialises check-and-take between opens and does
// not interact with the byte locks. Returns false for a sharing violation.
bool sharecheck(int fd, DWORD access, DWORD sharemode) {
    bool wantread = (access & GENERIC_READ) != 0;
    bool wantwrite = (access & GENERIC_WRITE) != 0;
    bool shareread = (sharemode & FILE_SHARE_READ) != 0;
    bool sharewrite = (sharemode & FILE_SHARE_WRITE) != 0;
    // An open without data access neither conflicts nor is conflicted with.
    if (!wantread && !wantwrite) return true;

    while (flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) return true; // no gate on this file system: nothing to enforce
    bool conflict = (wantread && markheld(fd, deniesread)) ||
                    (wantwrite && markheld(fd, denieswrite)) ||
                    (!shareread && markheld(fd, hasread)) ||
                    (!sharewrite && markheld(fd, haswrite));
    if (!conflict) {
        // A read lock needs a descriptor open for reading; the layer opens one
        // whenever the file permits. A write-only descriptor carries no marks.
        if (wantread) takemark(fd, hasread);
        if (wantwrite) takemark(fd, haswrite);
        if (!shareread) takemark(fd, deniesread);
        if (!sharewrite) takemark(fd, denieswrite);
    }
    flock(fd, LOCK_UN);
    return !conflict;
}

BOOL closefile(portobject *object) {
    portfile *file = static_cast<portfile *>(object);
    int rc = close(file->fd);
    int err = errno;
    deleteobject(file);
    if (rc != 0 && err != EINTR) {
        SetLastError(win32error(err));
        return FALSE;
    }
    return TRUE;
}

portfile *filehandle(HANDLE h) { return static_cast<portfile *>(objectof(h, closefile)); }

int openflags(DWORD access) {
    return (access & GENERIC_WRITE) ? O_RDWR : O_RDONLY;
}

// open(2) for one disposition; sets `existed` where Windows reports it.
int openfor(const char *name, DWORD access, DWORD disposition, DWORD attributes, bool &existed) {
    int base = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    // A link in the last component then fails with ELOOP, on every disposition.
    if (attributes & FILE_FLAG_OPEN_REPARSE_POINT) base |= O_NOFOLLOW;
    existed = false;
    for (;;) {
        int flags = openflags(access) | base;
        int fd;
        switch (disposition) {
        case CREATE_NEW: return open(name, flags | O_CREAT | O_EXCL, 0666);
        case OPEN_EXISTING: fd = open(name, flags);
            // Write-only access to a file we may not read: no read locks then.
            if (fd < 0 && errno == EACCES && !(access & GENERIC_READ))
                fd = open(name, O_WRONLY | base);
            return fd;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            fd = open(name, flags | O_CREAT | O_EXCL, 0666);
            if (fd >= 0 || errno != EEXIST) return fd;
            fd = open(name, flags);
            if (fd < 0 && errno == EACCES && !(access & GENERIC_READ))
                fd = open(name, O_WRONLY | base);
            if (fd >= 0) {
                existed = true;
                return fd;
            }
            if (errno != ENOENT) return fd;
            continue; // removed between the two opens: create again
        default: errno = EINVAL; return -1;
        }
    }
}

} // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD sharemode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD attributes, HANDLE) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (name[0] == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool existed = false;
    int fd = openfor(name, access, disposition, attributes, existed);
    if (fd < 0) {
        seterrno(name);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        seterrno(name);
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    if (S_ISDIR(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // Blocking from here on, as a Windows handle reads and writes.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    bool regular = S_ISREG(st.st_mode);
    if (regular && !sharecheck(fd, access, sharemode)) {
        close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    // Replace only after the share check: a refused open leaves the file whole.
    if (disposition == CREATE_ALWAYS && existed && regular && ftruncate(fd, 0) != 0) {
        seterrno(name);
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    portfile *file = newobject<portfile>(closefile);
    if (file == nullptr) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    file->fd = fd;
    file->access = access;
    file->regular = regular;
    // Windows reports an existing file on these dispositions through the
    // last error of a successful call.
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file;
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toread, LPDWORD read, LPOVERLAPPED) {
    if (read != nullptr) *read = 0;
    portfile *file = filehandle(h);
    if (file == nullptr) return FALSE;
    if (!(file->access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A file gives the whole count up to its end; a device or pipe gives what
    // it has, as Windows does.
    char *at = static_cast<char *>(buffer);
    DWORD done = 0;
    while (done < toread) {
        size_t want = toread - done;
        if (want > (size_t)SSIZE_MAX) want = SSIZE_MAX;
        ssize_t n = ::read(file->fd, at + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (read != nullptr) *read = done;
            seterrno();
            return FALSE;
        }
        if (n == 0) break;
        done += (DWORD)n;
        if (!file->regular) break;
    }
    if (read != nullptr) *read = done;
    return TRUE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD towrite, LPDWORD written, LPOVERLAPPED) {
    if (written != nullptr) *written = 0;
    portfile *file = filehandle(h);
    if (file == nullptr) return FALSE;
    if (!(file->access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const char *at = static_cast<const char *>(buffer);
    DWORD done = 0;
    while (done < towrite) {
        size_t want = towrite - done;
        if (want > (size_t)SSIZE_MAX) want = SSIZE_MAX;
        ssize_t n = ::write(file->fd, at + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written != nullptr) *written = done;
            seterrno();
            return FALSE;
        }
        done += (DWORD)n;
    }
    if (written != nullptr) *written = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE h, LONG distance, PLONG distancehigh, DWORD method) {
    portfile *file = filehandle(h);
    if (file == nullptr) return INVALID_SET_FILE_POINTER;
    // With a high word the distance is one signed 64-bit value; without, the
    // low word alone is signed.
    int64_t move = distancehigh != nullptr
                       ? (int64_t)(((uint64_t)(uint32_t)*distancehigh << 32) | (uint32_t)distance)
                       : (int64_t)distance;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR
                 : method == FILE_END ? SEEK_END : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    // The base is looked up without moving: a call that fails leaves the
    // pointer where it was, as on Windows (lseek to the end would move it).
    off_t from = 0;
    if (whence == SEEK_CUR) {
        from = lseek(file->fd, 0, SEEK_CUR);
    } else if (whence == SEEK_END) {
        struct stat st;
        from = fstat(file->fd, &st) == 0 ? st.st_size : -1;
    }
    if (from < 0) {
        seterrno();
        return INVALID_SET_FILE_POINTER;
    }
    if (move > 0 && from > INT64_MAX - move) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target = from + move;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high word a position past 4 GB cannot be told back.
    if (distancehigh == nullptr && target > (int64_t)0xFFFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(file->fd, (off_t)target, SEEK_SET) < 0) {
        seterrno();
        return INVALID_SET_FILE_POINTER;
    }
    if (distancehigh != nullptr) *distancehigh = (LONG)(uint32_t)((uint64_t)target >> 32);
    if ((DWORD)(uint64_t)target == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
    return (DWORD)(uint64_t)target;
}

DWORD GetFileSize(HANDLE h, LPDWORD sizehigh) {
    portfile *file = filehandle(h);
    if (file == nullptr) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(file->fd, &st) != 0) {
        seterrno();
        return INVALID_FILE_SIZE;
    }
    uint64_t size = S_ISREG(st.st_mode) ? (uint64_t)st.st_size : 0;
    if (sizehigh != nullptr) *sizehigh = (DWORD)(size >> 32);
    if ((DWORD)size == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
    return (DWORD)size;
}

bool fileof(HANDLE h, int *fd, DWORD *access) {
    portfile *file = filehandle(h);
    if (file == nullptr) return false;
    *fd = file->fd;
    *access = file->access;
    return true;
}

namespace {
std::mutex objectslock;
portobject *objects = nullptr;
} // namespace

void linkobject(portobject *object) {
    std::lock_guard<std::mutex> hold(objectslock);
    object->prev = nullptr;
    object->next = objects;
    if (objects != nullptr) objects->prev = object;
    objects = object;
}

void unlinkobject(portobject *object) {
    std::lock_guard<std::mutex> hold(objectslock);
    if (object->prev != nullptr) object->prev->next = object->next;
    else objects = object->next;
    if (object->next != nullptr) object->next->prev = object->prev;
}

portobject *objectof(HANDLE h, BOOL (*close)(portobject *object)) {
    portobject *object = static_cast<portobject *>(h);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || object->close != close) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

// Regular files are disks, as on Windows; terminals and other character
// devices are characters; FIFOs and sockets are pipes. Anything else (a block
// device) has no Windows counterpart that a program could rely on.
DWORD GetFileType(HANDLE h) {
    portfile *file = filehandle(h);
    if (file == nullptr) return FILE_TYPE_UNKNOWN;
    struct stat st;
    if (fstat(file->fd, &st) != 0) {
        seterrno();
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(st.st_mode)) return FILE_TYPE_DISK;
    if (S_ISCHR(st.st_mode)) return FILE_TYPE_CHAR;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

BOOL CloseHandle(HANDLE h) {
    if (h == INVALID_HANDLE_VALUE) return TRUE; // the process's own handle: nothing to close
    if (h == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    portobject *object = static_cast<portobject *>(h);
    return object->close(object);
}
