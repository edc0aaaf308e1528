// SHA-1 as in FIPS 180-1. The context's block doubles as the 16-word circular
// message schedule, so the compression needs no schedule array of its own.

#include "common/digest.h"

#include <bit>
#include <cstring>

namespace {

// Written with shifts so the compiler folds it into one bswap.
[[maybe_unused]] inline uint32_t swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// The big-endian value of four bytes: on a little-endian host this is the
// byte reversal the block words need before compression.
inline uint32_t load_be32(const void *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::little) v = swap32(v);
    return v;
}

inline void store_be32(uint8_t *p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) v = swap32(v);
    std::memcpy(p, &v, 4);
}

// Round functions in forms with the fewest operations; the majority as a sum
// of two disjoint terms lets the adds reassociate.
inline uint32_t ch(uint32_t b, uint32_t c, uint32_t d) {
    return ((c ^ d) & b) ^ d;
}
inline uint32_t parity(uint32_t b, uint32_t c, uint32_t d) {
    return b ^ c ^ d;
}
inline uint32_t maj(uint32_t b, uint32_t c, uint32_t d) {
    return (b & c) + ((b ^ c) & d);
}

// Schedule word t (t >= 16) replaces word t - 16 in the circular block.
#define W(t)                                                                                       \
    (w[(t)&15] =                                                                                   \
         std::rotl(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))

// One step; the caller rotates the variable names instead of moving values.
// e collects the schedule word and constant first, as they do not depend on
// the previous step.
#define STEP(f, k, a, b, c, d, e, x)                                                               \
    e += (x) + (k);                                                                                \
    e += f(b, c, d) + std::rotl(a, 5);                                                             \
    b = std::rotl(b, 30)

#define R0(a, b, c, d, e, t) STEP(ch, 0x5a827999u, a, b, c, d, e, w[t])
#define R1(a, b, c, d, e, t) STEP(ch, 0x5a827999u, a, b, c, d, e, W(t))
#define R2(a, b, c, d, e, t) STEP(parity, 0x6ed9eba1u, a, b, c, d, e, W(t))
#define R3(a, b, c, d, e, t) STEP(maj, 0x8f1bbcdcu, a, b, c, d, e, W(t))
#define R4(a, b, c, d, e, t) STEP(parity, 0xca62c1d6u, a, b, c, d, e, W(t))

// Compresses ctx->block, which must already hold big-endian words.
void compress(SHA1_CTX *ctx) {
    uint32_t *const w = ctx->block;
    uint32_t a = ctx->chain[0], b = ctx->chain[1], c = ctx->chain[2], d = ctx->chain[3],
             e = ctx->chain[4];

    R0(a, b, c, d, e, 0);
    R0(e, a, b, c, d, 1);
    R0(d, e, a, b, c, 2);
    R0(c, d, e, a, b, 3);
    R0(b, c, d, e, a, 4);
    R0(a, b, c, d, e, 5);
    R0(e, a, b, c, d, 6);
    R0(d, e, a, b, c, 7);
    R0(c, d, e, a, b, 8);
    R0(b, c, d, e, a, 9);
    R0(a, b, c, d, e, 10);
    R0(e, a, b, c, d, 11);
    R0(d, e, a, b, c, 12);
    R0(c, d, e, a, b, 13);
    R0(b, c, d, e, a, 14);
    R0(a, b, c, d, e, 15);
    R1(e, a, b, c, d, 16);
    R1(d, e, a, b, c, 17);
    R1(c, d, e, a, b, 18);
    R1(b, c, d, e, a, 19);

    R2(a, b, c, d, e, 20);
    R2(e, a, b, c, d, 21);
    R2(d, e, a, b, c, 22);
    R2(c, d, e, a, b, 23);
    R2(b, c, d, e, a, 24);
    R2(a, b, c, d, e, 25);
    R2(e, a, b, c, d, 26);
    R2(d, e, a, b, c, 27);
    R2(c, d, e, a, b, 28);
    R2(b, c, d, e, a, 29);
    R2(a, b, c, d, e, 30);
    R2(e, a, b, c, d, 31);
    R2(d, e, a, b, c, 32);
    R2(c, d, e, a, b, 33);
    R2(b, c, d, e, a, 34);
    R2(a, b, c, d, e, 35);
    R2(e, a, b, c, d, 36);
    R2(d, e, a, b, c, 37);
    R2(c, d, e, a, b, 38);
    R2(b, c, d, e, a, 39);

    R3(a, b, c, d, e, 40);
    R3(e, a, b, c, d, 41);
    R3(d, e, a, b, c, 42);
    R3(c, d, e, a, b, 43);
    R3(b, c, d, e, a, 44);
    R3(a, b, c, d, e, 45);
    R3(e, a, b, c, d, 46);
    R3(d, e, a, b, c, 47);
    R3(c, d, e, a, b, 48);
    R3(b, c, d, e, a, 49);
    R3(a, b, c, d, e, 50);
    R3(e, a, b, c, d, 51);
    R3(d, e, a, b, c, 52);
    R3(c, d, e, a, b, 53);
    R3(b, c, d, e, a, 54);
    R3(a, b, c, d, e, 55);
    R3(e, a, b, c, d, 56);
    R3(d, e, a, b, c, 57);
    R3(c, d, e, a, b, 58);
    R3(b, c, d, e, a, 59);

    R4(a, b, c, d, e, 60);
    R4(e, a, b, c, d, 61);
    R4(d, e, a, b, c, 62);
    R4(c, d, e, a, b, 63);
    R4(b, c, d, e, a, 64);
    R4(a, b, c, d, e, 65);
    R4(e, a, b, c, d, 66);
    R4(d, e, a, b, c, 67);
    R4(c, d, e, a, b, 68);
    R4(b, c, d, e, a, 69);
    R4(a, b, c, d, e, 70);
    R4(e, a, b, c, d, 71);
    R4(d, e, a, b, c, 72);
    R4(c, d, e, a, b, 73);
    R4(b, c, d, e, a, 74);
    R4(a, b, c, d, e, 75);
    R4(e, a, b, c, d, 76);
    R4(d, e, a, b, c, 77);
    R4(c, d, e, a, b, 78);
    R4(b, c, d, e, a, 79);

    ctx->chain[0] += a;
    ctx->chain[1] += b;
    ctx->chain[2] += c;
    ctx->chain[3] += d;
    ctx->chain[4] += e;
}

#undef R0
#undef R1
#undef R2
#undef R3
#undef R4
#undef STEP
#undef W

} // namespace

void SHA1Init(SHA1_CTX *context) {
    context->length[0] = 0;
    context->length[1] = 0;
    context->chain[0] = 0x67452301u;
    context->chain[1] = 0xefcdab89u;
    context->chain[2] = 0x98badcfeu;
    context->chain[3] = 0x10325476u;
    context->chain[4] = 0xc3d2e1f0u;
}

void SHA1Update(SHA1_CTX *context, const uint8_t *data, uint32_t length) {
    uint32_t used = context->length[0] & 63;
    context->length[0] += length;
    if (context->length[0] < length) ++context->length[1];

    auto *const block = reinterpret_cast<uint8_t *>(context->block);
    while (length > 0) {
        if (used == 0 && length >= 64) {
            // A whole block from the caller: loading each word big-endian is
            // the same as copying the bytes and reversing them, in one pass.
            for (int i = 0; i < 16; ++i)
                context->block[i] = load_be32(data + 4 * i);
            compress(context);
            data += 64;
            length -= 64;
            continue;
        }
        const uint32_t n = length < 64 - used ? length : 64 - used;
        std::memcpy(block + used, data, n);
        data += n;
        length -= n;
        used += n;
        if (used == 64) {
            for (int i = 0; i < 16; ++i)
                context->block[i] = load_be32(&context->block[i]);
            compress(context);
            used = 0;
        }
    }
}

void SHA1Final(uint8_t digest[20], SHA1_CTX *context) {
    const uint32_t used = context->length[0] & 63;
    uint32_t *const w = context->block;

    // Only the words holding message bytes are reversed; the 0x80 goes right
    // after the last byte and whatever followed it in that word is cleared.
    const uint32_t last = used / 4;
    for (uint32_t i = 0; i < (used + 3) / 4; ++i)
        w[i] = load_be32(&w[i]);
    const uint32_t shift = 8 * (used & 3);
    w[last] = (w[last] & ~(0xffffffffu >> shift)) | (0x80000000u >> shift);
    uint32_t next = last + 1;

    if (used >= 56) {
        // No room for the bit count: finish this block and start a new one.
        if (used < 60) w[15] = 0;
        compress(context);
        next = 0;
    }
    for (uint32_t i = next; i < 14; ++i)
        w[i] = 0;
    w[14] = (context->length[1] << 3) | (context->length[0] >> 29);
    w[15] = context->length[0] << 3;
    compress(context);

    for (int i = 0; i < 5; ++i)
        store_be32(digest + 4 * i, context->chain[i]);
}
