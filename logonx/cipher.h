// The sign-on record and its cipher: RC4 with the first 256 keystream bytes
// dropped, keyed with MD5 digests, printed as Base64.
#pragma once

#include <cstdint>

struct rc4state {
    uint8_t perm[256];
    uint8_t i, j;
};

// The published RC4 key schedule; keylength from 1 to 256.
void rc4setup(rc4state *state, const uint8_t *key, int keylength);

// The next keystream byte.
uint8_t rc4byte(rc4state *state);

// output = input XOR the keystream from its 257th byte on, from a fresh state
// keyed with `key`. Input and output may be the same buffer.
void rc4crypt(const uint8_t *input, int length, const uint8_t *key, int keylength, uint8_t *output);

// Longest texts that enter the record; longer ones are cut to these.
constexpr int maxip = 19, maxsecret = 199, maxdatetime = 19, maxpassword = 32;

// The 60-character sign-on string, zero-terminated, into `text` (61 bytes):
// the 12-byte nonce under MD5(secret), then the password block under
// MD5(nonce, ip, "-", datetime). `fill` gives the block's fill bytes.
void signonstring(const char *ip, const char *secret, const char *datetime, const char *password,
                  const uint8_t nonce[12], const uint8_t fill[32], char text[61]);
