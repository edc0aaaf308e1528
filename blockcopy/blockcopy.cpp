// The block copy program and its answers.
#include "blockcopy/blockcopy.h"

#include "blockcopy/filelayer.h"

#include <cstdint>
#include <cstdio>

namespace {

bool isspaceitem(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The byte displacement of block start + i without wrap-around. One that does
// not fit 32 bits is passed as the largest value, which filpos refuses as it
// refuses every displacement above 0x7FFFFFFF.
DWORD displacement(DWORD start, DWORD i) {
    uint64_t displ = ((uint64_t)start + i) * blocksize;
    return displ > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)displ;
}

void showsize(DWORD size) {
    printf("File size = %lu bytes = %lu blocks\n", (unsigned long)size, (unsigned long)(size >> 9));
}

} // namespace

int readitem(char *item, size_t size) {
    // The prompt stands on the screen before the answer is read.
    fflush(stdout);
    int c;
    do
        c = getchar();
    while (c != EOF && isspaceitem(c));
    if (c == EOF) return -1;
    size_t len = 0;
    while (c != EOF && !isspaceitem(c)) {
        if (len + 1 >= size) {
            if (size > 0) item[len] = 0;
            return -2;
        }
        item[len++] = (char)c;
        c = getchar();
    }
    item[len] = 0;
    return (int)len;
}

bool readnumber(DWORD *value) {
    char item[namesize];
    int len = readitem(item, sizeof item);
    if (len == -1) {
        printf("** Error: end of input where a number was expected\n");
        return false;
    }
    // Every character of the word counts: a zero byte inside it from piped
    // input is no end of the number.
    const char *at = item;
    const char *end = item + (len > 0 ? len : 0);
    bool negative = *at == '-';
    if (len > 0 && (*at == '-' || *at == '+')) at++;
    uint64_t magnitude = 0;
    bool valid = at < end;
    for (; valid && at < end; at++) {
        if (*at < '0' || *at > '9')
            valid = false;
        else if ((magnitude = magnitude * 10 + (uint64_t)(*at - '0')) > 0xFFFFFFFFu)
            valid = false;
    }
    if (!valid) {
        printf("** Error: not a number from -4294967295 to 4294967295: %s%s\n", item,
               len == -2 ? "..." : "");
        return false;
    }
    *value = negative ? (DWORD)(0x100000000u - magnitude) : (DWORD)magnitude;
    return true;
}

bool readname(char *name, size_t size) {
    int len = readitem(name, size);
    if (len == -1) {
        printf("** Error: end of input where a file name was expected\n");
        return false;
    }
    if (len == -2) {
        printf("** Error: file name longer than %lu characters\n", (unsigned long)(size - 1));
        return false;
    }
    return true;
}

int blockcopy() {
    printf("Copy 512-byte blocks from one file to another\n");
    char name[namesize];
    printf("Enter source file name: ");
    if (!readname(name, sizeof name)) return blockbadanswer;
    DWORD sourcesize;
    DWORD source = filopen(name, 0, 0, &sourcesize);
    showsize(sourcesize);

    DWORD sourcestart, count, targetstart;
    printf("Enter start block # (0,1,..) in source file: ");
    if (!readnumber(&sourcestart)) return blockbadanswer;
    printf("Enter # of blocks to copy: ");
    if (!readnumber(&count)) return blockbadanswer;
    // Only whole blocks of the source can be copied.
    if ((uint64_t)sourcestart + count > (sourcesize >> 9)) {
        printf("** Error: specified blocks exceed end of source file\n");
        return blockrange;
    }

    printf("Enter target file name: ");
    if (!readname(name, sizeof name)) return blockbadanswer;
    DWORD targetsize;
    DWORD target = filopen(name, 1, 0, &targetsize);
    showsize(targetsize);
    printf("Enter start block # (0,1,..) in target file: ");
    if (!readnumber(&targetstart)) return blockbadanswer;

    // Each block positioned in both files before it moves.
    BYTE block[blocksize];
    for (DWORD i = 0; i < count; i++) {
        filpos(source, displacement(sourcestart, i), 0);
        filrd(source, block, blocksize);
        filpos(target, displacement(targetstart, i), 0);
        filwr(target, block, blocksize);
    }
    filclose(source);
    filclose(target);
    printf("%lu blocks copied from block %lu to block %lu\n", (unsigned long)count,
           (unsigned long)sourcestart, (unsigned long)targetstart);
    return blockok;
}
