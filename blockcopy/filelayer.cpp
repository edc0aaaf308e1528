// The numbered-handle file layer.
#include "blockcopy/filelayer.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct filslot {
    BYTE inuse;
    HANDLE handle;
};

// Process-wide. Slots from highwater on are never in use.
filslot slots[filmax];
DWORD highwater = 0;

// Every failure ends here, after the failure's own line. exit() flushes
// standard output.
[[noreturn]] void filterminate() {
    printf("   Program terminated\n");
    exit(1);
}

} // namespace

void filtab(int operation, DWORD *number, HANDLE *handle) {
    if (operation == filregister) {
        DWORD slot = 0;
        while (slot < highwater && slots[slot].inuse)
            slot++;
        if (slot == highwater) {
            if (highwater >= filmax) {
                printf("** filopen() error: Too many open files. Max is %lu\n",
                       (unsigned long)filmax);
                filterminate();
            }
            highwater++;
        }
        slots[slot].inuse = 1;
        slots[slot].handle = *handle;
        *number = slot + 1;
        return;
    }
    DWORD n = *number;
    if (n == 0 || n > highwater || !slots[n - 1].inuse) {
        printf("** Error: Invalid file handle (for filrd() etc.): %lu\n", (unsigned long)n);
        filterminate();
    }
    *handle = slots[n - 1].handle;
    if (operation == filrelease) {
        slots[n - 1].inuse = 0;
        slots[n - 1].handle = nullptr;
        // Lowered by one only: free slots below stay in the searched range.
        if (n == highwater) highwater--;
    }
}

DWORD filopen(const char *path, int type1, int type2, DWORD *size) {
    if (type2 != 0 || (type1 != 0 && type1 != 1)) {
        printf("** Error: Invalid type1 or type2 arg in call to filopen()\n");
        filterminate();
    }
    DWORD access = type1 == 0 ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        printf("** Error in filopen(): unable to open file %s\n", path);
        filterminate();
    }
    // Without a high word, a file of 4 GB or more has no size to give.
    DWORD end = SetFilePointer(handle, 0, nullptr, FILE_END);
    if (end == INVALID_SET_FILE_POINTER) {
        printf("** Error in filopen(): unable to get size of file %s\n", path);
        filterminate();
    }
    SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    *size = end;
    DWORD number = 0;
    filtab(filregister, &number, &handle);
    return number;
}

void filpos(DWORD number, DWORD displ, int type) {
    if (type != 0) {
        printf("** Error: Invalid type arg in call to filpos()\n");
        filterminate();
    }
    if (displ > fillimit) {
        printf("** Error: Invalid displ arg in call to filpos()\n");
        filterminate();
    }
    HANDLE handle;
    filtab(fillookup, &number, &handle);
    if (SetFilePointer(handle, (LONG)displ, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        printf("** Error in filpos(): unable to set file position\n");
        filterminate();
    }
}

void filrd(DWORD number, void *buffer, DWORD length) {
    if (length > fillimit) {
        printf("** Error in filrd(): length exceeds 0x7FFFFFFF\n");
        filterminate();
    }
    HANDLE handle;
    filtab(fillookup, &number, &handle);
    DWORD done = 0;
    if (!ReadFile(handle, buffer, length, &done, nullptr) || done != length) {
        printf("** Error in filrd(): Error reading from the file\n");
        filterminate();
    }
}

void filwr(DWORD number, const void *buffer, DWORD length) {
    if (length > fillimit) {
        printf("** Error in filwr(): length exceeds 0x7FFFFFFF\n");
        filterminate();
    }
    HANDLE handle;
    filtab(fillookup, &number, &handle);
    DWORD done = 0;
    if (!WriteFile(handle, buffer, length, &done, nullptr) || done != length) {
        printf("** Error in filwr(): Error writing to the file\n");
        filterminate();
    }
}

void filclose(DWORD number) {
    HANDLE handle;
    filtab(filrelease, &number, &handle);
    if (!CloseHandle(handle)) {
        printf("** Error in filclose(): unable to close the file\n");
        filterminate();
    }
}
