// Time and system facts on POSIX.
//
// Map of this file:
//   GetLocalTime          local calendar time with milliseconds
//   GetCurrentProcessId   getpid
//   GetCurrentThreadId    the kernel's thread id (gettid), as Windows gives a
//                         system-wide thread number
//   GetDiskFreeSpaceA     statvfs of the given path
//   GlobalMemoryStatus    physical memory from sysconf and /proc/meminfo, swap
//                         from sysinfo
//
// Quirks handled here, each where it happens:
//   - Windows counts clusters in 32 bits; statvfs counts may not fit and are
//     clamped, as Windows clamps its own legacy figures.
//   - "Available" memory on Windows includes the standby cache; Linux calls
//     that MemAvailable, which only /proc/meminfo tells.
#include "port/posix/handle.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

void GetLocalTime(LPSYSTEMTIME time) {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    time_t seconds = ts.tv_sec;
    struct tm local;
    if (localtime_r(&seconds, &local) == nullptr) memset(&local, 0, sizeof local);
    time->wYear = (WORD)(local.tm_year + 1900);
    time->wMonth = (WORD)(local.tm_mon + 1);
    time->wDayOfWeek = (WORD)local.tm_wday; // 0 = Sunday on both
    time->wDay = (WORD)local.tm_mday;
    time->wHour = (WORD)local.tm_hour;
    time->wMinute = (WORD)local.tm_min;
    // A leap second (60) does not exist on Windows.
    time->wSecond = (WORD)(local.tm_sec > 59 ? 59 : local.tm_sec);
    time->wMilliseconds = (WORD)(ts.tv_nsec / 1000000);
}

DWORD GetCurrentProcessId(void) {
    return (DWORD)getpid();
}

DWORD GetCurrentThreadId(void) {
    return (DWORD)gettid();
}

namespace {

DWORD clamp32(unsigned long long value) {
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)value;
}

SIZE_T clampsize(unsigned long long value) {
    return value > (unsigned long long)SIZE_MAX ? SIZE_MAX : (SIZE_T)value;
}

// MemAvailable in bytes, or false where the kernel does not tell it.
bool memavailable(unsigned long long &bytes) {
    FILE *f = fopen("/proc/meminfo", "re");
    if (f == nullptr) return false;
    char line[128];
    bool found = false;
    while (!found && fgets(line, sizeof line, f) != nullptr) {
        unsigned long long kib;
        if (sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
            bytes = kib * 1024;
            found = true;
        }
    }
    fclose(f);
    return found;
}

} // namespace

// A "cluster" is the file system's fragment size (f_frsize), made of 512-byte
// sectors; free clusters are those an unprivileged user may take (f_bavail).
BOOL GetDiskFreeSpaceA(LPCSTR rootpath, LPDWORD sectorspercluster, LPDWORD bytespersector,
                       LPDWORD freeclusters, LPDWORD totalclusters) {
    const char *path = rootpath != nullptr ? rootpath : "."; // null: the current disk
    struct statvfs vfs;
    int rc;
    do
        rc = statvfs(path, &vfs);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        seterrno(path);
        return FALSE;
    }
    unsigned long long cluster = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    if (sectorspercluster != nullptr)
        *sectorspercluster = clamp32(cluster >= 512 ? cluster / 512 : 1);
    if (bytespersector != nullptr) *bytespersector = cluster >= 512 ? 512 : (DWORD)cluster;
    if (freeclusters != nullptr) *freeclusters = clamp32(vfs.f_bavail);
    if (totalclusters != nullptr) *totalclusters = clamp32(vfs.f_blocks);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// Windows fills the record whatever dwLength says; so do we. The page file
// figures are Windows' commit limit: physical memory plus swap.
void GlobalMemoryStatus(LPMEMORYSTATUS status) {
    unsigned long long page = (unsigned long long)sysconf(_SC_PAGESIZE);
    long physpages = sysconf(_SC_PHYS_PAGES);
    unsigned long long total = physpages > 0 ? (unsigned long long)physpages * page : 0;
    unsigned long long avail;
    if (!memavailable(avail)) {
        // Without /proc: the free pages alone, the nearest figure POSIX has.
        long freepages = sysconf(_SC_AVPHYS_PAGES);
        avail = freepages > 0 ? (unsigned long long)freepages * page : 0;
    }
    if (avail > total) avail = total;
    unsigned long long swaptotal = 0, swapfree = 0;
    struct sysinfo info;
    if (sysinfo(&info) == 0) {
        swaptotal = (unsigned long long)info.totalswap * info.mem_unit;
        swapfree = (unsigned long long)info.freeswap * info.mem_unit;
    }
    // The address space a process may use: the user half, less what it maps.
    unsigned long long vtotal = sizeof(void *) >= 8 ? (1ull << 47) : (1ull << 31);
    unsigned long long vused = 0;
    if (FILE *f = fopen("/proc/self/statm", "re")) {
        unsigned long long pages;
        if (fscanf(f, "%llu", &pages) == 1) vused = pages * page;
        fclose(f);
    }
    status->dwMemoryLoad = total != 0 ? (DWORD)((total - avail) * 100 / total) : 0;
    status->dwTotalPhys = clampsize(total);
    status->dwAvailPhys = clampsize(avail);
    status->dwTotalPageFile = clampsize(total + swaptotal);
    status->dwAvailPageFile = clampsize(avail + swapfree);
    status->dwTotalVirtual = clampsize(vtotal);
    status->dwAvailVirtual = clampsize(vused < vtotal ? vtotal - vused : 0);
}
