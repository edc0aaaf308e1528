// Win32 error numbers on POSIX: GetLastError/SetLastError and the one map from
// errno to the numbers the programs print. One flat switch with a default,
// so a reader sees every translation at once.
#include "port/posix/handle.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

thread_local DWORD lasterror = 0;

// Codes we do not translate stay recognisable: the customer bit of a Win32
// error number plus errno. They are in no text table, so they print as
// "Win32 error %u".
constexpr DWORD unmappedbase = 0x20000000u;

// Does the folder part of `path` exist? Decides between "File not found"
// and "Path not found" for ENOENT, as Windows does.
bool parentexists(const char *path) {
    const char *slash = strrchr(path, '/');
    if (slash == nullptr) return true; // the current folder
    size_t len = (size_t)(slash - path);
    if (len == 0) return true;        // the root
    char parent[4096];
    if (len >= sizeof parent) return false;
    memcpy(parent, path, len);
    parent[len] = 0;
    struct stat st;
    return stat(parent, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

DWORD win32error(int err, const char *path) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT:
        if (path != nullptr && (path[0] == 0 || !parentexists(path))) return ERROR_PATH_NOT_FOUND;
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC: return ERROR_DISK_FULL;
    case EBUSY: return ERROR_BUSY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return unmappedbase + (DWORD)err;
    }
}

void seterrno(const char *path) { lasterror = win32error(errno, path); }

DWORD GetLastError(void) { return lasterror; }

void SetLastError(DWORD code) { lasterror = code; }
