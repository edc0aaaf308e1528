// The secret file and the local time as text.
#include "logonx/secret.h"

#include <cstdio>
#include <cstring>
#ifndef _WIN32
#include "port/home.h"
#endif

namespace {

bool seekto(HANDLE file, DWORD offset) {
    // Offsets past 2 GB need the high word for SetFilePointer to take them
    // as unsigned.
    LONG high = 0;
    DWORD at = SetFilePointer(file, (LONG)offset, &high, FILE_BEGIN);
    return !(at == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

} // namespace

int readfileline(HANDLE file, DWORD *offset, char *buffer, int size) {
    if (size < 1) return -3;
    buffer[0] = 0;
    if (!seekto(file, *offset)) return -2;

    char chunk[150];
    DWORD got = 0, pos = 0;
    DWORD consumed = 0; // bytes of the line and its end
    int count = 0;
    bool first = true;
    for (;;) {
        if (pos == got) {
            if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) return -2;
            pos = 0;
            if (got == 0) {
                if (first) return -1;
                break; // a last line without a line end
            }
            first = false;
        }
        char c = chunk[pos++];
        consumed++;
        if (c == '\r' || c == '\n') {
            // CR LF, LF CR and CR CR are one line end each.
            if (pos == got) {
                if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) return -2;
                pos = 0;
            }
            if (pos < got && ((c == '\r' && chunk[pos] == '\n') || chunk[pos] == '\r')) consumed++;
            break;
        }
        // A long line is cut, but all of it is consumed.
        if (count < size - 1) buffer[count++] = c;
    }
    buffer[count] = 0;
    if (!seekto(file, *offset + consumed)) return -2;
    *offset += consumed;
    return count;
}

bool secretcandidate(int index, char digit, char *name, int size) {
#ifdef _WIN32
    static const char *const names[] = {"c:\\misc\\logonx.dat", "c:\\logonx.dat", "logonx.dat"};
    if (index < 0 || index > 2) return false;
    int length = snprintf(name, (size_t)size, "%s", names[index]);
#else
    // "c:\misc\" and "c:\" stand for misc/ in the home folder and the home
    // folder itself; the current folder stays the current folder.
    static const char *const names[] = {"/misc/logonx.dat", "/logonx.dat", "logonx.dat"};
    if (index < 0 || index > 2) return false;
    int length;
    if (index < 2) {
        char home[300];
        if (!homefolder(home, sizeof home)) return false;
        length = snprintf(name, (size_t)size, "%s%s", home, names[index]);
    } else {
        length = snprintf(name, (size_t)size, "%s", names[index]);
    }
#endif
    if (length < 5 || length >= size) return false;
    // The digit takes the place of the "x" before ".dat".
    name[length - 5] = digit;
    return true;
}

void readsecret(const char *const *names, int count, char ip[ipsize], char secret[secretsize]) {
    ip[0] = 0;
    secret[0] = 0;
    for (int k = 0; k < count; k++) {
        if (names[k] == nullptr) continue;
        HANDLE file = CreateFileA(names[k], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        // The first file that opens is the one, even when it proves empty.
        DWORD offset = 0;
        if (readfileline(file, &offset, ip, ipsize) < 0)
            ip[0] = 0;
        else if (readfileline(file, &offset, secret, secretsize) < 0)
            secret[0] = 0;
        CloseHandle(file);
        return;
    }
}

void findsecret(char digit, char ip[ipsize], char secret[secretsize]) {
    char names[3][300];
    const char *candidates[3];
    for (int k = 0; k < 3; k++)
        candidates[k] = secretcandidate(k, digit, names[k], sizeof names[k]) ? names[k] : nullptr;
    readsecret(candidates, 3, ip, secret);
}

void nowtext(char text[20]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char clock[9];
    snprintf(clock, sizeof clock, "%02u:%02u:%02u", (unsigned)now.wHour % 100u,
             (unsigned)now.wMinute % 100u, (unsigned)now.wSecond % 100u);
    snprintf(text, 20, "%04u/%02u/%02u %-8.8s", (unsigned)now.wYear % 10000u,
             (unsigned)now.wMonth % 100u, (unsigned)now.wDay % 100u, clock);
}
