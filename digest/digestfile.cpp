// The file digest programs.
#include "digest/digestfile.h"

#include "common/texts.h"

#include <cstdio>
#include <cstring>

namespace {

void md5init(digestcontext *c) { MD5Init(&c->md5); }
void md5update(digestcontext *c, const uint8_t *d, uint32_t n) { MD5Update(&c->md5, d, n); }
void md5final(uint8_t *digest, digestcontext *c) { MD5Final(digest, &c->md5); }
void sha1init(digestcontext *c) { SHA1Init(&c->sha1); }
void sha1update(digestcontext *c, const uint8_t *d, uint32_t n) { SHA1Update(&c->sha1, d, n); }
void sha1final(uint8_t *digest, digestcontext *c) { SHA1Final(digest, &c->sha1); }

constexpr DWORD chunk = 16384;

// Exit statuses: the programs' own choice.
enum : int { exitok = 0, exitusage = 1, exitfailed = 2 };

} // namespace

const digestalgorithm sha1algorithm = {
    "Gets SHA1 digest of a file.\nUsage:  digest160 filespec\n", "SHA1 digest:", 20,
    sha1init, sha1update, sha1final};
const digestalgorithm md5algorithm = {
    "Gets MD5 digest of a file.\nUsage:  digest128 filespec\n", "MD5 digest:", 16,
    md5init, md5update, md5final};

DWORD digestfile(const digestalgorithm &algorithm, const char *path, uint8_t *digest,
                 DWORD *counthigh, DWORD *countlow) {
    memset(digest, 0, algorithm.length);
    DWORD high = 0, low = 0;
    *counthigh = 0;
    *countlow = 0;

    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();

    digestcontext context;
    algorithm.init(&context);
    uint8_t buffer[chunk];
    DWORD n;
    do {
        if (!ReadFile(file, buffer, chunk, &n, nullptr)) {
            DWORD code = GetLastError();
            *counthigh = high;
            *countlow = low;
            return code;
        }
        if (n > 0) {
            low += n;
            if (low < n) high++;
            algorithm.update(&context, buffer, n);
        }
    } while (n == chunk);

    algorithm.final(digest, &context);
    *counthigh = high;
    *countlow = low;
    if (!CloseHandle(file)) return GetLastError();
    return 0;
}

int digestmain(const digestalgorithm &algorithm, int argc, char **argv) {
    if (argc < 2) {
        printf("%s", algorithm.usage);
        return exitusage;
    }
    const char *path = argv[1];
    uint8_t digest[20];
    DWORD high, low;
    printf("Filespec: %s\n", path);
    DWORD rc = digestfile(algorithm, path, digest, &high, &low);
    printf("rc = %u\n", (unsigned)rc);
    if (rc != 0) {
        char text[70];
        errtext(rc, text, sizeof text);
        printf("ERROR: %s\n", text);
        return exitfailed;
    }
    char size[40];
    sizetext(high, low, size, sizeof size, 1);
    printf("File size in bytes: %s\n", size);
    printf("%s", algorithm.label);
    for (unsigned i = 0; i < algorithm.length; i++) {
        if (i % 4 == 0) printf(" ");
        printf("%02lX", (unsigned long)digest[i]);
    }
    printf("\n");
    return exitok;
}
