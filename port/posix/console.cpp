// The console on POSIX: the raw key read and output to the console device.
//
// The console is the controlling terminal (/dev/tty). A key read switches it
// to raw mode for that one read and restores it, as the Windows read switches
// the console mode. Cursor and function keys arrive as escape sequences and
// leave here as the Windows prefix (0xE0 for the gray keys, 0 for F1..F12)
// and the key's scan code. With no terminal at all, keys are the bytes of
// standard input, read through stdio so that a program mixing key reads with
// its own stdio reads of standard input loses nothing between them.
#include "port/console.h"
#include "port/stdinkey.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

int ttyfd = -2; // -2: not looked for yet; -1: no terminal
int pending = -1; // the second code of an extended key

int tty() {
    if (ttyfd == -2) ttyfd = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    return ttyfd;
}

// One byte from the terminal, waiting at most `ms` milliseconds (-1: for
// ever). Returns -1 on time-out, -2 when the terminal is gone.
int ttybyte(int fd, int ms) {
    for (;;) {
        struct pollfd p = {fd, POLLIN, 0};
        int r = poll(&p, 1, ms);
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) return -1;
        unsigned char c;
        ssize_t n = read(fd, &c, 1);
        if (n == 1) return c;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return -2;
    }
}

struct extkey {
    unsigned char prefix, code;
};

// Final byte of "ESC [ ... X" / "ESC O X" sequences.
bool letterkey(int c, extkey &k) {
    switch (c) {
    case 'A': k = {0xE0, 0x48}; return true; // up
    case 'B': k = {0xE0, 0x50}; return true; // down
    case 'C': k = {0xE0, 0x4D}; return true; // right
    case 'D': k = {0xE0, 0x4B}; return true; // left
    case 'H': k = {0xE0, 0x47}; return true; // home
    case 'F': k = {0xE0, 0x4F}; return true; // end
    case 'P': k = {0, 0x3B}; return true;    // F1
    case 'Q': k = {0, 0x3C}; return true;    // F2
    case 'R': k = {0, 0x3D}; return true;    // F3
    case 'S': k = {0, 0x3E}; return true;    // F4
    default: return false;
    }
}

// "ESC [ n ~" sequences.
bool tildekey(int n, extkey &k) {
    switch (n) {
    case 1: case 7: k = {0xE0, 0x47}; return true; // home
    case 2: k = {0xE0, 0x52}; return true;         // insert
    case 3: k = {0xE0, 0x53}; return true;         // delete
    case 4: case 8: k = {0xE0, 0x4F}; return true; // end
    case 5: k = {0xE0, 0x49}; return true;         // page up
    case 6: k = {0xE0, 0x51}; return true;         // page down
    case 11: case 12: case 13: case 14: case 15: k = {0, (unsigned char)(0x3B + n - 11)}; return true; // F1..F5
    case 17: case 18: case 19: case 20: case 21: k = {0, (unsigned char)(0x40 + n - 17)}; return true; // F6..F10
    case 23: k = {0, 0x57}; return true; // F11
    case 24: k = {0, 0x58}; return true; // F12
    default: return false;
    }
}

// After ESC: the rest of a sequence, or nothing when ESC was a key of its own.
// Returns the key's codes, 27 for a lone Esc, or -1 for a sequence that
// stands for no key we know (it is dropped, as Windows drops key presses
// without a character or code).
int escapekey(int fd) {
    int c = ttybyte(fd, 50);
    if (c < 0) return 27;
    extkey k;
    if (c == 'O') {
        int f = ttybyte(fd, 50);
        if (f >= 0 && letterkey(f, k)) {
            pending = k.code;
            return k.prefix;
        }
        return -1;
    }
    if (c != '[') {
        // Alt+key: the key itself follows; Esc is the key we report first.
        pending = c;
        return 27;
    }
    int param = 0, first = -1;
    for (int i = 0; i < 16; i++) { // bounded: a sequence is short
        int b = ttybyte(fd, 50);
        if (b < 0) return -1;
        if (b >= '0' && b <= '9') {
            if (param < 1000) param = param * 10 + (b - '0');
            continue;
        }
        if (b == ';') {
            if (first < 0) first = param; // modifiers follow; keep the key number
            param = 0;
            continue;
        }
        if (b >= 0x40 && b <= 0x7E) {
            int n = first >= 0 ? first : param;
            if ((b == '~' && tildekey(n, k)) || (b != '~' && letterkey(b, k))) {
                pending = k.code;
                return k.prefix;
            }
            return -1;
        }
    }
    return -1;
}

} // namespace

int rawkey(void) {
    fflush(stdout);
    if (pending >= 0) {
        int c = pending;
        pending = -1;
        return c;
    }
    int fd = tty();
    if (fd < 0) return stdinkey();

    struct termios old;
    bool haveold = tcgetattr(fd, &old) == 0;
    if (haveold) {
        struct termios raw = old;
        raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_iflag &= ~(tcflag_t)(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &raw);
    }
    int key;
    for (;;) {
        int c = ttybyte(fd, -1);
        if (c == -2) {
            key = 13; // the terminal hung up: end the line
            break;
        }
        if (haveold && old.c_cc[VERASE] != _POSIX_VDISABLE && c == old.c_cc[VERASE]) {
            key = 8;
            break;
        }
        if (c == 27) {
            key = escapekey(fd);
            if (key < 0) continue;
            break;
        }
        key = c;
        break;
    }
    if (haveold) tcsetattr(fd, TCSANOW, &old);
    return key;
}

int conprintf(const char *format, ...) {
    fflush(stdout);
    va_list args;
    va_start(args, format);
    int fd = tty();
    int n = fd >= 0 ? vdprintf(fd, format, args) : vprintf(format, args);
    va_end(args);
    return n;
}
