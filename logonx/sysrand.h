// The system random generator: four pseudo-random generator pairs kept in two
// state files under named mutexes, mixed with volatile facts of the machine
// and with the caller's tick counts, whitened with PBKDF2-HMAC-SHA1.
//
// Nothing here reports a failure to the user: a state file that cannot be
// used contributes fixed fallback values, and 32 bytes always come out.
#pragma once

#include "port/win32.h"

#include <cstdint>

// One generator pair: a multiplicative congruential word and a xorshift word.
struct rngpair {
    uint32_t lcg;
    uint32_t shift;
};

// What a state file contributes when it cannot be used.
constexpr DWORD fallbackfirst = 0x04BCEE5D;
constexpr DWORD fallbacksecond = 0x030806BF;

// Status of sysrand when the free-space query failed (and the state files did not).
constexpr int sysrandnodisk = 10;

// The state file record and the entropy record.
constexpr int staterecordlength = 20;
constexpr int entropymaxlength = 54;

// Steps a pair; returns a value below 2^31.
uint32_t rngnext(rngpair *pair);

// Normalises a pair's seeds: lcg odd, shift odd and below 2048.
void rngseed(rngpair *pair);

// Advances the pairs held in the state file `path` under its named mutex and
// stores two 31-bit values (the fallback values on any failure). Returns 0 on
// success, 2 when the mutex cannot be had, 3 when the file cannot be opened,
// read, validated or written.
int sysrandfile(const char *path, DWORD *first, DWORD *second);

// Builds the entropy record into `record` (entropymaxlength bytes) from the
// four state file values and the caller's values; returns its length. Sets
// *status to sysrandnodisk when it was 0 and the free-space query fails.
int entropyrecord(DWORD t0, const DWORD *values, int count, const DWORD words[4], int *status,
                  uint8_t *record);

// sysrand on the state files named by `path` with the character at `digitat`
// set to '1' and then '2'. Clears `path` once both files are used.
int sysrandat(char *path, int digitat, const DWORD *values, int count, uint8_t out[32]);

// 32 whitened random bytes into `out`, from the program's own state files.
// Returns the status of the second state file (0 when it was advanced), or
// sysrandnodisk when that was 0 but the free-space query failed.
int sysrand(const DWORD *values, int count, uint8_t out[32]);
