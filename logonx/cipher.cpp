// RC4 with the first 256 keystream bytes dropped, and the sign-on record.
#include "logonx/cipher.h"

#include "common/digest.h"
#include "logonx/wipe.h"

#include <cstring>

void rc4setup(rc4state *state, const uint8_t *key, int keylength) {
    for (int k = 0; k < 256; k++)
        state->perm[k] = (uint8_t)k;
    state->i = state->j = 0;
    uint8_t x = 0;
    int p = 0;
    for (int k = 0; k < 256; k++) {
        x = (uint8_t)(x + state->perm[k] + key[p]);
        uint8_t t = state->perm[k];
        state->perm[k] = state->perm[x];
        state->perm[x] = t;
        if (++p == keylength) p = 0;
    }
}

uint8_t rc4byte(rc4state *state) {
    state->i = (uint8_t)(state->i + 1);
    state->j = (uint8_t)(state->j + state->perm[state->i]);
    uint8_t t = state->perm[state->i];
    state->perm[state->i] = state->perm[state->j];
    state->perm[state->j] = t;
    return state->perm[(uint8_t)(state->perm[state->i] + state->perm[state->j])];
}

void rc4crypt(const uint8_t *input, int length, const uint8_t *key, int keylength,
              uint8_t *output) {
    rc4state state;
    rc4setup(&state, key, keylength);
    // The first bytes of the RC4 keystream betray the key; they are dropped.
    for (int k = 0; k < 256; k++)
        rc4byte(&state);
    for (int k = 0; k < length; k++)
        output[k] = input[k] ^ rc4byte(&state);
    wipe(&state, sizeof state);
}

void signonstring(const char *ip, const char *secret, const char *datetime, const char *password,
                  const uint8_t nonce[12], const uint8_t fill[32], char text[61]) {
    const size_t lenip = strnlen(ip, maxip);
    const size_t lensecret = strnlen(secret, maxsecret);
    const size_t lendatetime = strnlen(datetime, maxdatetime);
    const size_t lenpassword = strnlen(password, maxpassword);

    uint8_t record[45];
    uint8_t secretkey[16];
    MD5Buffer(reinterpret_cast<const uint8_t *>(secret), (uint32_t)lensecret, secretkey);
    rc4crypt(nonce, 12, secretkey, sizeof secretkey, record);

    // The record key binds the password to the plain nonce, the IP address
    // and the date and time.
    uint8_t keyed[12 + maxip + 1 + maxdatetime];
    size_t at = 0;
    memcpy(keyed, nonce, 12);
    at += 12;
    memcpy(keyed + at, ip, lenip);
    at += lenip;
    keyed[at++] = '-';
    memcpy(keyed + at, datetime, lendatetime);
    at += lendatetime;
    uint8_t recordkey[16];
    MD5Buffer(keyed, (uint32_t)at, recordkey);

    // Length, password, then "m" and fill bytes F[1] onwards up to 33 bytes.
    uint8_t block[1 + maxpassword];
    block[0] = (uint8_t)lenpassword;
    memcpy(block + 1, password, lenpassword);
    if (lenpassword < maxpassword) {
        block[lenpassword + 1] = 'm';
        memcpy(block + lenpassword + 2, fill + 1, maxpassword - 1 - lenpassword);
    }
    rc4crypt(block, sizeof block, recordkey, sizeof recordkey, record + 12);

    int length = b64encode(record, sizeof record, text);
    text[length] = 0;
    wipe(block, sizeof block);
    wipe(secretkey, sizeof secretkey);
    wipe(recordkey, sizeof recordkey);
}
