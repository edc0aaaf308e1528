// SHA-1 as in FIPS 180-1. The context's block doubles as the 16-word circular
// message schedule, so the portable compression needs no schedule array of its
// own. Where the processor has the x86 SHA extensions, a second compression
// uses them; which one runs is decided once, at start-up.

#include "common/digest.h"

#include "common/byteorder.h"
#include "common/sha1engine.h"

#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define SHA1_SHAEXT 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

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

#ifdef SHA1_SHAEXT

// The processor has SHA1RNDS4 and friends, and the SSSE3/SSE4.1 shuffles and
// lane moves the compression below needs around them.
bool detectshaext() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = c & (1u << 9), sse41 = c & (1u << 19);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & (1u << 29));
}

// Message words for four schedule steps at a time; the instructions take
// them with the earliest word in the highest lane.
#define LOADWORDS(p) _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), order)

// Four steps (group g of 20, steps 4g to 4g+3). m[g % 4] holds the schedule
// words of this group; e alternates between the value to add to this group
// and the chain words saved for the next one. Around the steps, the schedule
// for the groups ahead advances: each new quadruple is msg1 of the two
// before the one three back, XORed with the one two back, finished by msg2
// with the one just before. All conditions fold at compile time.
#define GROUP(g)                                                                                   \
    do {                                                                                           \
        if ((g) == 0)                                                                              \
            e[0] = _mm_add_epi32(e[0], m[0]);                                                      \
        else                                                                                       \
            e[(g) % 2] = _mm_sha1nexte_epu32(e[(g) % 2], m[(g) % 4]);                              \
        e[((g) + 1) % 2] = abcd;                                                                   \
        if ((g) >= 3 && (g) <= 18)                                                                 \
            m[((g) + 1) % 4] = _mm_sha1msg2_epu32(m[((g) + 1) % 4], m[(g) % 4]);                   \
        abcd = _mm_sha1rnds4_epu32(abcd, e[(g) % 2], (g) / 5);                                     \
        if ((g) >= 1 && (g) <= 16)                                                                 \
            m[((g) + 3) % 4] = _mm_sha1msg1_epu32(m[((g) + 3) % 4], m[(g) % 4]);                   \
        if ((g) >= 2 && (g) <= 17) m[((g) + 2) % 4] = _mm_xor_si128(m[((g) + 2) % 4], m[(g) % 4]); \
    } while (0)

// Compresses count consecutive 64-byte blocks into chain, keeping the chain
// in registers between them. The blocks are message bytes in arrival order,
// or, with words set, words already holding their big-endian values (the
// context's block after the byte reversal).
__attribute__((target("sha,sse4.1"))) void compressshaext(uint32_t chain[5], const void *blocks,
                                                          size_t count, bool words) {
    // Reverses the 16 bytes, or only the order of the four words.
    const __m128i order = words
                              ? _mm_set_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12)
                              : _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    // A in the highest lane, E alone in the highest lane of its own register.
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(chain)), 0x1b);
    __m128i e[2];
    e[0] = _mm_insert_epi32(_mm_setzero_si128(), static_cast<int>(chain[4]), 3);
    const auto *p = static_cast<const uint8_t *>(blocks);
    for (; count > 0; --count, p += 64) {
        const __m128i abcdsaved = abcd, esaved = e[0];
        __m128i m[4] = {LOADWORDS(p), LOADWORDS(p + 16), LOADWORDS(p + 32), LOADWORDS(p + 48)};
        GROUP(0);
        GROUP(1);
        GROUP(2);
        GROUP(3);
        GROUP(4);
        GROUP(5);
        GROUP(6);
        GROUP(7);
        GROUP(8);
        GROUP(9);
        GROUP(10);
        GROUP(11);
        GROUP(12);
        GROUP(13);
        GROUP(14);
        GROUP(15);
        GROUP(16);
        GROUP(17);
        GROUP(18);
        GROUP(19);
        // The last group left the chain words before it in e[0]: E is their
        // A rotated by 30.
        e[0] = _mm_sha1nexte_epu32(e[0], esaved);
        abcd = _mm_add_epi32(abcd, abcdsaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(chain), _mm_shuffle_epi32(abcd, 0x1b));
    chain[4] = static_cast<uint32_t>(_mm_extract_epi32(e[0], 3));
}

#undef GROUP
#undef LOADWORDS

// Set before main by the processor check; until then (constructors of other
// files that hash) it is false and the portable compression runs.
bool useshaext = sha1shaextavailable();

#else

constexpr bool useshaext = false;

#endif

// Compresses the context's block, its words already reversed.
void compressblock(SHA1_CTX *ctx) {
#ifdef SHA1_SHAEXT
    if (useshaext) {
        compressshaext(ctx->chain, ctx->block, 1, true);
        return;
    }
#endif
    compress(ctx);
}

// Compresses count whole blocks straight from the caller's data.
void compressdata(SHA1_CTX *ctx, const uint8_t *data, size_t count) {
#ifdef SHA1_SHAEXT
    if (useshaext && count > 0) {
        compressshaext(ctx->chain, data, count, false);
        return;
    }
#endif
    for (; count > 0; --count, data += 64) {
        // Loading each word big-endian is the same as copying the bytes and
        // reversing them, in one pass.
        for (int i = 0; i < 16; ++i)
            ctx->block[i] = load_be32(data + 4 * i);
        compress(ctx);
    }
}

} // namespace

bool sha1shaextavailable() {
#ifdef SHA1_SHAEXT
    static const bool available = detectshaext();
    return available;
#else
    return false;
#endif
}

bool sha1useshaext(bool on) {
    if (on && !sha1shaextavailable()) return false;
#ifdef SHA1_SHAEXT
    useshaext = on;
#endif
    return true;
}

bool sha1usingshaext() {
    return useshaext;
}

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
    const uint32_t used = context->length[0] & 63;
    context->length[0] += length;
    if (context->length[0] < length) ++context->length[1];
    if (length == 0) return; // data may then be null: no copying from it

    if (used > 0) {
        // Fill the block begun by an earlier call first.
        const uint32_t n = length < 64 - used ? length : 64 - used;
        std::memcpy(reinterpret_cast<uint8_t *>(context->block) + used, data, n);
        if (used + n < 64) return;
        for (int i = 0; i < 16; ++i)
            context->block[i] = load_be32(&context->block[i]);
        compressblock(context);
        data += n;
        length -= n;
    }
    compressdata(context, data, length / 64);
    data += length & ~63u;
    if ((length & 63) > 0) std::memcpy(context->block, data, length & 63);
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
        compressblock(context);
        next = 0;
    }
    for (uint32_t i = next; i < 14; ++i)
        w[i] = 0;
    w[14] = (context->length[1] << 3) | (context->length[0] >> 29);
    w[15] = context->length[0] << 3;
    compressblock(context);

    for (int i = 0; i < 5; ++i)
        store_be32(digest + 4 * i, context->chain[i]);
}
