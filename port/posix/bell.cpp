// MessageBeep on POSIX: the terminal's bell.
//
// Windows plays the sound on the machine; here the bell is a BEL byte written
// to the controlling terminal (/dev/tty), so it rings even when standard
// output goes to a file, and never lands in that file. Without a terminal
// there is nothing to ring, and nothing is written anywhere.
#include "port/posix/handle.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int bellfd = -2; // -2: not looked for yet; -1: no terminal
int bellerror = 0;

} // namespace

BOOL MessageBeep(UINT) {
    if (bellfd == -2) {
        bellfd = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (bellfd < 0) bellerror = errno;
    }
    if (bellfd < 0) {
        SetLastError(win32error(bellerror));
        return FALSE;
    }
    // What the program printed before the beep stands on the screen first.
    fflush(stdout);
    for (;;) {
        ssize_t n = write(bellfd, "\a", 1);
        if (n == 1) return TRUE;
        if (n < 0 && errno == EINTR) continue;
        seterrno();
        return FALSE;
    }
}
