// The system random generator.
#include "logonx/sysrand.h"

#include "common/digest.h"
#include "logonx/wipe.h"

#include <cstring>

namespace {

uint32_t get32(const uint8_t *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void put32(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

void put16(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

// The state file path is kept as two tables whose XOR is the path, so that it
// does not stand in the program as plain text. The character at index 10 is
// the file's digit and is set at run time.
constexpr int pathlength = 15;
constexpr int pathdigit = 10;
#ifdef _WIN32
// c:\sysrand1.rnd
constexpr uint8_t pathkey[pathlength] = {0x78, 0xF7, 0xC8, 0x1D, 0xD8, 0xCD, 0x54, 0x1A,
                                         0xD6, 0xAE, 0x0E, 0x03, 0xA0, 0x5F, 0x55};
constexpr uint8_t pathmask[pathlength] = {0x1B, 0xCD, 0x94, 0x6E, 0xA1, 0xBE, 0x26, 0x7B,
                                          0xB8, 0xCA, 0x3F, 0x2D, 0xD2, 0x31, 0x31};
// The disk whose free space enters the record.
constexpr char diskroot[] = "c:\\";
#else
// /var/tmp/k1.rnd: a folder on the local disk that every user can reach and
// that outlives a restart.
constexpr uint8_t pathkey[pathlength] = {0x79, 0xE2, 0x73, 0xFC, 0x8D, 0x03, 0x1C, 0xB4,
                                         0x77, 0x06, 0xC9, 0xB2, 0xAC, 0x82, 0xE6};
constexpr uint8_t pathmask[pathlength] = {0x56, 0x94, 0x12, 0x8E, 0xA2, 0x77, 0x71, 0xC4,
                                          0x58, 0x6D, 0xF8, 0x9C, 0xDE, 0xEC, 0x82};
constexpr char diskroot[] = "/";
#endif

// The mutex of a state file: "MUTEX_SYSRAND_" and the file's base name, at
// most 40 characters of it, A to Z in lower case.
void mutexname(const char *path, char name[64]) {
    const char *base = path;
    for (const char *p = path; *p != 0; p++)
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
    static const char prefix[] = "MUTEX_SYSRAND_";
    size_t at = sizeof prefix - 1;
    memcpy(name, prefix, at);
    for (int k = 0; k < 40 && base[k] != 0; k++) {
        char c = base[k];
        name[at++] = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
    }
    name[at] = 0;
}

// The state file lives where other users can create files: use it only when
// it is a regular file opened as itself, never through a link.
bool plainfile(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) return false;
#ifdef _WIN32
    // Windows opens a link itself under FILE_FLAG_OPEN_REPARSE_POINT.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return false;
#endif
    return true;
}

// Seeds of a new state file: the MD5 digest of the local time as the
// 16-byte system-time record of little-endian words.
void timeseeds(uint8_t words[16]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const WORD fields[8] = {now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                            now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
    uint8_t record[16];
    for (int k = 0; k < 8; k++)
        put16(record + 2 * k, fields[k]);
    MD5Buffer(record, sizeof record, words);
}

// The file's record read, advanced and written back; the mutex is held.
int advancefile(const char *path, DWORD *first, DWORD *second) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    uint8_t record[staterecordlength];
    DWORD got = 0;
    if (!plainfile(file) || !ReadFile(file, record, sizeof record, &got, nullptr)) {
        CloseHandle(file);
        return 3;
    }
    if (got == 0) {
        memcpy(record, "RND0", 4);
        timeseeds(record + 4);
    } else if (got < sizeof record ||
               (memcmp(record, "RND0", 4) != 0 && memcmp(record, "RND1", 4) != 0)) {
        // Not ours: neither repaired nor overwritten.
        CloseHandle(file);
        return 3;
    }
    rngpair a = {get32(record + 4), get32(record + 8)};
    rngpair b = {get32(record + 12), get32(record + 16)};
    if (record[3] == '0') {
        record[3] = '1';
        rngseed(&a);
        rngseed(&b);
    }
    *first = rngnext(&a);
    *second = rngnext(&b);
    put32(record + 4, a.lcg);
    put32(record + 8, a.shift);
    put32(record + 12, b.lcg);
    put32(record + 16, b.shift);

    DWORD written = 0;
    bool stored = SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
                  WriteFile(file, record, sizeof record, &written, nullptr) &&
                  written == sizeof record;
    if (!stored) {
        CloseHandle(file);
        return 3;
    }
    return CloseHandle(file) ? 0 : 3;
}

} // namespace

uint32_t rngnext(rngpair *pair) {
    pair->lcg *= 69069u;
    uint32_t t = pair->shift ^ (pair->shift >> 15);
    pair->shift = t ^ (t << 17);
    return (pair->shift ^ pair->lcg) >> 1;
}

void rngseed(rngpair *pair) {
    pair->lcg |= 1;
    pair->shift = (pair->shift & 0x7FE) | 1;
}

int sysrandfile(const char *path, DWORD *first, DWORD *second) {
    // Stored first, so that every failure below leaves them in place.
    *first = fallbackfirst;
    *second = fallbacksecond;

    char name[64];
    mutexname(path, name);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) return 2;
    // A holder that died leaves the mutex abandoned; it is ours all the same.
    DWORD waited = WaitForSingleObject(mutex, 5000);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return 2;
    }
    int status = advancefile(path, first, second);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return status;
}

int entropyrecord(DWORD t0, const DWORD *values, int count, const DWORD words[4], int *status,
                  uint8_t *record) {
    for (int k = 0; k < 4; k++)
        put32(record + 4 * k, words[k]);
    put16(record + 16, GetCurrentThreadId());
    put16(record + 18, GetCurrentProcessId());

    DWORD sectors, bytes, freeclusters, clusters;
    if (!GetDiskFreeSpaceA(diskroot, &sectors, &bytes, &freeclusters, &clusters)) {
        freeclusters = 98765;
        if (*status == 0) *status = sysrandnodisk;
    }
    put32(record + 20, freeclusters);

    MEMORYSTATUS memory;
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    put32(record + 24, (DWORD)memory.dwAvailPhys);

    put32(record + 28, t0);
    SYSTEMTIME now;
    GetLocalTime(&now);
    DWORD ticks = GetTickCount();
    put32(record + 32, t0 + now.wMilliseconds + 1000u * (now.wSecond + 60u * now.wMinute) - ticks);

    int length = 36;
    for (int k = 1; k < count && length + 2 <= entropymaxlength; k++) {
        put16(record + length, values[k] - t0);
        length += 2;
    }
    return length;
}

int sysrandat(char *path, int digitat, const DWORD *values, int count, uint8_t out[32]) {
    if (count > 10) count = 10;
    DWORD t0 = count >= 1 ? values[0] : GetTickCount();

    DWORD words[4];
    path[digitat] = '1';
    sysrandfile(path, &words[0], &words[1]);
    path[digitat] = '2';
    int status = sysrandfile(path, &words[2], &words[3]);
    wipe(path, strlen(path));

    uint8_t record[entropymaxlength];
    int length = entropyrecord(t0, values, count, words, &status, record);

    // The whitening salt, set byte by byte so that it stands nowhere as a block.
    uint8_t salt[8];
    salt[0] = 0x6A;
    salt[1] = 0xE1;
    salt[2] = 0x3C;
    salt[3] = 0x95;
    salt[4] = 0x08;
    salt[5] = 0xB7;
    salt[6] = 0x52;
    salt[7] = 0xDF;
    PBKDF2SHA1(record, (uint32_t)length, salt, sizeof salt, 10, out, 32);
    wipe(record, sizeof record);
    wipe(words, sizeof words);
    return status;
}

int sysrand(const DWORD *values, int count, uint8_t out[32]) {
    char path[pathlength + 1];
    for (int k = 0; k < pathlength; k++)
        path[k] = (char)(pathkey[k] ^ pathmask[k]);
    path[pathlength] = 0;
    return sysrandat(path, pathdigit, values, count, out);
}
