// holdmutex NAME HOW: takes the named mutex through the platform layer, prints
// "held" (or "busy" when another owner has it), and keeps it until standard
// input ends. Then HOW "release" releases it; "abandon" ends the process as
// its owner, as a holder that dies does. Lets tests hold a mutex in another
// process.
#include "port/win32.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    const bool release = strcmp(argv[2], "release") == 0;
    if (!release && strcmp(argv[2], "abandon") != 0) return 2;
    HANDLE m = CreateMutexA(nullptr, FALSE, argv[1]);
    if (m == nullptr) {
        printf("failed %u\n", (unsigned)GetLastError());
        return 1;
    }
    if (WaitForSingleObject(m, 0) != WAIT_OBJECT_0) {
        printf("busy\n");
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    if (!release) return 0; // still the owner: the mutex is left abandoned
    ReleaseMutex(m);
    CloseHandle(m);
    return 0;
}
