// Message digests and Base64: MD5 (RFC 1321), SHA-1 (FIPS 180-1), HMAC-SHA1
// (RFC 2104), PBKDF2 with HMAC-SHA1 (RFC 2898) and the Base64 encoder.
//
// Contexts are plain records owned by the caller; nothing is allocated and
// nothing is shared, so every operation may run on several contexts at once.
// Note the argument order: the Final routines take the output first and the
// context second, MD5Buffer its output last.
#pragma once

#include <cstdint>

struct MD5_CTX {
    uint32_t state[4];   // chaining values A, B, C, D
    uint32_t count[2];   // message bits so far, mod 2^64, low word first
    uint8_t buffer[64];  // unprocessed tail, fewer than 64 bytes between calls
};

struct SHA1_CTX {
    uint32_t length[2];  // message bytes (not bits) so far, mod 2^64, low word first
    uint32_t chain[5];   // H0..H4
    uint32_t block[16];  // current block; also the compression's message schedule
};

struct HMACSHA1_CTX {
    SHA1_CTX inner;       // the running inner hash
    uint8_t outerpad[64]; // key XOR 0x5C, filled with 0x5C
};

void MD5Init(MD5_CTX *context);
void MD5Update(MD5_CTX *context, const uint8_t *data, uint32_t length);
void MD5Final(uint8_t digest[16], MD5_CTX *context); // zeroes the context
void MD5Buffer(const uint8_t *data, uint32_t length, uint8_t digest[16]);

void SHA1Init(SHA1_CTX *context);
void SHA1Update(SHA1_CTX *context, const uint8_t *data, uint32_t length);
void SHA1Final(uint8_t digest[20], SHA1_CTX *context); // leaves the finished state

void HMACSHA1Key(HMACSHA1_CTX *context, const uint8_t *key, uint32_t keylength);
void HMACSHA1Update(HMACSHA1_CTX *context, const uint8_t *data, uint32_t length);
void HMACSHA1Final(uint8_t mac[20], HMACSHA1_CTX *context);

void PBKDF2SHA1(const uint8_t *password, uint32_t passwordlength, const uint8_t *salt,
                uint32_t saltlength, uint32_t iterations, uint8_t *output, uint32_t outputlength);

// Writes 4 * ((length + 2) / 3) characters, no line breaks and no terminating
// zero; returns that count (0 for a length of 0 or less).
int b64encode(const uint8_t *data, int length, char *output);
