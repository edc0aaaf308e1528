// MD5, SHA-1, HMAC-SHA1, PBKDF2-HMAC-SHA1 and Base64 against the published
// vectors, plus the behaviour callers rely on beyond them: arbitrary update
// splits, the padding spill at 56 bytes, context state after Final, HMAC key
// sizes and the exact output extent of PBKDF2 and b64encode. The two SHA-1
// compressions (portable, and the x86 SHA extensions where present) are held
// against the vectors and against each other.

#include "common/digest.h"
#include "common/sha1engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include "port/win32.h"
#elif __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace {

std::string hex(const uint8_t *p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

const uint8_t *bytes(const std::string &s) {
    return reinterpret_cast<const uint8_t *>(s.data());
}

std::string md5hex(const std::string &m) {
    uint8_t d[16];
    MD5Buffer(bytes(m), static_cast<uint32_t>(m.size()), d);
    return hex(d, 16);
}

std::string sha1hex(const std::string &m) {
    SHA1_CTX c;
    SHA1Init(&c);
    SHA1Update(&c, bytes(m), static_cast<uint32_t>(m.size()));
    uint8_t d[20];
    SHA1Final(d, &c);
    return hex(d, 20);
}

std::string hmachex(const std::string &key, const std::string &data) {
    HMACSHA1_CTX c;
    HMACSHA1Key(&c, bytes(key), static_cast<uint32_t>(key.size()));
    HMACSHA1Update(&c, bytes(data), static_cast<uint32_t>(data.size()));
    uint8_t mac[20];
    HMACSHA1Final(mac, &c);
    return hex(mac, 20);
}

// A message without repeats inside a word, so misplaced bytes show up.
std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 7 + 1);
    return s;
}

TEST(Md5, Rfc1321Suite) {
    const struct {
        const char *message, *digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(md5hex(c.message), c.digest) << '"' << c.message << '"';
}

TEST(Sha1, Fips180Suite) {
    EXPECT_EQ(sha1hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(sha1hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(sha1hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// From 56 bytes in the last block on, the padding and the count spill into an
// extra block; 64 and 119 put the boundary at the start and near the end.
TEST(Digests, LengthsAroundThePaddingSpill) {
    const struct {
        size_t length;
        const char *md5, *sha1;
    } cases[] = {
        {55, "8c3eb046bcdb1f0ffe75fdbaf890cf13", "04bb34aef4880b625e6b1564a014abd25fc02bfe"},
        {56, "d5e0fa3122448ddd3d843a9c5ed9e839", "83b9fcb6d3e3b20f376ab989a1b6353bcc6c0f44"},
        {63, "1dd0d6ddeb881b118518c2881555f34b", "ab15090e8dbe512f3733350f9623ab11f9b5165b"},
        {64, "7b412e00d38c31b0845a4f502d39d5e3", "54305ee7e4c7bc5a96afc6d1994fc52d9bcb665f"},
        {119, "dac58560b386c3d5b29ebbdec5197e10", "6839d6c27f22ed884ac43ae6bd3bfcee9e04b938"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(md5hex(pattern(c.length)), c.md5);
        EXPECT_EQ(sha1hex(pattern(c.length)), c.sha1);
    }
}

// Any way of cutting the message into updates gives the one-shot digest. The
// chunk sizes repeat until the message is used up; zeros are empty updates.
TEST(Digests, AnySplitGivesTheOneShotDigest) {
    const std::vector<std::vector<uint32_t>> splits = {
        {1}, {0, 1, 0}, {64}, {0, 64}, {63, 1}, {1, 63}, {55, 9}, {56, 8}, {119, 9}, {3, 64, 61},
    };
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 128, 300}) {
        const std::string m = pattern(length);
        const std::string md5 = md5hex(m), sha1 = sha1hex(m);
        for (const auto &split : splits) {
            SCOPED_TRACE(testing::Message()
                         << "length " << length << ", split " << split[0] << "," << split.back());
            MD5_CTX mc;
            SHA1_CTX sc;
            MD5Init(&mc);
            SHA1Init(&sc);
            size_t pos = 0;
            for (size_t k = 0; pos < length || k < split.size(); ++k) {
                const uint32_t n = std::min<uint32_t>(split[k % split.size()],
                                                      static_cast<uint32_t>(length - pos));
                // Exact-size copies so a read past the piece is caught.
                const std::vector<uint8_t> piece(m.begin() + pos, m.begin() + pos + n);
                MD5Update(&mc, piece.data(), n);
                SHA1Update(&sc, piece.data(), n);
                pos += n;
            }
            uint8_t md[16], sd[20];
            MD5Final(md, &mc);
            SHA1Final(sd, &sc);
            EXPECT_EQ(hex(md, 16), md5);
            EXPECT_EQ(hex(sd, 20), sha1);
        }
    }
}

// At 2^29 bytes the bit count no longer fits one word: MD5 must carry the
// top bits of a single large update, SHA-1 must shift them into the high word
// of the padded count. Zero pages mapped on demand keep this cheap in memory.
TEST(Digests, MessageOf512MiBInOneUpdate) {
    const size_t n = size_t{1} << 29;
#ifdef _WIN32
    void *zeros = VirtualAlloc(nullptr, n, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY);
    ASSERT_NE(zeros, nullptr);
#elif __has_include(<sys/mman.h>)
    void *zeros = mmap(nullptr, n, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
#else
    void *zeros = nullptr;
    GTEST_SKIP() << "needs anonymous memory mappings";
#endif
    const auto *p = static_cast<const uint8_t *>(zeros);
    uint8_t d[20];
    MD5Buffer(p, static_cast<uint32_t>(n), d);
    EXPECT_EQ(hex(d, 16), "aa559b4e3523a6c931f08f4df52d58f2");
    SHA1_CTX c;
    SHA1Init(&c);
    SHA1Update(&c, p, static_cast<uint32_t>(n));
    SHA1Final(d, &c);
    EXPECT_EQ(hex(d, 20), "5b088492c9f4778f409b7ae61477dec124c99033");
#ifdef _WIN32
    VirtualFree(zeros, 0, MEM_RELEASE);
#elif __has_include(<sys/mman.h>)
    munmap(zeros, n);
#endif
}

TEST(Md5, ContextLayout) {
    const std::string m = pattern(130);
    MD5_CTX c;
    MD5Init(&c);
    std::memset(c.buffer, 0xee, sizeof c.buffer);
    MD5Update(&c, bytes(m), 130);
    // The count is in bits; whole blocks are compressed from the caller's data,
    // so only the two-byte tail reaches the buffer.
    EXPECT_EQ(c.count[0], 130u * 8);
    EXPECT_EQ(c.count[1], 0u);
    EXPECT_EQ(hex(c.buffer, 3), hex(bytes(m) + 128, 2) + "ee");

    // The low word carries into the high one.
    MD5_CTX w{};
    MD5Init(&w);
    w.count[0] = 0xfffffff8u;
    MD5Update(&w, bytes(m), 1);
    EXPECT_EQ(w.count[0], 0u);
    EXPECT_EQ(w.count[1], 1u);
}

TEST(Md5, FinalZeroesTheContext) {
    MD5_CTX c;
    MD5Init(&c);
    MD5Update(&c, bytes(pattern(100)), 100);
    uint8_t d[16];
    MD5Final(d, &c);
    const MD5_CTX zero{};
    EXPECT_EQ(std::memcmp(&c, &zero, sizeof c), 0);
}

TEST(Sha1, ContextLayout) {
    const std::string m = pattern(5);
    SHA1_CTX c;
    SHA1Init(&c);
    SHA1Update(&c, bytes(m), 5);
    // The count is in bytes, and bytes sit in the block in arrival order until
    // it is compressed.
    EXPECT_EQ(c.length[0], 5u);
    EXPECT_EQ(c.length[1], 0u);
    EXPECT_EQ(std::memcmp(c.block, m.data(), 5), 0);

    SHA1_CTX w{};
    SHA1Init(&w);
    w.length[0] = 0xffffffffu;
    SHA1Update(&w, bytes(m), 1);
    EXPECT_EQ(w.length[0], 0u);
    EXPECT_EQ(w.length[1], 1u);
}

// Unlike MD5Final, SHA1Final leaves the finished state: the chain is the
// digest and the count stays.
TEST(Sha1, FinalKeepsTheFinishedState) {
    SHA1_CTX c;
    SHA1Init(&c);
    SHA1Update(&c, bytes("abc"), 3);
    uint8_t d[20];
    SHA1Final(d, &c);
    EXPECT_EQ(c.length[0], 3u);
    EXPECT_EQ(c.length[1], 0u);
    for (int i = 0; i < 5; ++i) {
        const uint32_t word = uint32_t{d[4 * i]} << 24 | uint32_t{d[4 * i + 1]} << 16 |
                              uint32_t{d[4 * i + 2]} << 8 | d[4 * i + 3];
        EXPECT_EQ(c.chain[i], word) << i;
    }
}

// The SHA-1 compressions this build and processor offer; the portable one is
// always there.
std::vector<bool> sha1engines() {
    if (sha1shaextavailable()) return {false, true};
    return {false};
}

// Restores the library's own choice when a test ends, failed or not.
struct sha1engineguard {
    const bool saved = sha1usingshaext();
    ~sha1engineguard() { sha1useshaext(saved); }
};

std::string enginename(bool shaext) {
    return shaext ? "SHA extensions" : "portable";
}

// Without a forced choice the library uses the extensions exactly when the
// processor has them: the processor's own list of features says which.
TEST(Sha1Engines, ChosenByTheProcessor) {
    EXPECT_EQ(sha1usingshaext(), sha1shaextavailable());
#if defined(__x86_64__) || defined(__i386__)
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    if (line.empty()) GTEST_SKIP() << "no processor flags to compare with";
    EXPECT_EQ(sha1shaextavailable(), (line + ' ').find(" sha_ni ") != std::string::npos);
#else
    EXPECT_FALSE(sha1shaextavailable());
#endif
}

TEST(Sha1Engines, PortableCanBeForced) {
    const sha1engineguard guard;
    EXPECT_TRUE(sha1useshaext(false));
    EXPECT_FALSE(sha1usingshaext());
    // Asking for the extensions where they are missing changes nothing.
    EXPECT_EQ(sha1useshaext(true), sha1shaextavailable());
    EXPECT_EQ(sha1usingshaext(), sha1shaextavailable());
}

// The published results through each compression, the one-block, two-block
// and spill cases included; HMAC and PBKDF2 ride on the same compression.
TEST(Sha1Engines, EachGivesThePublishedVectors) {
    const sha1engineguard guard;
    for (bool shaext : sha1engines()) {
        SCOPED_TRACE(enginename(shaext));
        ASSERT_TRUE(sha1useshaext(shaext));
        EXPECT_EQ(sha1hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
        EXPECT_EQ(sha1hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
        EXPECT_EQ(sha1hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
                  "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
        EXPECT_EQ(sha1hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
        EXPECT_EQ(sha1hex(pattern(56)), "83b9fcb6d3e3b20f376ab989a1b6353bcc6c0f44");
        EXPECT_EQ(sha1hex(pattern(119)), "6839d6c27f22ed884ac43ae6bd3bfcee9e04b938");
        EXPECT_EQ(hmachex("Jefe", "what do ya want for nothing?"),
                  "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    }
}

std::string randombytes(std::mt19937 &random, size_t n) {
    std::string s(n, '\0');
    for (auto &ch : s)
        ch = static_cast<char>(random());
    return s;
}

struct sha1result {
    std::string digest;
    uint32_t chain[5], length[2];
};

// SHA-1 of a message under one compression, fed in the given pieces; the
// context after Final is kept so the two can be compared whole.
sha1result sha1with(bool shaext, const std::string &m, const std::vector<size_t> &pieces) {
    EXPECT_TRUE(sha1useshaext(shaext));
    SHA1_CTX c;
    SHA1Init(&c);
    size_t pos = 0;
    for (size_t n : pieces) {
        SHA1Update(&c, bytes(m) + pos, static_cast<uint32_t>(n));
        pos += n;
    }
    EXPECT_EQ(pos, m.size());
    uint8_t d[20];
    SHA1Final(d, &c);
    sha1result r{hex(d, 20), {}, {c.length[0], c.length[1]}};
    std::memcpy(r.chain, c.chain, sizeof r.chain);
    return r;
}

void expectsame(const sha1result &portable, const sha1result &shaext) {
    EXPECT_EQ(portable.digest, shaext.digest);
    EXPECT_EQ(std::memcmp(portable.chain, shaext.chain, sizeof portable.chain), 0);
    EXPECT_EQ(portable.length[0], shaext.length[0]);
    EXPECT_EQ(portable.length[1], shaext.length[1]);
}

TEST(Sha1Engines, AgreeOnEveryLengthUpTo300) {
    if (!sha1shaextavailable()) GTEST_SKIP() << "no SHA extensions here";
    const sha1engineguard guard;
    std::mt19937 random(1);
    for (size_t length = 0; length <= 300; ++length) {
        SCOPED_TRACE(length);
        const std::string m = randombytes(random, length);
        // One update, so whole blocks go straight from the message.
        expectsame(sha1with(false, m, {length}), sha1with(true, m, {length}));
    }
}

// A few megabytes in random pieces, different for each side, so blocks are
// completed in the context as well as taken straight from the message; a
// third run changes compression on every piece, which works only if both
// leave the context in the same shape.
TEST(Sha1Engines, AgreeOnMegabytesInRandomPieces) {
    if (!sha1shaextavailable()) GTEST_SKIP() << "no SHA extensions here";
    const sha1engineguard guard;
    std::mt19937 random(2);
    const std::string m = randombytes(random, 3 * 1048576 + 37);
    auto split = [&] {
        std::vector<size_t> pieces;
        for (size_t pos = 0; pos < m.size();) {
            // Mostly small pieces, some of several blocks and some empty.
            const size_t most = random() % 4 == 0 ? 40000 : 130;
            const size_t n = std::min(random() % (most + 1), m.size() - pos);
            pieces.push_back(n);
            pos += n;
        }
        return pieces;
    };
    const sha1result portable = sha1with(false, m, split());
    expectsame(portable, sha1with(true, m, split()));
    expectsame(portable, sha1with(true, m, {m.size()}));

    SHA1_CTX c;
    SHA1Init(&c);
    bool shaext = false;
    size_t pos = 0;
    for (size_t n : split()) {
        ASSERT_TRUE(sha1useshaext(shaext = !shaext));
        SHA1Update(&c, bytes(m) + pos, static_cast<uint32_t>(n));
        pos += n;
    }
    uint8_t d[20];
    SHA1Final(d, &c);
    EXPECT_EQ(hex(d, 20), portable.digest);
}

TEST(HmacSha1, Rfc2202Suite) {
    std::string key4;
    for (char i = 1; i <= 25; ++i)
        key4 += i;
    const struct {
        std::string key, data;
        const char *mac;
    } cases[] = {
        {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {std::string(20, '\xaa'), std::string(50, '\xdd'),
         "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {key4, std::string(50, '\xcd'), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {std::string(20, '\x0c'), "Test With Truncation",
         "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {std::string(80, '\xaa'),
         "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(hmachex(cases[i].key, cases[i].data), cases[i].mac) << "case " << i + 1;
}

// The hashing threshold: 64 bytes are used as the key, 65 are replaced by
// their SHA-1 digest.
TEST(HmacSha1, KeyOfBlockSizeIsUsedDirectlyLongerIsHashed) {
    std::string key64, key65;
    for (int i = 0; i < 64; ++i)
        key64 += static_cast<char>(i);
    key65 = key64 + '\x40';
    const std::string data = "Sample message";

    EXPECT_EQ(hmachex(key64, data), "0d4310b25042857e8f5ef5c32d9cb078d97a8351");
    EXPECT_EQ(hmachex(key65, data), "81860b3f21b6bce6b4a6340fc60c584b54501f23");

    uint8_t d[20];
    SHA1_CTX c;
    SHA1Init(&c);
    SHA1Update(&c, bytes(key65), 65);
    SHA1Final(d, &c);
    EXPECT_EQ(hmachex(key65, data), hmachex(std::string(d, d + 20), data));
}

// Derives into a guarded area and checks that exactly the requested bytes
// were written.
std::string pbkdf2hex(const std::string &password, const std::string &salt, uint32_t iterations,
                      uint32_t length) {
    std::vector<uint8_t> out(length + 8, 0xa5);
    PBKDF2SHA1(bytes(password), static_cast<uint32_t>(password.size()), bytes(salt),
               static_cast<uint32_t>(salt.size()), iterations, out.data(), length);
    EXPECT_EQ(hex(out.data() + length, 8), "a5a5a5a5a5a5a5a5");
    return hex(out.data(), length);
}

TEST(Pbkdf2Sha1, Rfc6070Suite) {
    // The 16777216-iteration case is left out: minutes under the sanitizers
    // and nothing the 4096-iteration cases do not already exercise.
    const struct {
        std::string password, salt;
        uint32_t iterations, length;
        const char *key;
    } cases[] = {
        {"password", "salt", 1, 20, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, 20, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, 20, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16,
         "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &c = cases[i];
        EXPECT_EQ(pbkdf2hex(c.password, c.salt, c.iterations, c.length), c.key) << "case " << i;
    }
}

TEST(Pbkdf2Sha1, OutputLengths) {
    // 40 bytes are two full blocks; 32 is the same two blocks, the second cut.
    const std::string full = pbkdf2hex("password", "salt", 2, 40);
    EXPECT_EQ(full,
              "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957cae93136266537a8d7bf4b76c51094cc1ae010b1");
    EXPECT_EQ(pbkdf2hex("password", "salt", 2, 32), full.substr(0, 64));
    // No iterations leave every block all zero; no length writes nothing.
    EXPECT_EQ(pbkdf2hex("password", "salt", 0, 25), std::string(50, '0'));
    EXPECT_EQ(pbkdf2hex("password", "salt", 4096, 0), "");
}

TEST(Base64, Encodings) {
    std::string all; // one group per four alphabet positions, so every character appears
    for (uint32_t j = 0; j < 64; j += 4) {
        const uint32_t v = j << 18 | (j + 1) << 12 | (j + 2) << 6 | (j + 3);
        all += {static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
    }
    std::string seq45;
    for (int i = 0; i < 45; ++i)
        seq45 += static_cast<char>(i);

    const struct {
        std::string data;
        const char *text;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foobar", "Zm9vYmFy"},
        {"\xfb\xff\xbf", "+/+/"},
        {seq45, "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKiss"},
        {all, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        // Exact-size input so a read past the end is caught; guarded output so
        // a line break, terminator or overrun is.
        const std::vector<uint8_t> in(c.data.begin(), c.data.end());
        const int length = static_cast<int>(in.size());
        char out[80];
        std::memset(out, '#', sizeof out);
        const int n = b64encode(in.data(), length, out);
        EXPECT_EQ(n, 4 * ((length + 2) / 3));
        EXPECT_EQ(std::string(out, n), c.text);
        EXPECT_EQ(std::string(out + n, sizeof out - n), std::string(sizeof out - n, '#'));
    }
}

TEST(Base64, NegativeLengthWritesNothing) {
    const uint8_t data[3] = {1, 2, 3};
    char out[8] = "#######";
    EXPECT_EQ(b64encode(data, -1, out), 0);
    EXPECT_STREQ(out, "#######");
}

} // namespace
