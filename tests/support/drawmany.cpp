// drawmany PATH DIGITAT DRAWS: takes DRAWS random draws on the state files
// PATH with '1' and '2' at index DIGITAT, as logonx draws them. Prints whether
// every draw advanced the second file, so that tests can run many at once.
#include "logonx/sysrand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
    if (argc != 4) return 2;
    int digitat = atoi(argv[2]), draws = atoi(argv[3]);
    size_t length = strlen(argv[1]);
    if (digitat < 0 || (size_t)digitat >= length || length >= 4096) return 2;
    int failed = 0;
    for (int k = 0; k < draws; k++) {
        char path[4096];
        memcpy(path, argv[1], length + 1);
        // The status is the second file's; the first file's words tell on it.
        const DWORD values[3] = {GetTickCount(), GetTickCount(), 314159};
        uint8_t out[32];
        if (sysrandat(path, digitat, values, 3, out) != 0) failed++;
    }
    if (failed == 0)
        printf("all draws advanced\n");
    else
        printf("%d draws failed\n", failed);
    return 0;
}
