// webstow's routines: the command lines it accepts and what it takes from
// them, the verdict on the first response record, the exit status, and the
// socket start-up and name resolution.
#include "webstow/putparms.h"
#include "webstow/upload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct parsed {
    int rc;
    putparms parms;
};

// The record points into `args`, which must outlive it.
parsed parse(std::vector<std::string> &args) {
    args.insert(args.begin(), "webstow");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    parsed p;
    p.rc = parseputparms((int)args.size(), argv.data(), &p.parms);
    return p;
}

std::string text(const char *t, int length) {
    return t ? std::string(t, (size_t)length) : "(none)";
}

} // namespace

TEST(WebstowParse, AcceptedCommandLines) {
    struct row {
        std::vector<std::string> args;
        std::string bare, domain, host;
        int port;
        std::string path;
        int addname, filetype, binfc80, showall;
        std::string userid, password;
    };
    const std::string a256(256, 'a'), b256(256, 'b');
    const std::string path924 = "/" + std::string(923, 'p');
    const std::string dir922 = "/" + std::string(920, 'd') + "/";
    const std::string domain919(919, 'h');
#ifdef _WIN32
    const std::string drivebare = "file.txt", windowsbare = "my.txt", mixedbare = "c.txt";
#else
    // '\\' and ':' are name characters here.
    const std::string drivebare = "c:file.txt", windowsbare = "c:\\data\\my.txt",
                      mixedbare = "b\\c.txt";
#endif
    const row rows[] = {
        {{"-t", "-a", "data/my.txt", "http://server/dir/"},
         "my.txt",
         "server",
         "server",
         80,
         "/dir/",
         1,
         0,
         0,
         1,
         "(none)",
         "(none)"},
        {{"my.txt", "http://server/"},
         "my.txt",
         "server",
         "server",
         80,
         "/",
         1,
         2,
         0,
         0,
         "(none)",
         "(none)"},
        {{"-b", "pic1.jpg", "http://web/abc/http/pic2.jpg", "abc"},
         "pic1.jpg",
         "web",
         "web",
         80,
         "/abc/http/pic2.jpg",
         0,
         1,
         0,
         0,
         "abc",
         "(none)"},
        // Later options override earlier ones where they touch the same field.
        {{"-binfc80", "-t", "f", "http://h/x"},
         "f",
         "h",
         "h",
         80,
         "/x",
         0,
         0,
         0,
         0,
         "(none)",
         "(none)"},
        {{"-t", "-binfc80", "f", "http://h/x"},
         "f",
         "h",
         "h",
         80,
         "/x",
         0,
         1,
         1,
         0,
         "(none)",
         "(none)"},
        {{"-binfc80", "-b", "f", "http://h/x"},
         "f",
         "h",
         "h",
         80,
         "/x",
         0,
         1,
         1,
         0,
         "(none)",
         "(none)"},
        {{"-t", "-b", "-a", "-a", "f", "http://h/x"},
         "f",
         "h",
         "h",
         80,
         "/x",
         0,
         1,
         0,
         1,
         "(none)",
         "(none)"},
        // The scheme in any case; the rest as typed.
        {{"f", "HTTP://Server/Dir/"},
         "f",
         "Server",
         "Server",
         80,
         "/Dir/",
         1,
         2,
         0,
         0,
         "(none)",
         "(none)"},
        {{"f", "hTtP://h:65535/x"},
         "f",
         "h",
         "h:65535",
         65535,
         "/x",
         0,
         2,
         0,
         0,
         "(none)",
         "(none)"},
        {{"f", "http://h:00080/x/"},
         "f",
         "h",
         "h:00080",
         80,
         "/x/",
         1,
         2,
         0,
         0,
         "(none)",
         "(none)"},
        {{"c:file.txt", "http://h/"}, drivebare, "h", "h", 80, "/", 1, 2, 0, 0, "(none)", "(none)"},
        {{"c:\\data\\my.txt", "http://h/"},
         windowsbare,
         "h",
         "h",
         80,
         "/",
         1,
         2,
         0,
         0,
         "(none)",
         "(none)"},
        {{"a/b\\c.txt", "http://h/"}, mixedbare, "h", "h", 80, "/", 1, 2, 0, 0, "(none)", "(none)"},
        // Parameters after the first positional one are never options.
        {{"f", "http://h/", "-u", "-p"}, "f", "h", "h", 80, "/", 1, 2, 0, 0, "-u", "-p"},
        {{"f", "http://h/", "user", ""}, "f", "h", "h", 80, "/", 1, 2, 0, 0, "user", ""},
        {{"f", "http://h/", a256, b256}, "f", "h", "h", 80, "/", 1, 2, 0, 0, a256, b256},
        // The limits, exactly reached.
        {{"f", "http://h" + path924}, "f", "h", "h", 80, path924, 0, 2, 0, 0, "(none)", "(none)"},
        {{"dir/ab", "http://h" + dir922},
         "ab",
         "h",
         "h",
         80,
         dir922,
         1,
         2,
         0,
         0,
         "(none)",
         "(none)"},
        {{"f", "http://" + domain919 + ":8080/"},
         "f",
         domain919,
         domain919 + ":8080",
         8080,
         "/",
         1,
         2,
         0,
         0,
         "(none)",
         "(none)"},
        // Nothing checks the characters of the host or the path.
        {{"f", "http://\xe9t\xe9/a b/%zz?"},
         "f",
         "\xe9t\xe9",
         "\xe9t\xe9",
         80,
         "/a b/%zz?",
         0,
         2,
         0,
         0,
         "(none)",
         "(none)"},
    };
    for (const row &r : rows) {
        std::string name = r.args[r.args.size() - 1].substr(0, 40);
        std::vector<std::string> args = r.args;
        parsed got = parse(args);
        ASSERT_EQ(got.rc, 0) << name;
        const putparms &p = got.parms;
        EXPECT_EQ(text(p.locfilebare, p.lenlocfilebare), r.bare) << name;
        EXPECT_EQ(text(p.domain, p.lendomain), r.domain) << name;
        EXPECT_EQ(text(p.domain, p.lenhost), r.host) << name;
        EXPECT_EQ(p.port, r.port) << name;
        EXPECT_EQ(text(p.path, p.lenpath), r.path) << name;
        EXPECT_EQ(p.addnamesw, r.addname) << name;
        EXPECT_EQ(p.filetype, r.filetype) << name;
        EXPECT_EQ(p.binfc80, r.binfc80) << name;
        EXPECT_EQ(p.showall, r.showall) << name;
        EXPECT_EQ(text(p.userid, p.lenuserid), r.userid) << name;
        EXPECT_EQ(text(p.password, p.lenpassword), r.password) << name;
    }
}

TEST(WebstowVerdict, FirstResponseRecord) {
    struct row {
        std::string record;
        int status;
    };
    const row rows[] = {
        {"HTTP/1.0 201 Created ", 201},
        {"HTTP/1.1 404 Not Found", 404},
        {"HTTP/1.0 100 Continue", 100},
        {"HTTP/1.0  200 OK", 200}, // several blanks
        {"HTTP/1.0 200", 200},     // the record ends after the digits
        {"HTTP 200 OK", 200},      // the version is not examined
        {"HTTPS/2 999 x", 999},
        {"HTTP/1.0 0200 OK", -1}, // four digits, whatever their value
        {"http/1.0 200 OK", -1},
        {"HTTP/1.0", -1},
        {"HTTP/1.0 ", -1},
        {"HTTP/1.0 abc", -1},
        {"HTTP/1.0 2000 OK", -1},
        {"HTTP/1.0 99 X", -1},
        {"HTTP/1.0 099 X", -1},
        {"HTTP/1.0 20x OK", -1},
        {"HTTP/1.0 200\tOK", -1},
        {std::string("HTTP/1.0 200\0", 13), -1}, // a zero byte is no blank
        {"", -1},
        {"HTT", -1},
    };
    for (const row &r : rows) {
        EXPECT_EQ(responsestatus(r.record.data(), (int)r.record.size()), r.status) << r.record;
    }
}

TEST(WebstowExit, StatusAboveEightBits) {
    struct row {
        int code, status;
    };
#ifdef _WIN32
    const row rows[] = {{1, 1}, {201, 201}, {404, 404}, {999, 999}};
#else
    const row rows[] = {
        {1, 1},     {15, 15},  {201, 201}, {255, 255}, {256, 255}, // would read as success
        {271, 255},                                                // would read as our own 15
        {272, 16},  {300, 44}, {404, 148}, {512, 255}, {999, 231},
    };
#endif
    for (const row &r : rows)
        EXPECT_EQ(exitstatus(r.code), r.status) << r.code;
}

TEST(WebstowSockets, StartAndResolve) {
    ASSERT_EQ(initwinsock(0), 0);
    struct row {
        const char *name;
        int rc;
        uint32_t address; // network byte order
    };
    auto dotted = [](unsigned a, unsigned b, unsigned c, unsigned d) {
        uint8_t bytes[4] = {(uint8_t)a, (uint8_t)b, (uint8_t)c, (uint8_t)d};
        uint32_t v;
        memcpy(&v, bytes, 4);
        return v;
    };
    const row rows[] = {
        {"127.0.0.1", 0, dotted(127, 0, 0, 1)},
        {"10.1.2.3", 0, dotted(10, 1, 2, 3)},
        {"localhost", 0, dotted(127, 0, 0, 1)},
        {"0.0.0.0", 0, 0},                   // taken; the run refuses address 0
        {"255.255.255.255", 0, 0xFFFFFFFFu}, // not a dotted address to inet_addr; the name is
    };
    for (const row &r : rows) {
        uint32_t address = 12345;
        EXPECT_EQ(resolvehost(r.name, &address), r.rc) << r.name;
        EXPECT_EQ(address, r.address) << r.name;
    }
    // An unknown name: -1 with all ones when the resolver says so, -3 with 0
    // when it cannot tell (no name service at all).
    uint32_t address = 12345;
    int rc = resolvehost("no-such-host.invalid", &address);
    EXPECT_TRUE((rc == -1 && address == 0xFFFFFFFFu) || (rc == -3 && address == 0)) << rc;
    WSACleanup();
}
