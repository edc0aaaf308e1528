// The digests against a second, plain implementation written here from the
// standards: SHA-1 through each compression this machine has (portable and
// SHA instructions), MD5 through its context and MD5Buffer, HMAC-SHA1 and
// PBKDF2, each over an arbitrary message fed in arbitrary pieces.
#include "common/digest.h"
#include "common/sha1engine.h"
#include "tests/fuzz/fuzz.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

typedef std::vector<uint8_t> bytes;

uint32_t rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// FIPS 180-1: pad, then 80 rounds per block with the full schedule.
bytes plainsha1(const bytes &message) {
    bytes m = message;
    uint64_t bits = (uint64_t)message.size() * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56)
        m.push_back(0);
    for (int i = 7; i >= 0; i--)
        m.push_back((uint8_t)(bits >> (8 * i)));
    uint32_t h[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    for (size_t at = 0; at < m.size(); at += 64) {
        uint32_t w[80];
        for (int t = 0; t < 16; t++)
            w[t] = (uint32_t)m[at + 4 * t] << 24 | (uint32_t)m[at + 4 * t + 1] << 16 |
                   (uint32_t)m[at + 4 * t + 2] << 8 | m[at + 4 * t + 3];
        for (int t = 16; t < 80; t++)
            w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int t = 0; t < 80; t++) {
            uint32_t f, k;
            if (t < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999u;
            } else if (t < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1u;
            } else if (t < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDCu;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6u;
            }
            uint32_t temp = rotl(a, 5) + f + e + w[t] + k;
            e = d;
            d = c;
            c = rotl(b, 30);
            b = a;
            a = temp;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    bytes digest;
    for (uint32_t v : h)
        for (int i = 3; i >= 0; i--)
            digest.push_back((uint8_t)(v >> (8 * i)));
    return digest;
}

// RFC 1321: the same padding with a little-endian count, 64 steps per block
// with the sine table computed as the RFC defines it.
bytes plainmd5(const bytes &message) {
    static const int shifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                   5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                   4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                   6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t table[64];
    for (int i = 0; i < 64; i++)
        table[i] = (uint32_t)(uint64_t)std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0);
    bytes m = message;
    uint64_t bits = (uint64_t)message.size() * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56)
        m.push_back(0);
    for (int i = 0; i < 8; i++)
        m.push_back((uint8_t)(bits >> (8 * i)));
    uint32_t h[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
    for (size_t at = 0; at < m.size(); at += 64) {
        uint32_t x[16];
        for (int j = 0; j < 16; j++)
            x[j] = (uint32_t)m[at + 4 * j] | (uint32_t)m[at + 4 * j + 1] << 8 |
                   (uint32_t)m[at + 4 * j + 2] << 16 | (uint32_t)m[at + 4 * j + 3] << 24;
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; i++) {
            uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (b & d) | (c & ~d);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            uint32_t next = b + rotl(a + f + table[i] + x[g], shifts[i]);
            a = d;
            d = c;
            c = b;
            b = next;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    bytes digest;
    for (uint32_t v : h)
        for (int i = 0; i < 4; i++)
            digest.push_back((uint8_t)(v >> (8 * i)));
    return digest;
}

// RFC 2104.
bytes plainhmac(bytes key, const bytes &message) {
    if (key.size() > 64) key = plainsha1(key);
    key.resize(64, 0);
    bytes inner, outer;
    for (uint8_t k : key) {
        inner.push_back(k ^ 0x36);
        outer.push_back(k ^ 0x5C);
    }
    inner.insert(inner.end(), message.begin(), message.end());
    bytes innerdigest = plainsha1(inner);
    outer.insert(outer.end(), innerdigest.begin(), innerdigest.end());
    return plainsha1(outer);
}

// RFC 2898, PBKDF2 with HMAC-SHA1.
bytes plainpbkdf2(const bytes &password, const bytes &salt, uint32_t iterations, size_t length) {
    bytes out;
    for (uint32_t block = 1; out.size() < length; block++) {
        bytes u = salt;
        for (int i = 3; i >= 0; i--)
            u.push_back((uint8_t)(block >> (8 * i)));
        bytes t(20, 0);
        for (uint32_t i = 0; i < iterations; i++) {
            u = plainhmac(password, u);
            for (int j = 0; j < 20; j++)
                t[j] ^= u[j];
        }
        out.insert(out.end(), t.begin(), t.end());
    }
    out.resize(length);
    return out;
}

// The pieces the message is fed in: the listed lengths in turn, then the
// rest. An empty piece comes as a null pointer, which callers may pass.
struct pieces {
    uint16_t lengths[16];
    int count;

    template <typename F> void feed(const uint8_t *data, size_t size, F update) const {
        for (int i = 0; i < count; i++) {
            size_t n = std::min((size_t)lengths[i], size);
            update(n > 0 ? data : nullptr, (uint32_t)n);
            data += n;
            size -= n;
        }
        update(size > 0 ? data : nullptr, (uint32_t)size);
    }
};

bool same(const uint8_t *got, const bytes &expected) {
    return expected.empty() || memcmp(got, expected.data(), expected.size()) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    pieces split;
    split.count = in.byte() % 16;
    for (int i = 0; i < split.count; i++)
        split.lengths[i] = in.u16() % 1100;
    size_t keylength = in.byte();
    uint32_t iterations = in.byte() % 3 + 1;
    size_t derivedlength = in.byte() % 65;
    // The message in a buffer of exactly its size, so a read past it is seen.
    const size_t length = in.size;
    uint8_t *message = (uint8_t *)malloc(length > 0 ? length : 1);
    if (length > 0) memcpy(message, in.data, length);
    const bytes whole(message, message + length);
    const size_t keypart = std::min(keylength, length);
    const bytes key(message, message + keypart), rest(message + keypart, message + length);
    const bytes salt(rest.begin(), rest.begin() + (ptrdiff_t)std::min(rest.size(), (size_t)40));

    const bytes sha1 = plainsha1(whole), md5 = plainmd5(whole), hmac = plainhmac(key, rest);
    const bytes derived = plainpbkdf2(key, salt, iterations, derivedlength);

    const bool wasshaext = sha1usingshaext();
    for (int engine = 0; engine < 2; engine++) {
        if (!sha1useshaext(engine == 1)) continue;
        uint8_t digest[20];
        SHA1_CTX context;
        SHA1Init(&context);
        split.feed(message, length,
                   [&](const uint8_t *p, uint32_t n) { SHA1Update(&context, p, n); });
        SHA1Final(digest, &context);
        CHECK(same(digest, sha1));

        HMACSHA1_CTX mac;
        HMACSHA1Key(&mac, message, (uint32_t)keypart);
        split.feed(message + keypart, length - keypart,
                   [&](const uint8_t *p, uint32_t n) { HMACSHA1Update(&mac, p, n); });
        HMACSHA1Final(digest, &mac);
        CHECK(same(digest, hmac));

        uint8_t out[65];
        memset(out, 0x5A, sizeof out);
        PBKDF2SHA1(message, (uint32_t)keypart, message + keypart, (uint32_t)salt.size(), iterations,
                   out, (uint32_t)derivedlength);
        CHECK(same(out, derived));
        CHECK(out[derivedlength] == 0x5A);
    }
    sha1useshaext(wasshaext);

    uint8_t digest[16];
    MD5_CTX context;
    MD5Init(&context);
    split.feed(message, length, [&](const uint8_t *p, uint32_t n) { MD5Update(&context, p, n); });
    MD5Final(digest, &context);
    CHECK(same(digest, md5));
    memset(digest, 0, sizeof digest);
    MD5Buffer(length > 0 ? message : nullptr, (uint32_t)length, digest);
    CHECK(same(digest, md5));

    free(message);
    return 0;
}
