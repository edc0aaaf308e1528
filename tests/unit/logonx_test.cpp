// logonx's routines: the record cipher, the random generator and its state
// files, the secret file.
#include "logonx/cipher.h"
#include "logonx/secret.h"
#include "logonx/sysrand.h"
#include "port/win32.h"
#include "tests/support/logonxtest.h"
#include "tests/support/run.h"
#include "tests/support/signon.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#ifndef _WIN32
#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string hex(const uint8_t *p, size_t n) {
    std::string s;
    char two[3];
    for (size_t k = 0; k < n; k++) {
        snprintf(two, sizeof two, "%02x", p[k]);
        s += two;
    }
    return s;
}

uint32_t word(const std::string &bytes, size_t at) {
    return (uint32_t)(uint8_t)bytes[at] | (uint32_t)(uint8_t)bytes[at + 1] << 8 |
           (uint32_t)(uint8_t)bytes[at + 2] << 16 | (uint32_t)(uint8_t)bytes[at + 3] << 24;
}

std::string staterecord(const char *signature, uint32_t a1, uint32_t a2, uint32_t b1, uint32_t b2) {
    std::string r(signature, 4);
    for (uint32_t w : {a1, a2, b1, b2})
        for (int k = 0; k < 4; k++)
            r += (char)(w >> (8 * k));
    return r;
}

// A path in the temporary folder whose base name no other test run shares,
// since the mutex is named after the base name alone.
std::string statepath(const tempdir &dir, const char *name) {
    return dir.file(std::string(name) + "-" + processtext());
}

#ifndef _WIN32
// The platform layer keeps a lock file in /tmp per mutex name; those of this
// run's state files go when the run ends, so that runs leave nothing behind.
struct lockfilesweeper : testing::Environment {
    void TearDown() override {
        std::string pattern = "/tmp/.win32mutex-MUTEX_SYSRAND_*-" + processtext() + "*";
        glob_t found;
        if (glob(pattern.c_str(), 0, nullptr, &found) == 0)
            for (size_t k = 0; k < found.gl_pathc; k++)
                unlink(found.gl_pathv[k]);
        globfree(&found);
    }
};
testing::Environment *const sweeper = testing::AddGlobalTestEnvironment(new lockfilesweeper);
#endif

} // namespace

// ---- record cipher ----------------------------------------------------------

TEST(Rc4, PublishedKeystreams) {
    // Keystream bytes at offsets 0, 16, 240, 256 and 272 for two keys of RFC 6229.
    struct row {
        std::vector<uint8_t> key;
        const char *at0, *at16, *at240, *at256, *at272;
    };
    const row rows[] = {
        {{1, 2, 3, 4, 5},
         "b2396305f03dc027ccc3524a0a1118a8",
         "6982944f18fc82d589c403a47a0d0919",
         "28cb1132c96ce286421dcaadb8b69eae",
         "1cfcf62b03eddb641d77dfcf7f8d8c93",
         "5f49b218ec83ce6ad6b6a70f36c560e6"},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         "9ac7cc9a609d1ef7b2932899cde41b97",
         "5248c4959014126a6e8a84f11d1a9e1c",
         "065902e4b620f6cc36c8589f66432f2b",
         "d39d566bc6bce3010768151549f3873f",
         "e609f0c1d7279cc6fbb0b40a863546ed"},
    };
    for (const row &r : rows) {
        rc4state state;
        rc4setup(&state, r.key.data(), (int)r.key.size());
        uint8_t stream[288];
        for (uint8_t &b : stream)
            b = rc4byte(&state);
        EXPECT_EQ(hex(stream, 16), r.at0);
        EXPECT_EQ(hex(stream + 16, 16), r.at16);
        EXPECT_EQ(hex(stream + 240, 16), r.at240);
        EXPECT_EQ(hex(stream + 256, 16), r.at256);
        EXPECT_EQ(hex(stream + 272, 16), r.at272);

        // rc4crypt is that keystream from its 257th byte on, also in place,
        // and starts from the key on every call.
        uint8_t data[32] = {};
        uint8_t out[32];
        rc4crypt(data, 32, r.key.data(), (int)r.key.size(), out);
        EXPECT_EQ(hex(out, 32), hex(stream + 256, 32));
        rc4crypt(data, 32, r.key.data(), (int)r.key.size(), data);
        EXPECT_EQ(hex(data, 32), hex(stream + 256, 32));
    }
}

TEST(Signon, ReceiverGetsBackWhatWasSent) {
    uint8_t nonce[12], fill[32];
    for (int k = 0; k < 12; k++)
        nonce[k] = (uint8_t)(0xA0 + k);
    for (int k = 0; k < 32; k++)
        fill[k] = (uint8_t)(0x40 + 3 * k);
    struct row {
        std::string ip, secret, datetime, password;
    };
    const row rows[] = {
        {"10.1.2.3", "shared secret", "202612101230", ""},
        {"10.1.2.3", "shared secret", "202612101230", "x"},
        {"", "", "202612101230", std::string(31, 'p')}, // empty IP and secret
        {"192.168.100.200", std::string(199, 's'), "", std::string(32, 'q')},
        {std::string(19, '9'), "k", "2026121012301234567", "pass word"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.password.size());
        char text[61];
        memset(text, '#', sizeof text);
        signonstring(r.ip.c_str(), r.secret.c_str(), r.datetime.c_str(), r.password.c_str(), nonce,
                     fill, text);
        ASSERT_EQ(strlen(text), 60u);
        EXPECT_EQ(std::string(text).find('='), std::string::npos);
        opened got = opensignon(text, r.secret, r.ip, r.datetime);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.nonce, std::string((const char *)nonce, 12));
        const size_t n = r.password.size();
        EXPECT_EQ((size_t)(uint8_t)got.block[0], n);
        EXPECT_EQ(got.password, r.password);
        if (n < 32) {
            // "m" where F[0] would be, then F[1] onwards to the end of the block.
            EXPECT_EQ(got.block[n + 1], 'm');
            EXPECT_EQ(got.block.substr(n + 2), std::string((const char *)fill + 1, 31 - n));
        }
        // The same inputs give the same string.
        char again[61];
        signonstring(r.ip.c_str(), r.secret.c_str(), r.datetime.c_str(), r.password.c_str(), nonce,
                     fill, again);
        EXPECT_STREQ(again, text);
        // Another secret opens to another nonce.
        EXPECT_NE(opensignon(text, r.secret + "!", r.ip, r.datetime).nonce, got.nonce);
    }
}

// ---- generator pairs --------------------------------------------------------

TEST(Rng, SeedAndStep) {
    rngpair p = {0xFFFFFFFE, 0xFFFFFFFF};
    rngseed(&p);
    EXPECT_EQ(p.lcg, 0xFFFFFFFFu);
    EXPECT_EQ(p.shift, 0x7FFu);
    p = {0x12345678, 0x1000};
    rngseed(&p);
    EXPECT_EQ(p.lcg, 0x12345679u);
    EXPECT_EQ(p.shift, 1u);

    // By hand: lcg 69069 (0x10DCD); shift 1 ^ 1 << 17 = 0x20001;
    // (0x20001 ^ 0x10DCD) >> 1 = 0x186E6.
    p = {1, 1};
    EXPECT_EQ(rngnext(&p), 0x186E6u);
    EXPECT_EQ(p.lcg, 69069u);
    EXPECT_EQ(p.shift, 0x20001u);
    // High bits: lcg 3 * 69069 = 0x32967; shift 0x80000000 ^ 0x10000 = 0x80010000,
    // whose << 17 falls off the word; (0x80010000 ^ 0x32967) >> 1 = 0x400114B3.
    p = {3, 0x80000000};
    EXPECT_EQ(rngnext(&p), 0x400114B3u);
    EXPECT_EQ(p.shift, 0x80010000u);
    EXPECT_LT(rngnext(&p), 0x80000000u);
}

// ---- state files ------------------------------------------------------------

TEST(StateFile, FirstUseCreatesANormalisedRecord) {
    tempdir dir;
    std::string path = statepath(dir, "state1");
    DWORD first = 0, second = 0;
    ASSERT_EQ(sysrandfile(path.c_str(), &first, &second), 0);
    std::string r = readfile(path);
    ASSERT_EQ(r.size(), 20u);
    EXPECT_EQ(r.substr(0, 4), "RND1");
    EXPECT_EQ(word(r, 4) & 1, 1u);
    EXPECT_EQ(word(r, 12) & 1, 1u);
    EXPECT_LT(first, 0x80000000u);
    EXPECT_LT(second, 0x80000000u);
    // The values are those of the stored words.
    EXPECT_EQ(first, (word(r, 8) ^ word(r, 4)) >> 1);
    EXPECT_EQ(second, (word(r, 16) ^ word(r, 12)) >> 1);
}

TEST(StateFile, StepsAndNormalises) {
    tempdir dir;
    std::string path = statepath(dir, "state1");
    struct row {
        const char *name;
        std::string before;
        rngpair a, b; // the pairs as stepped
    };
    const row rows[] = {
        // RND0: lcg made odd, shift odd below 2048, then one step.
        {"RND0",
         staterecord("RND0", 0x12345678, 0xFFFFF000, 0x00000002, 0x00000123),
         {0x12345679, 0x001},
         {0x00000003, 0x123}},
        // RND1: taken as it is, even words included.
        {"RND1",
         staterecord("RND1", 0x12345678, 0xFFFFF000, 0x00000002, 0x00000123),
         {0x12345678, 0xFFFFF000},
         {0x00000002, 0x123}},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        writefile(path, r.before + "tail stays");
        rngpair a = r.a, b = r.b;
        uint32_t wantfirst = rngnext(&a), wantsecond = rngnext(&b);
        DWORD first = 0, second = 0;
        ASSERT_EQ(sysrandfile(path.c_str(), &first, &second), 0);
        EXPECT_EQ(first, wantfirst);
        EXPECT_EQ(second, wantsecond);
        EXPECT_EQ(readfile(path),
                  staterecord("RND1", a.lcg, a.shift, b.lcg, b.shift) + "tail stays");
    }
}

TEST(StateFile, UnusableFilesAreLeftAlone) {
    namespace fs = std::filesystem;
    tempdir dir;
    std::string path = statepath(dir, "state1");
    std::string target = dir.file("target");
    const std::string good = staterecord("RND1", 5, 7, 9, 11);
    struct row {
        const char *name;
        std::function<void()> make;
    };
    const row rows[] = {
        {"7 bytes", [&] { writefile(path, "RND1abc"); }},
        {"foreign signature", [&] { writefile(path, staterecord("RND2", 5, 7, 9, 11)); }},
        {"a folder", [&] { ASSERT_TRUE(fs::create_directory(path)); }},
#ifndef _WIN32
        // Windows opens a link itself and logonx tells it by its attributes;
        // Wine makes no symbolic links, and a FIFO has no Windows kind.
        {"a link to a good file",
         [&] {
             writefile(target, good);
             ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
         }},
        {"a dangling link", [&] { ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0); }},
        {"a FIFO", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
#endif
    };
    // What is at the path, as a link itself shows it.
    auto found = [&] {
        fs::file_status st = fs::symlink_status(path);
        std::string what =
            std::to_string((int)st.type()) + " " + std::to_string((int)st.permissions());
        if (st.type() == fs::file_type::regular) what.append(" ").append(readfile(path));
        return what;
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        fs::remove(target);
        fs::remove(path);
        r.make();
        const std::string before = found();
        DWORD first = 0, second = 0;
        EXPECT_EQ(sysrandfile(path.c_str(), &first, &second), 3);
        EXPECT_EQ(first, fallbackfirst);
        EXPECT_EQ(second, fallbacksecond);
        EXPECT_EQ(found(), before);
        // Nothing was written through a link.
        if (r.name == std::string("a link to a good file")) {
            EXPECT_EQ(readfile(target), good);
        } else {
            EXPECT_FALSE(fs::exists(target));
        }
    }
}

TEST(StateFile, MutexHeldElsewhereGivesTheFallback) {
    tempdir dir;
    // The mutex is named after at most 40 characters of the base name, in lower case.
    std::string base = "State1-" + processtext() + "-ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJ";
    std::string path = dir.file(base);
    std::string name = "MUTEX_SYSRAND_";
    for (char c : base.substr(0, 40))
        name += (char)tolower((unsigned char)c);
    writefile(path, staterecord("RND1", 5, 7, 9, 11));

    mutexholder other;
    ASSERT_TRUE(other.hold(name, mutexholder::releasing));
    DWORD first = 0, second = 0;
    // It waits its 5 seconds.
    EXPECT_EQ(sysrandfile(path.c_str(), &first, &second), 2);
    EXPECT_EQ(first, fallbackfirst);
    EXPECT_EQ(second, fallbacksecond);
    EXPECT_EQ(readfile(path), staterecord("RND1", 5, 7, 9, 11));
    EXPECT_EQ(other.end(), 0);
    EXPECT_EQ(sysrandfile(path.c_str(), &first, &second), 0);
}

TEST(StateFile, MutexOfADeadHolderIsTaken) {
    tempdir dir;
    std::string path = statepath(dir, "state1");
    std::string name = "MUTEX_SYSRAND_" + path.substr(path.rfind('/') + 1);
    mutexholder holder;
    ASSERT_TRUE(holder.hold(name, mutexholder::abandoning));
    EXPECT_EQ(holder.end(), 0); // it ended while it owned the mutex
    DWORD first = 0, second = 0;
    EXPECT_EQ(sysrandfile(path.c_str(), &first, &second), 0);
    EXPECT_EQ(readfile(path).substr(0, 4), "RND1");
}

// ---- entropy record and draws -------------------------------------------------

TEST(Sysrand, EntropyRecordLength) {
    const DWORD words[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    const DWORD t0 = 400000;
    DWORD values[15];
    for (int k = 0; k < 15; k++)
        values[k] = t0 + 1000 * (DWORD)k;
    values[2] = 314159; // below T0: the difference wraps
    struct row {
        int count, length;
    };
    for (row r : {row{0, 36}, row{1, 36}, row{3, 40}, row{10, 54}, row{15, 54}}) {
        SCOPED_TRACE(r.count);
        uint8_t record[entropymaxlength + 8];
        memset(record, 0xEE, sizeof record);
        int status = 0;
        int length = entropyrecord(t0, values, r.count, words, &status, record);
        EXPECT_EQ(length, r.length);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(record[entropymaxlength], 0xEE); // nothing beyond 54 bytes
        std::string s((const char *)record, sizeof record);
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(word(s, 4 * k), words[k]);
        EXPECT_EQ((uint32_t)(uint8_t)s[18] | (uint32_t)(uint8_t)s[19] << 8,
                  (uint32_t)GetCurrentProcessId() & 0xFFFF);
        EXPECT_EQ(word(s, 28), t0);
        for (int k = 1; k < r.count && 36 + 2 * (k - 1) < 54; k++) {
            uint32_t got = (uint32_t)(uint8_t)s[36 + 2 * (k - 1)] |
                           (uint32_t)(uint8_t)s[37 + 2 * (k - 1)] << 8;
            EXPECT_EQ(got, (values[k] - t0) & 0xFFFF) << k;
        }
    }
    // 314159 - 400000 wraps to 0xFFFEB0AF: its low 16 bits.
    EXPECT_EQ((values[2] - t0) & 0xFFFF, 0xB0AFu);
}

TEST(Sysrand, DrawsAdvanceBothFiles) {
    tempdir dir;
    std::string path = statepath(dir, "st1");
    std::string one = path, two = path;
    one[dir.path().size() + 3] = '1';
    two[dir.path().size() + 3] = '2';
    writefile(two, staterecord("RND1", 5, 7, 9, 11));
    const DWORD values[3] = {1000, 5000, 314159};
    uint8_t out1[32], out2[32];
    std::string p = path;
    EXPECT_EQ(sysrandat(p.data(), (int)dir.path().size() + 3, values, 3, out1), 0);
    EXPECT_EQ(p, std::string(p.size(), '\0')); // the path is cleared after use
    p = path;
    EXPECT_EQ(sysrandat(p.data(), (int)dir.path().size() + 3, values, 3, out2), 0);
    EXPECT_NE(hex(out1, 32), hex(out2, 32));
    EXPECT_EQ(readfile(one).substr(0, 4), "RND1");
    EXPECT_EQ(word(readfile(two), 4), 5u * 69069u * 69069u);

    // A file that cannot be used is the second's status, and 32 bytes still come out.
    writefile(two, "RND1short");
    p = path;
    memset(out1, 0, sizeof out1);
    EXPECT_EQ(sysrandat(p.data(), (int)dir.path().size() + 3, values, 3, out1), 3);
    EXPECT_NE(hex(out1, 32), std::string(64, '0'));
}

// ---- secret file --------------------------------------------------------------

TEST(SecretFile, ReadFileLine) {
    tempdir dir;
    std::string path = dir.file("lines");
    struct row {
        const char *name;
        std::string content;
        int size;
        std::vector<std::pair<int, std::string>> lines; // results in order, then -1
    };
    const std::string longline(160, 'a');
    const row rows[] = {
        {"CR LF", "ab\r\ncd\r\n", 20, {{2, "ab"}, {2, "cd"}}},
        {"LF CR", "ab\n\rcd", 20, {{2, "ab"}, {2, "cd"}}},
        {"CR CR", "ab\r\rcd\r", 20, {{2, "ab"}, {2, "cd"}}},
        {"CR, LF alone", "ab\rcd\nef", 20, {{2, "ab"}, {2, "cd"}, {2, "ef"}}},
        {"LF LF is an empty line", "ab\n\ncd", 20, {{2, "ab"}, {0, ""}, {2, "cd"}}},
        {"CR CR LF", "ab\r\r\ncd", 20, {{2, "ab"}, {0, ""}, {2, "cd"}}},
        {"long line cut, all consumed", longline + "\r\nz", 5, {{4, "aaaa"}, {1, "z"}}},
        // The line end straddles the 150-byte chunks.
        {"CR at 150, LF at 151",
         std::string(149, 'b') + "\r\nz",
         200,
         {{149, std::string(149, 'b')}, {1, "z"}}},
        {"empty file", "", 20, {}},
        {"size 1 stores nothing", "abc\nd", 1, {{0, ""}, {0, ""}}},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        writefile(path, r.content);
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD offset = 0;
        char buffer[200];
        for (const auto &[count, text] : r.lines) {
            ASSERT_EQ(readfileline(f, &offset, buffer, r.size), count);
            EXPECT_EQ(std::string(buffer), text);
        }
        EXPECT_EQ(offset, (DWORD)r.content.size());
        DWORD before = offset;
        EXPECT_EQ(readfileline(f, &offset, buffer, r.size), -1);
        EXPECT_EQ(offset, before);
        EXPECT_EQ(readfileline(f, &offset, buffer, 0), -3);
        EXPECT_EQ(offset, before);
        CloseHandle(f);
    }
}

TEST(SecretFile, FirstCandidateThatOpens) {
    tempdir dir;
    std::string first = dir.file("first.dat"), second = dir.file("second.dat"),
                third = dir.file("third.dat");
    struct row {
        const char *name;
        std::vector<std::pair<std::string, std::string>> files; // path, content ("/" a folder)
        std::string ip, secret;
    };
    const row rows[] = {
        {"none", {}, "", ""},
        {"the first, even when empty", {{first, ""}, {third, "1.2.3.4\nsecret\n"}}, "", ""},
        {"a folder is passed over",
         {{first, "/"}, {second, "1.2.3.4\r\nsecret"}},
         "1.2.3.4",
         "secret"},
        {"one line: no secret", {{third, "1.2.3.4\r\n"}}, "1.2.3.4", ""},
        {"IP cut to 19, third line ignored",
         {{second, std::string(30, '7') + "\nsecret\nmore\n"}},
         std::string(19, '7'),
         "secret"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        for (const std::string &p : {first, second, third})
            std::filesystem::remove(p);
        for (const auto &[p, content] : r.files) {
            if (content == "/")
                ASSERT_TRUE(std::filesystem::create_directory(p));
            else
                writefile(p, content);
        }
        const char *names[] = {first.c_str(), second.c_str(), third.c_str()};
        char ip[ipsize] = "old", secret[secretsize] = "old";
        readsecret(names, 3, ip, secret);
        EXPECT_EQ(std::string(ip), r.ip);
        EXPECT_EQ(std::string(secret), r.secret);
    }
}

TEST(SecretFile, Candidates) {
#ifdef _WIN32
    const std::string misc = "c:\\misc\\logon7.dat", root = "c:\\logonq.dat";
#else
    // The home folder stands for c:\ (see README).
    const struct passwd *pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    const std::string home = pw->pw_dir;
    const std::string misc = home + "/misc/logon7.dat", root = home + "/logonq.dat";
#endif
    char name[300];
    ASSERT_TRUE(secretcandidate(0, '7', name, sizeof name));
    EXPECT_EQ(std::string(name), misc);
    ASSERT_TRUE(secretcandidate(1, 'q', name, sizeof name));
    EXPECT_EQ(std::string(name), root);
    ASSERT_TRUE(secretcandidate(2, '1', name, sizeof name));
    EXPECT_EQ(std::string(name), "logon1.dat");
    EXPECT_FALSE(secretcandidate(3, '1', name, sizeof name));
    EXPECT_FALSE(secretcandidate(2, '1', name, 10)); // does not fit
}

TEST(SecretFile, NowText) {
    time_t before = time(nullptr);
    char text[20];
    nowtext(text);
    time_t after = time(nullptr);
    ASSERT_TRUE(std::regex_match(text, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"))) << text;
    auto format = [](time_t t) {
        char s[32];
        struct tm local = localtm(t);
        strftime(s, sizeof s, "%Y/%m/%d %H:%M:%S", &local);
        return std::string(s);
    };
    EXPECT_TRUE(text == format(before) || text == format(after)) << text;
}

// Many processes draw at once: each draw advances both files exactly once, so
// after k draws in all the lcg words are their seeds times 69069^k, and the
// shift words have taken k xorshift steps.
TEST(Sysrand, ConcurrentDrawsSerialise) {
    constexpr int processes = 8, draws = 200;
    tempdir dir;
    std::string path = statepath(dir, "cc1");
    const int digitat = (int)dir.path().size() + 3;
    std::string files[2] = {path, path};
    files[0][digitat] = '1';
    files[1][digitat] = '2';
    const rngpair seeds[2][2] = {{{0x1234567B, 0x0000071D}, {0x00000001, 0x00000003}},
                                 {{0xDEADBEEF, 0x00000555}, {0x7FFFFFFF, 0x000007FF}}};
    for (int f = 0; f < 2; f++)
        writefile(files[f], staterecord("RND1", seeds[f][0].lcg, seeds[f][0].shift, seeds[f][1].lcg,
                                        seeds[f][1].shift));

    // Started one after another, they draw at the same time.
    const std::string count = std::to_string(draws), at = std::to_string(digitat);
    companion drawers[processes];
    for (int k = 0; k < processes; k++)
        ASSERT_TRUE(drawers[k].start(SUITE_BIN_DIR "/drawmany", {path, at, count}))
            << drawers[k].error();
    for (int k = 0; k < processes; k++) {
        EXPECT_EQ(drawers[k].readline(120000), "all draws advanced") << k;
        EXPECT_EQ(drawers[k].finish(), 0) << k;
    }

    uint32_t power = 1;
    for (int k = 0; k < processes * draws; k++)
        power *= 69069u;
    for (int f = 0; f < 2; f++) {
        SCOPED_TRACE(f + 1);
        std::string r = readfile(files[f]);
        ASSERT_EQ(r.size(), 20u);
        EXPECT_EQ(r.substr(0, 4), "RND1");
        for (int p = 0; p < 2; p++) {
            uint32_t shift = seeds[f][p].shift;
            for (int k = 0; k < processes * draws; k++) {
                uint32_t t = shift ^ (shift >> 15);
                shift = t ^ (t << 17);
            }
            EXPECT_EQ(word(r, 4 + 8 * p), seeds[f][p].lcg * power);
            EXPECT_EQ(word(r, 8 + 8 * p), shift);
        }
    }
}

#ifdef _WIN32
// ---- the Windows build's places ---------------------------------------------------

namespace {

// A state record's two pairs after `steps` steps from the given ones.
std::string steppedrecord(const rngpair (&pairs)[2], int steps) {
    rngpair a = pairs[0], b = pairs[1];
    for (int k = 0; k < steps; k++) {
        rngnext(&a);
        rngnext(&b);
    }
    return staterecord("RND1", a.lcg, a.shift, b.lcg, b.shift);
}

// A file on c:\ for the time of a test: what was there comes back at the
// end, and what was not there goes.
class cfile {
  public:
    explicit cfile(std::string path) : name(std::move(path)) {
        existed = std::filesystem::exists(name);
        if (existed) before = readfile(name);
    }
    ~cfile() {
        if (existed)
            writefile(name, before);
        else
            std::filesystem::remove(name);
    }
    cfile(const cfile &) = delete;
    cfile &operator=(const cfile &) = delete;
    const std::string name;

  private:
    bool existed = false;
    std::string before;
};

} // namespace

// logonx.exe reads its secret file from c:\misc\, c:\ or the current folder,
// and draws with its state files c:\sysrand1.rnd and c:\sysrand2.rnd: under
// Wine c:\ is the prefix's drive_c, which this test reaches as c:\ too.
TEST(Logonx, WindowsPlaces) {
    namespace fs = std::filesystem;
    const bool hadmisc = fs::exists("c:\\misc");
    if (!hadmisc) {
        ASSERT_TRUE(fs::create_directory("c:\\misc"));
    }
    tempdir here;
    struct secretfile {
        std::string path;
        std::string ip, secret;
    };
    struct row {
        char digit;
        std::vector<secretfile> files; // the first is the one read
    };
    const auto at = [](const std::string &folder, char digit) {
        return folder + "logon" + digit + ".dat";
    };
    const row rows[] = {
        {'u',
         {{at("c:\\misc\\", 'u'), "10.0.0.1", "secret of c:\\misc"},
          {at("c:\\", 'u'), "10.0.0.2", "secret of c:\\"},
          {at(here.path() + "/", 'u'), "10.0.0.3", "secret of the current folder"}}},
        {'v',
         {{at("c:\\", 'v'), "10.0.0.4", "secret of c:\\"},
          {at(here.path() + "/", 'v'), "10.0.0.5", "secret of the current folder"}}},
        {'w', {{at(here.path() + "/", 'w'), "10.0.0.6", "secret of the current folder"}}},
    };
    const rngpair seeds[2][2] = {{{0x1234567B, 0x0000071D}, {0x00000001, 0x00000003}},
                                 {{0xDEADBEEF, 0x00000555}, {0x7FFFFFFF, 0x000007FF}}};
    {
        std::vector<std::unique_ptr<cfile>> made;
        for (const row &r : rows)
            for (const secretfile &f : r.files) {
                made.push_back(std::make_unique<cfile>(f.path));
                writefile(f.path, f.ip + "\r\n" + f.secret + "\r\n");
            }
        cfile state1("c:\\sysrand1.rnd"), state2("c:\\sysrand2.rnd");
        writefile(state1.name, steppedrecord(seeds[0], 0));
        writefile(state2.name, steppedrecord(seeds[1], 0));

        const std::string datetime = "202612101230";
        for (const row &r : rows) {
            SCOPED_TRACE(r.digit);
            const secretfile &used = r.files[0];
            const std::string password = std::string("pw of ") + r.digit;
            // Enter keeps the IP; the date/time is erased and typed.
            const std::string keys =
                std::string("\n").append(12, '\b').append(datetime + "\n" + password + "\n");
            runresult run =
                runprogram(SUITE_BIN_DIR "/logonx", {std::string(1, r.digit)}, here.path(), keys);
            EXPECT_EQ(run.status, 0);
            EXPECT_NE(run.out.find("Enter your IP address: " + used.ip +
                                   "\nUsing shared SECRET string from file\n"),
                      std::string::npos)
                << run.out;
            const std::string last = "Password string for sign-on:\n";
            size_t text = run.out.rfind(last);
            ASSERT_NE(text, std::string::npos) << run.out;
            text += last.size();
            ASSERT_EQ(run.out.size(), text + 61) << run.out;
            opened got = opensignon(run.out.substr(text, 60), used.secret, used.ip, datetime);
            EXPECT_TRUE(got.ok);
            EXPECT_EQ(got.password, password);
        }
        // Two draws a run, each stepping both files once.
        const int steps = 2 * (int)(sizeof rows / sizeof rows[0]);
        EXPECT_EQ(readfile(state1.name), steppedrecord(seeds[0], steps));
        EXPECT_EQ(readfile(state2.name), steppedrecord(seeds[1], steps));
    }
    if (!hadmisc) {
        std::error_code ignored; // left only when something else was put there meanwhile
        fs::remove("c:\\misc", ignored);
    }
}
#endif
