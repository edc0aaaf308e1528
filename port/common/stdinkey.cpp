// Keys without a console, the same on both platforms.
#include "port/stdinkey.h"

#include <cstdio>

int stdinkey(void) {
    int c = getchar();
    if (c == EOF || c == '\n') return 13;
    if (c == '\r') {
        int next = getchar();
        if (next != '\n' && next != EOF) ungetc(next, stdin);
        return 13;
    }
    return c;
}
