// Comparing one pair of files, and the pause after a pair that went wrong.
#include "samefile/samefile.h"

#include "common/texts.h"
#include "port/console.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int esckey = 27;

// A 64-bit displacement or size as the two 32-bit words that the Win32
// calls use; a carry out of the low word goes into the high word.
struct wide {
    DWORD high = 0, low = 0;
};

void addto(wide &value, DWORD count) {
    DWORD low = value.low + count;
    if (low < value.low) value.high++;
    value.low = low;
}

// Index of the first differing byte of two chunks of m bytes, or m when they
// are equal. The whole chunk is compared first; only one known to differ is
// looked at byte by byte.
DWORD firstdiffer(const BYTE *a, const BYTE *b, DWORD m) {
    if (memcmp(a, b, m) == 0) return m;
    DWORD i = 0;
    while (a[i] == b[i])
        i++;
    return i;
}

// Reports a failed call on one of the files with the system's code and text.
void failure(const char *what) {
    DWORD code = GetLastError(); // right after the call that failed
    char text[70];
    errtext(code, text, sizeof text);
    printf("** %s: Error %lu - %s\n", what, (unsigned long)code, text);
}

void beep(const sameoptions &options, UINT type) {
    if (!options.nobeep) MessageBeep(type);
}

// The ending of a pair that could not be compared.
int failed(const sameoptions &options) {
    beep(options, MB_OK);
    return pausekey(options) ? resultstopped : resultfailed;
}

// Text of a 64-bit value: " %.2lf MB = %.0lf bytes ".
void widetext(const wide &value, char *text, unsigned size) {
    sizetext(value.high, value.low, text, size, 1);
}

} // namespace

int cmpfiles(const sameoptions &options, const char *path1, const char *path2) {
    printf("\nComparing files %s and %s\n", path1, path2);
    HANDLE file1 =
        CreateFileA(path1, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file1 == INVALID_HANDLE_VALUE) {
        failure("Cannot open 1st file");
        return failed(options);
    }
    HANDLE file2 =
        CreateFileA(path2, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file2 == INVALID_HANDLE_VALUE) {
        failure("Cannot open 2nd file");
        CloseHandle(file1);
        return failed(options);
    }

    BYTE buffer1[chunksize], buffer2[chunksize];
    DWORD count1 = 0, count2 = 0;
    wide at; // displacement of the chunks in the buffers
    if (!ReadFile(file1, buffer1, chunksize, &count1, nullptr)) {
        failure("Error reading 1st file");
        CloseHandle(file1);
        CloseHandle(file2);
        return failed(options);
    }
    for (;;) {
        if (!ReadFile(file2, buffer2, chunksize, &count2, nullptr)) {
            failure("Error reading 2nd file");
            CloseHandle(file1);
            CloseHandle(file2);
            return failed(options);
        }
        DWORD m = count1 < count2 ? count1 : count2;
        DWORD index = firstdiffer(buffer1, buffer2, m);
        if (index < m || count1 != count2) {
            // A differing byte, or the end of the shorter file at m.
            addto(at, index);
            break;
        }
        addto(at, count1);
        if (count1 < chunksize) {
            CloseHandle(file1);
            CloseHandle(file2);
            printf("Files compare equal\n");
            return resultequal;
        }
        if (!ReadFile(file1, buffer1, chunksize, &count1, nullptr)) {
            failure("Error reading 1st file");
            CloseHandle(file1);
            CloseHandle(file2);
            return failed(options);
        }
    }

    char text[40];
    if (at.high == 0)
        printf("** Files differ at displacement %lu\n", (unsigned long)at.low);
    else {
        widetext(at, text, sizeof text);
        printf("** Files differ at displacement%s\n", text);
    }
    beep(options, MB_ICONASTERISK);
    wide size1, size2;
    size1.low = GetFileSize(file1, &size1.high);
    size2.low = GetFileSize(file2, &size2.high);
    CloseHandle(file1);
    CloseHandle(file2);
    if (size1.high == 0 && size2.high == 0)
        printf("   File sizes: %lu %lu\n", (unsigned long)size1.low, (unsigned long)size2.low);
    else {
        widetext(size1, text, sizeof text);
        printf("   File sizes:%s", text);
        widetext(size2, text, sizeof text);
        printf(",%s\n", text);
    }
    return pausekey(options) ? resultstopped : resultdiffer;
}

bool pausekey(const sameoptions &options) {
    if (!options.pause) return false;
    printf("\nPress any key to continue, or Esc to stop");
    // Read from the console itself, not standard input; rawkey flushes
    // standard output first, so the prompt stands before the key.
    int code = rawkey();
    // A key without a character comes as a prefix and its code. Both prefixes
    // (0, and 0xE0 for the gray keys) take the second read, so that no code
    // is left behind to answer the next pause by itself.
    if (code == 0 || code == 0xE0) code = rawkey();
    printf("\n");
    return code == esckey;
}
