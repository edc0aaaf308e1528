// The file digest shared by digest160 and digest128: one loop, driven by a
// table entry of the algorithm.
#pragma once

#include "common/digest.h"
#include "port/win32.h"

#include <cstdint>

// A context big enough for either algorithm.
union digestcontext {
    MD5_CTX md5;
    SHA1_CTX sha1;
};

struct digestalgorithm {
    const char *usage;    // printed when no file is named
    const char *label;    // before the hexadecimal digest
    unsigned length;      // digest bytes
    void (*init)(digestcontext *context);
    void (*update)(digestcontext *context, const uint8_t *data, uint32_t length);
    void (*final)(uint8_t *digest, digestcontext *context);
};

extern const digestalgorithm sha1algorithm;
extern const digestalgorithm md5algorithm;

// Digests the file at `path` into `digest` (the algorithm's length) and its
// byte count into high:low. Returns 0, or the Win32 code of the failed call.
DWORD digestfile(const digestalgorithm &algorithm, const char *path, uint8_t *digest,
                 DWORD *counthigh, DWORD *countlow);

// The program: usage, or the file's lines. Returns the exit status.
int digestmain(const digestalgorithm &algorithm, int argc, char **argv);
