// inputprobe MAXLENGTH MODE [DEFAULT] [COUNT]: prints the prompt "> " on
// standard output, reads COUNT lines (1 by default) with getinput and prints
// each stored line between brackets, bytes outside 32..126 as \xNN.
#include "common/input.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
    if (argc < 3) return 2;
    int maxlength = atoi(argv[1]);
    unsigned mode = (unsigned)atoi(argv[2]);
    int count = argc > 4 ? atoi(argv[4]) : 1;
    char buffer[400];
    if (maxlength > (int)sizeof buffer) return 2;
    for (int i = 0; i < count; i++) {
        snprintf(buffer, sizeof buffer, "%s", argc > 3 ? argv[3] : "");
        printf("> ");
        getinput(buffer, maxlength, mode);
        printf("[");
        for (const char *p = buffer; *p != 0; p++) {
            unsigned char c = (unsigned char)*p;
            if (c >= 32 && c < 127)
                putchar(c);
            else
                printf("\\x%02X", c);
        }
        printf("]\n");
    }
    return 0;
}
