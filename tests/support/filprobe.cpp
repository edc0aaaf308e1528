// filprobe: drives the numbered-handle file layer from a script on standard
// input, one operation a line, and prints what each gave, so that tests can
// see the layer's lines and its exit status from outside:
//   open PATH TYPE1 TYPE2   -> "open N size S"
//   pos N DISPL TYPE        -> "pos"
//   rd N LENGTH             -> "rd BYTES"
//   wr N TEXT               -> "wr"
//   wrlen N LENGTH          -> "wrlen" (only lengths the layer refuses)
//   close N                 -> "close"
// Numbers may be decimal or 0x hexadecimal. The end of the script prints "end".
#include "blockcopy/filelayer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

DWORD number(const char *text) {
    return (DWORD)strtoul(text, nullptr, 0);
}

} // namespace

int main() {
    char line[512], op[16], a[256], b[64], c[64];
    static char buffer[4096];
    while (fgets(line, sizeof line, stdin) != nullptr) {
        a[0] = b[0] = c[0] = 0;
        if (sscanf(line, "%15s %255s %63s %63s", op, a, b, c) < 1) continue;
        if (strcmp(op, "open") == 0) {
            DWORD size = 0;
            DWORD n = filopen(a, atoi(b), atoi(c), &size);
            printf("open %lu size %lu\n", (unsigned long)n, (unsigned long)size);
        } else if (strcmp(op, "pos") == 0) {
            filpos(number(a), number(b), atoi(c));
            printf("pos\n");
        } else if (strcmp(op, "rd") == 0) {
            DWORD length = number(b);
            if (length > sizeof buffer && length <= fillimit) return 99; // the probe's own limit
            filrd(number(a), buffer, length);
            printf("rd %.*s\n", (int)length, buffer);
        } else if (strcmp(op, "wr") == 0) {
            filwr(number(a), b, (DWORD)strlen(b));
            printf("wr\n");
        } else if (strcmp(op, "wrlen") == 0) {
            DWORD length = number(b);
            if (length <= fillimit) return 99;
            filwr(number(a), buffer, length);
            printf("wrlen\n");
        } else if (strcmp(op, "close") == 0) {
            filclose(number(a));
            printf("close\n");
        } else {
            return 98;
        }
    }
    printf("end\n");
    return 0;
}
