// File identity and length on POSIX.
//
// Map of this file:
//   GetFileInformationByHandle   fstat(2) in Windows' record
//   SetEndOfFile                 ftruncate(2) at the file position
//
// Quirks handled here, each where it happens:
//   - Windows names a file by volume serial number and 64-bit file index; the
//     nearest POSIX pair is st_dev and st_ino. st_dev is 64 bits wide and is
//     folded into 32: two files can only seem the same when they are on two
//     devices whose folded numbers collide and have the same inode number, and
//     a caller that refuses to touch "the same" file errs on the safe side.
//   - POSIX keeps no archive bit. Windows sets it on every file it creates or
//     writes, so a file (not a folder) reports FILE_ATTRIBUTE_ARCHIVE, as
//     Wine does, and never FILE_ATTRIBUTE_NORMAL, which means no bit at all.
//   - POSIX keeps no creation time in struct stat; the last status change
//     stands in for it.
#include "port/posix/handle.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 100-nanosecond ticks since 1601-01-01, the epoch of FILETIME.
FILETIME filetime(const struct timespec &t) {
    constexpr int64_t from1601 = 11644473600LL; // seconds from 1601 to 1970
    uint64_t ticks = (uint64_t)(t.tv_sec + from1601) * 10000000u + (uint64_t)t.tv_nsec / 100u;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

} // namespace

BOOL GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION information) {
    int fd;
    DWORD access;
    if (!fileof(h, &fd, &access)) return FALSE;
    if (information == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        seterrno();
        return FALSE;
    }
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    uint64_t dev = (uint64_t)st.st_dev;
    uint64_t ino = (uint64_t)st.st_ino;
    uint64_t size = S_ISREG(st.st_mode) ? (uint64_t)st.st_size : 0;

    information->dwFileAttributes = attributes;
    information->ftCreationTime = filetime(st.st_ctim);
    information->ftLastAccessTime = filetime(st.st_atim);
    information->ftLastWriteTime = filetime(st.st_mtim);
    information->dwVolumeSerialNumber = (DWORD)(dev ^ (dev >> 32));
    information->nFileSizeHigh = (DWORD)(size >> 32);
    information->nFileSizeLow = (DWORD)size;
    information->nNumberOfLinks = (DWORD)st.st_nlink;
    information->nFileIndexHigh = (DWORD)(ino >> 32);
    information->nFileIndexLow = (DWORD)ino;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetEndOfFile(HANDLE h) {
    int fd;
    DWORD access;
    if (!fileof(h, &fd, &access)) return FALSE;
    // Windows needs a handle opened for writing; the descriptor may be
    // read-write for the share marks' sake, so the access asked decides.
    if (!(access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    off_t at = lseek(fd, 0, SEEK_CUR);
    // A device or pipe has no length to set (EINVAL, ESPIPE); the error map
    // reports that as Windows would, as a failure.
    if (at < 0 || ftruncate(fd, at) != 0) {
        seterrno();
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
