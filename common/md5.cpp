// MD5 as in RFC 1321, context layout of the reference implementation.

#include "common/digest.h"

#include "common/byteorder.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace {

// The padding block; MD5Final feeds as much of it as it needs.
constexpr uint8_t padding[64] = {0x80};

// Hides a value from the optimiser without costing an instruction. Clang
// folds the split G below back into the XOR form and moves the constant's add
// behind the round function, both onto the critical path (a quarter slower);
// GCC does neither, and the barrier leaves its code as it was.
#define KEEP(v) __asm__("" : "+r"(v))

// Round functions in cheap equivalent forms. F needs one AND and two XORs. G
// is split into two disjoint terms whose sum equals their OR: the term without
// b, the value just computed, is ready early and joins the independent adds,
// which measured about 10% faster overall than the XOR form ((b ^ c) & d) ^ c.
// H needs no help: compilers XOR the two older words first by themselves.
inline uint32_t F(uint32_t b, uint32_t c, uint32_t d) {
    return ((c ^ d) & b) ^ d;
}
inline uint32_t G(uint32_t b, uint32_t c, uint32_t d) {
    uint32_t early = ~d & c;
    KEEP(early);
    return (d & b) + early;
}
inline uint32_t H(uint32_t b, uint32_t c, uint32_t d) {
    return b ^ c ^ d;
}
inline uint32_t I(uint32_t b, uint32_t c, uint32_t d) {
    return (b | ~d) ^ c;
}

// The message word and the constant are added to a first: that sum does not
// depend on the previous step, so only the round function, the rotation and
// the final add sit on the critical path.
#define STEP(f, a, b, c, d, x, t, s)                                                               \
    a += (x) + (t);                                                                                \
    KEEP(a);                                                                                       \
    a += f(b, c, d);                                                                               \
    a = std::rotl(a, s) + b

// count consecutive 64-byte blocks, read straight from wherever they lie
// (possibly unaligned). The chaining values stay in registers from one block
// to the next; storing and reloading them for every block cost about 5%.
void compress(uint32_t state[4], const uint8_t *block, size_t count) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; count > 0; --count, block += 64) {
        const uint32_t x0 = load_le32(block), x1 = load_le32(block + 4), x2 = load_le32(block + 8),
                       x3 = load_le32(block + 12), x4 = load_le32(block + 16),
                       x5 = load_le32(block + 20), x6 = load_le32(block + 24),
                       x7 = load_le32(block + 28), x8 = load_le32(block + 32),
                       x9 = load_le32(block + 36), x10 = load_le32(block + 40),
                       x11 = load_le32(block + 44), x12 = load_le32(block + 48),
                       x13 = load_le32(block + 52), x14 = load_le32(block + 56),
                       x15 = load_le32(block + 60);
        const uint32_t olda = a, oldb = b, oldc = c, oldd = d;

        STEP(F, a, b, c, d, x0, 0xd76aa478u, 7);
        STEP(F, d, a, b, c, x1, 0xe8c7b756u, 12);
        STEP(F, c, d, a, b, x2, 0x242070dbu, 17);
        STEP(F, b, c, d, a, x3, 0xc1bdceeeu, 22);
        STEP(F, a, b, c, d, x4, 0xf57c0fafu, 7);
        STEP(F, d, a, b, c, x5, 0x4787c62au, 12);
        STEP(F, c, d, a, b, x6, 0xa8304613u, 17);
        STEP(F, b, c, d, a, x7, 0xfd469501u, 22);
        STEP(F, a, b, c, d, x8, 0x698098d8u, 7);
        STEP(F, d, a, b, c, x9, 0x8b44f7afu, 12);
        STEP(F, c, d, a, b, x10, 0xffff5bb1u, 17);
        STEP(F, b, c, d, a, x11, 0x895cd7beu, 22);
        STEP(F, a, b, c, d, x12, 0x6b901122u, 7);
        STEP(F, d, a, b, c, x13, 0xfd987193u, 12);
        STEP(F, c, d, a, b, x14, 0xa679438eu, 17);
        STEP(F, b, c, d, a, x15, 0x49b40821u, 22);

        STEP(G, a, b, c, d, x1, 0xf61e2562u, 5);
        STEP(G, d, a, b, c, x6, 0xc040b340u, 9);
        STEP(G, c, d, a, b, x11, 0x265e5a51u, 14);
        STEP(G, b, c, d, a, x0, 0xe9b6c7aau, 20);
        STEP(G, a, b, c, d, x5, 0xd62f105du, 5);
        STEP(G, d, a, b, c, x10, 0x02441453u, 9);
        STEP(G, c, d, a, b, x15, 0xd8a1e681u, 14);
        STEP(G, b, c, d, a, x4, 0xe7d3fbc8u, 20);
        STEP(G, a, b, c, d, x9, 0x21e1cde6u, 5);
        STEP(G, d, a, b, c, x14, 0xc33707d6u, 9);
        STEP(G, c, d, a, b, x3, 0xf4d50d87u, 14);
        STEP(G, b, c, d, a, x8, 0x455a14edu, 20);
        STEP(G, a, b, c, d, x13, 0xa9e3e905u, 5);
        STEP(G, d, a, b, c, x2, 0xfcefa3f8u, 9);
        STEP(G, c, d, a, b, x7, 0x676f02d9u, 14);
        STEP(G, b, c, d, a, x12, 0x8d2a4c8au, 20);

        STEP(H, a, b, c, d, x5, 0xfffa3942u, 4);
        STEP(H, d, a, b, c, x8, 0x8771f681u, 11);
        STEP(H, c, d, a, b, x11, 0x6d9d6122u, 16);
        STEP(H, b, c, d, a, x14, 0xfde5380cu, 23);
        STEP(H, a, b, c, d, x1, 0xa4beea44u, 4);
        STEP(H, d, a, b, c, x4, 0x4bdecfa9u, 11);
        STEP(H, c, d, a, b, x7, 0xf6bb4b60u, 16);
        STEP(H, b, c, d, a, x10, 0xbebfbc70u, 23);
        STEP(H, a, b, c, d, x13, 0x289b7ec6u, 4);
        STEP(H, d, a, b, c, x0, 0xeaa127fau, 11);
        STEP(H, c, d, a, b, x3, 0xd4ef3085u, 16);
        STEP(H, b, c, d, a, x6, 0x04881d05u, 23);
        STEP(H, a, b, c, d, x9, 0xd9d4d039u, 4);
        STEP(H, d, a, b, c, x12, 0xe6db99e5u, 11);
        STEP(H, c, d, a, b, x15, 0x1fa27cf8u, 16);
        STEP(H, b, c, d, a, x2, 0xc4ac5665u, 23);

        STEP(I, a, b, c, d, x0, 0xf4292244u, 6);
        STEP(I, d, a, b, c, x7, 0x432aff97u, 10);
        STEP(I, c, d, a, b, x14, 0xab9423a7u, 15);
        STEP(I, b, c, d, a, x5, 0xfc93a039u, 21);
        STEP(I, a, b, c, d, x12, 0x655b59c3u, 6);
        STEP(I, d, a, b, c, x3, 0x8f0ccc92u, 10);
        STEP(I, c, d, a, b, x10, 0xffeff47du, 15);
        STEP(I, b, c, d, a, x1, 0x85845dd1u, 21);
        STEP(I, a, b, c, d, x8, 0x6fa87e4fu, 6);
        STEP(I, d, a, b, c, x15, 0xfe2ce6e0u, 10);
        STEP(I, c, d, a, b, x6, 0xa3014314u, 15);
        STEP(I, b, c, d, a, x13, 0x4e0811a1u, 21);
        STEP(I, a, b, c, d, x4, 0xf7537e82u, 6);
        STEP(I, d, a, b, c, x11, 0xbd3af235u, 10);
        STEP(I, c, d, a, b, x2, 0x2ad7d2bbu, 15);
        STEP(I, b, c, d, a, x9, 0xeb86d391u, 21);

        a += olda;
        b += oldb;
        c += oldc;
        d += oldd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef STEP
#undef KEEP

} // namespace

void MD5Init(MD5_CTX *context) {
    context->state[0] = 0x67452301u;
    context->state[1] = 0xefcdab89u;
    context->state[2] = 0x98badcfeu;
    context->state[3] = 0x10325476u;
    context->count[0] = 0;
    context->count[1] = 0;
}

void MD5Update(MD5_CTX *context, const uint8_t *data, uint32_t length) {
    const uint32_t index = (context->count[0] >> 3) & 63;

    // The bit count is kept in two words; length << 3 loses the top three
    // bits of length, which go straight into the high word.
    const uint32_t bits = length << 3;
    context->count[0] += bits;
    if (context->count[0] < bits) ++context->count[1];
    context->count[1] += length >> 29;

    uint32_t i = 0;
    if (index != 0) {
        // Complete the buffered block first, if this call gets that far.
        const uint32_t partlength = 64 - index;
        if (length < partlength) {
            if (length > 0) std::memcpy(&context->buffer[index], data, length);
            return;
        }
        std::memcpy(&context->buffer[index], data, partlength);
        compress(context->state, context->buffer, 1);
        i = partlength;
    }
    // Whole blocks are compressed where they lie: copying them first would
    // cost a pass over the data for nothing.
    const uint32_t blocks = (length - i) / 64;
    if (blocks > 0) compress(context->state, data + i, blocks);
    i += blocks * 64;
    if (length > i) std::memcpy(context->buffer, data + i, length - i);
}

void MD5Final(uint8_t digest[16], MD5_CTX *context) {
    uint8_t bits[8];
    store_le32(bits, context->count[0]);
    store_le32(bits + 4, context->count[1]);

    // Pad to 56 mod 64 so the 8-byte count ends the last block.
    const uint32_t index = (context->count[0] >> 3) & 63;
    MD5Update(context, padding, index < 56 ? 56 - index : 120 - index);
    MD5Update(context, bits, 8);

    for (int i = 0; i < 4; ++i)
        store_le32(digest + 4 * i, context->state[i]);
    // Leave nothing of the message or its digest behind in the caller's memory.
    std::memset(context, 0, sizeof *context);
}

void MD5Buffer(const uint8_t *data, uint32_t length, uint8_t digest[16]) {
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, data, length);
    MD5Final(digest, &context);
}
