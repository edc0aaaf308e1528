// Time on POSIX.
#include "port/win32.h"

#include <ctime>

// Milliseconds of the monotonic clock; the 32-bit value wraps as Windows'
// does after 49.7 days.
DWORD GetTickCount(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (DWORD)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}
