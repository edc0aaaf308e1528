// The two console routines of the platform layer's own: no single Win32 call
// does either, so both platforms implement them (port/posix/console.cpp,
// port/win32/console.cpp).
#pragma once

// Reads one key from the console keyboard without echo and without waiting
// for Enter. A key without a character gives 0 or 0xE0 first and its key
// code on the next call. Returns 0..255.
int rawkey(void);

// printf to the console device itself, so that it shows on the screen even
// when standard output is redirected.
int conprintf(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
