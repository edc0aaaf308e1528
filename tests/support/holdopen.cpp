// holdopen PATH ACCESS SHARE: opens PATH through the platform layer with the
// given access (r, w, rw) and share mode (a mix of r and w, or - for none),
// prints "held" or "failed N", and keeps the file open until standard input
// ends. Lets tests hold a file open in another process.
#include "port/win32.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (argc != 4) return 2;
    DWORD access = 0, share = 0;
    if (strchr(argv[2], 'r')) access |= GENERIC_READ;
    if (strchr(argv[2], 'w')) access |= GENERIC_WRITE;
    if (strchr(argv[3], 'r')) share |= FILE_SHARE_READ;
    if (strchr(argv[3], 'w')) share |= FILE_SHARE_WRITE;
    HANDLE h = CreateFileA(argv[1], access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        printf("failed %u\n", (unsigned)GetLastError());
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    CloseHandle(h);
    return 0;
}
