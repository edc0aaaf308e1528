// HMAC-SHA1 (RFC 2104) and PBKDF2 with HMAC-SHA1 (RFC 2898).

#include "common/digest.h"

#include <cstring>

void HMACSHA1Key(HMACSHA1_CTX *context, const uint8_t *key, uint32_t keylength) {
    // Only keys longer than the block are hashed; a 64-byte key is used as is.
    uint8_t digest[20];
    if (keylength > 64) {
        SHA1_CTX hash;
        SHA1Init(&hash);
        SHA1Update(&hash, key, keylength);
        SHA1Final(digest, &hash);
        key = digest;
        keylength = 20;
    }

    uint8_t innerpad[64];
    for (uint32_t i = 0; i < 64; ++i) {
        const uint8_t k = i < keylength ? key[i] : 0;
        innerpad[i] = k ^ 0x36;
        context->outerpad[i] = k ^ 0x5c;
    }
    SHA1Init(&context->inner);
    SHA1Update(&context->inner, innerpad, 64);
}

void HMACSHA1Update(HMACSHA1_CTX *context, const uint8_t *data, uint32_t length) {
    SHA1Update(&context->inner, data, length);
}

void HMACSHA1Final(uint8_t mac[20], HMACSHA1_CTX *context) {
    uint8_t inner[20];
    SHA1Final(inner, &context->inner);
    // The inner context is finished, so the outer hash can run in it.
    SHA1Init(&context->inner);
    SHA1Update(&context->inner, context->outerpad, 64);
    SHA1Update(&context->inner, inner, 20);
    SHA1Final(mac, &context->inner);
}

void PBKDF2SHA1(const uint8_t *password, uint32_t passwordlength, const uint8_t *salt,
                uint32_t saltlength, uint32_t iterations, uint8_t *output, uint32_t outputlength) {
    if (outputlength == 0) return;

    // Key once and hash the salt once; every MAC below starts from a copy of
    // one of these states instead of rehashing the pads and the salt.
    HMACSHA1_CTX keyed;
    HMACSHA1Key(&keyed, password, passwordlength);
    HMACSHA1_CTX salted = keyed;
    HMACSHA1Update(&salted, salt, saltlength);

    const uint32_t blocks = (outputlength - 1) / 20 + 1;
    for (uint32_t block = 1; block <= blocks; ++block) {
        uint8_t t[20] = {};
        uint8_t u[20] = {static_cast<uint8_t>(block >> 24), static_cast<uint8_t>(block >> 16),
                         static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block)};
        uint32_t ulength = 4;
        HMACSHA1_CTX work = salted;
        for (uint32_t i = 0; i < iterations; ++i) {
            HMACSHA1Update(&work, u, ulength);
            HMACSHA1Final(u, &work);
            ulength = 20;
            for (int j = 0; j < 20; ++j)
                t[j] ^= u[j];
            work = keyed;
        }
        const uint32_t offset = (block - 1) * 20;
        const uint32_t n = outputlength - offset < 20 ? outputlength - offset : 20;
        std::memcpy(output + offset, t, n);
    }
}
