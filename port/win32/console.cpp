// The console on Windows: the raw key read and output to the console device.
//
// Keys come from the console's input buffer (CONIN$), never from a redirected
// standard input; the console mode is 0 (no line input, no echo, no Ctrl+C
// processing) only while one key is read, and restored after it. Output goes
// to CONOUT$, so that it shows on the screen when standard output is
// redirected. A process without a console (started detached, as the tests
// start the programs, or as a service) reads its keys from standard input and
// writes to standard output instead, as the POSIX layer does without a
// terminal.
#include "port/console.h"
#include "port/stdinkey.h"

#include "port/win32.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

HANDLE conin = nullptr; // null: not opened yet; INVALID_HANDLE_VALUE: no console
HANDLE conout = nullptr;

// Codes still to be returned: the second code of an extended key, and the
// keys of an event's repeat count (a key held down may arrive as one event).
int pending[2];
int pendingcount = 0;
int pendingat = 0;
int repeatkey[2];
int repeatlength = 0;
unsigned repeatsleft = 0;

HANDLE opendevice(HANDLE &device, const char *name) {
    if (device == nullptr)
        device = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    return device;
}

// Keys that give neither a character nor an extended code: they are
// skipped, as are key releases. A key without a scan code is a character
// pasted or typed outside the console's code page.
bool silentkey(const KEY_EVENT_RECORD &key) {
    switch (key.wVirtualKeyCode) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LWIN:
    case VK_RWIN: return true;
    default: return key.wVirtualScanCode == 0;
    }
}

// The codes of one key press: its character, or the prefix (0xE0 for the
// enhanced keys of the gray block, 0 for the others such as F1..F12) and
// its scan code. Returns how many codes it stored.
int keycodes(const KEY_EVENT_RECORD &key, int codes[2]) {
    unsigned char c = (unsigned char)key.uChar.AsciiChar;
    if (c != 0) {
        codes[0] = c;
        return 1;
    }
    codes[0] = (key.dwControlKeyState & ENHANCED_KEY) ? 0xE0 : 0;
    codes[1] = key.wVirtualScanCode & 0xFF;
    return 2;
}

} // namespace

int rawkey(void) {
    fflush(stdout);
    if (pendingat < pendingcount) return pending[pendingat++];
    if (repeatsleft > 0) {
        repeatsleft--;
        for (int i = 0; i < repeatlength; i++)
            pending[i] = repeatkey[i];
        pendingcount = repeatlength;
        pendingat = 1;
        return pending[0];
    }
    HANDLE in = opendevice(conin, "CONIN$");
    if (in == INVALID_HANDLE_VALUE) return stdinkey();

    DWORD oldmode = 0;
    BOOL haveold = GetConsoleMode(in, &oldmode);
    SetConsoleMode(in, 0);
    int key = 13;
    for (;;) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputA(in, &record, 1, &got)) break; // the console is gone: end the line
        if (got == 0 || record.EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD &k = record.Event.KeyEvent;
        if (!k.bKeyDown || silentkey(k)) continue;
        pendingcount = keycodes(k, pending);
        pendingat = 1;
        key = pending[0];
        if (k.wRepeatCount > 1) {
            repeatlength = pendingcount;
            for (int i = 0; i < pendingcount; i++)
                repeatkey[i] = pending[i];
            repeatsleft = k.wRepeatCount - 1u;
        }
        break;
    }
    if (haveold) SetConsoleMode(in, oldmode);
    return key;
}

int conprintf(const char *format, ...) {
    fflush(stdout);
    va_list args;
    va_start(args, format);
    HANDLE out = opendevice(conout, "CONOUT$");
    if (out == INVALID_HANDLE_VALUE) {
        int n = vprintf(format, args);
        va_end(args);
        return n;
    }
    // The echo is a character or two; a longer text is formatted on the heap.
    char local[256];
    va_list again;
    va_copy(again, args);
    int n = vsnprintf(local, sizeof local, format, args);
    va_end(args);
    char *text = local;
    if (n >= (int)sizeof local) {
        text = static_cast<char *>(malloc((size_t)n + 1));
        if (text == nullptr)
            n = -1;
        else
            vsnprintf(text, (size_t)n + 1, format, again);
    }
    va_end(again);
    if (n > 0) {
        DWORD written = 0;
        if (!WriteConsoleA(out, text, (DWORD)n, &written, nullptr)) n = -1;
    }
    if (text != local) free(text);
    return n;
}
