// logonx run as a user runs it, under a terminal, with its secret file in the
// current folder. Every sign-on string is opened again by a receiver written
// apart from the program.
#include "tests/support/pty.h"
#include "tests/support/signon.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <pwd.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string program = SUITE_BIN_DIR "/logonx";
const std::string banner = "Encrypts a password into a printable string.\n";
const std::string fromfile = "Using shared SECRET string from file\n";

// The home folder's candidates come first; a user's own secret file there
// would hide the one the test puts in the current folder.
bool homehas(char digit) {
    const struct passwd *pw = getpwuid(getuid());
    if (pw == nullptr) return false;
    struct stat st;
    for (const char *place : {"/misc/logon", "/logon"}) {
        std::string name = std::string(pw->pw_dir) + place + digit + ".dat";
        if (stat(name.c_str(), &st) == 0) return true;
    }
    return false;
}

std::string minute(time_t t) {
    char s[16];
    struct tm local;
    localtime_r(&t, &local);
    strftime(s, sizeof s, "%Y%m%d%H%M", &local);
    return s;
}

std::string backspaces(int n) {
    std::string s;
    for (int k = 0; k < n; k++)
        s += "\b \b";
    return s;
}

} // namespace

TEST(Logonx, Dialogues) {
    struct row {
        const char *name;
        std::vector<std::string> args;
        std::string filename; // in the current folder; empty: none
        std::string content;
        std::vector<std::string> keys;    // typed in order, each byte a key
        std::string ipshown;              // the IP line as the screen shows it
        std::string secretlines;          // the secret prompt, or the note
        std::optional<std::string> date;  // the date/time typed over the default
        std::string ip, secret, password; // what the record must carry
    };
    const std::string pw32 = "abcdefghijklmnopqrstuvwxyz012345";
    const std::string retype = std::string(12, '\x7f') + "199912312359\r";
    const row rows[] = {
        {"CR LF",
         {"7"},
         "logon7.dat",
         "10.1.2.3\r\nsecret one\r\n",
         {"\r", "\r", "pw\r"},
         "10.1.2.3",
         fromfile,
         {},
         "10.1.2.3",
         "secret one",
         "pw"},
        {"LF",
         {"7"},
         "logon7.dat",
         "10.1.2.3\nsecret one\n",
         {"\r", "\r", "pw\r"},
         "10.1.2.3",
         fromfile,
         {},
         "10.1.2.3",
         "secret one",
         "pw"},
        {"CR, last line without end",
         {"7"},
         "logon7.dat",
         "10.1.2.3\rsecret one",
         {"\r", "\r", "pw\r"},
         "10.1.2.3",
         fromfile,
         {},
         "10.1.2.3",
         "secret one",
         "pw"},
        // CR CR is one line end; the LF then ends an empty second line.
        {"CR CR LF",
         {"7"},
         "logon7.dat",
         "10.1.2.3\r\r\nsecret one\r\n",
         {"\r", "typed\r", "\r", "pw\r"},
         "10.1.2.3",
         "Enter shared SECRET string: *****\n",
         {},
         "10.1.2.3",
         "typed",
         "pw"},
        // 19 characters fill the IP field: accepted without a key.
        {"30-character first line",
         {"7"},
         "logon7.dat",
         "123456789012345678901234567890\r\nsecret two\r\n",
         {"\r", "pw\r"},
         "1234567890123456789",
         fromfile,
         {},
         "1234567890123456789",
         "secret two",
         "pw"},
        {"one line",
         {"7"},
         "logon7.dat",
         "10.9.8.7\n",
         {"\r", "s\r", "\r", "\r"},
         "10.9.8.7",
         "Enter shared SECRET string: *\n",
         {},
         "10.9.8.7",
         "s",
         ""},
        {"no secret file",
         {"7"},
         "",
         "",
         {"10.0.0.1\r", "sec\r", "\r", "pw\r"},
         "10.0.0.1",
         "Enter shared SECRET string: ***\n",
         {},
         "10.0.0.1",
         "sec",
         "pw"},
        {"edited IP and date, 32-character password",
         {"7"},
         "logon7.dat",
         "10.1.2.3\r\nsecret one\r\n",
         {"\x7f", "4\r", retype, pw32},
         "10.1.2.3\b \b4",
         fromfile,
         "199912312359",
         "10.1.2.4",
         "secret one",
         pw32},
        // Only a one-character argument is a digit; a letter serves as well.
        {"argument 12 means 1",
         {"12"},
         "logon1.dat",
         "1.1.1.1\nsecret\n",
         {"\r", "\r", "pw\r"},
         "1.1.1.1",
         fromfile,
         {},
         "1.1.1.1",
         "secret",
         "pw"},
        {"no argument means 1",
         {},
         "logon1.dat",
         "1.1.1.1\nsecret\n",
         {"\r", "\r", "pw\r"},
         "1.1.1.1",
         fromfile,
         {},
         "1.1.1.1",
         "secret",
         "pw"},
        {"a letter",
         {"q", "ignored"},
         "logonq.dat",
         "2.2.2.2\nsecret\n",
         {"\r", "\r", "pw\r"},
         "2.2.2.2",
         fromfile,
         {},
         "2.2.2.2",
         "secret",
         "pw"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        if (!r.filename.empty() && homehas(r.filename[5])) {
            ADD_FAILURE() << "a secret file in the home folder hides " << r.filename;
            continue;
        }
        tempdir dir;
        if (!r.filename.empty()) writefile(dir.file(r.filename), r.content);
        ptyoptions options;
        options.cwd = dir.path();
        time_t before = time(nullptr);
        ptyprocess p;
        ASSERT_TRUE(p.start(program, r.args, options));
        for (const std::string &k : r.keys)
            ASSERT_TRUE(p.typetext(k)) << p.screen();
        ASSERT_EQ(p.wait(), 0);
        time_t after = time(nullptr);

        std::string screen = p.screen();
        std::smatch m;
        ASSERT_TRUE(std::regex_search(screen, m,
                                      std::regex("yyyymmddhhmm: (\\d{12})[\\s\\S]*\n"
                                                 "Password string for sign-on:\n([^\n]*)\n$")))
            << screen;
        const std::string offered = m[1], signon = m[2];
        // The default is the local time to the minute.
        EXPECT_TRUE(offered == minute(before) || offered == minute(after)) << offered;
        const std::string date = r.date ? *r.date : offered;
        const std::string dateline = r.date ? offered + backspaces(12) + *r.date : offered;
        EXPECT_EQ(screen,
                  banner + "Enter your IP address: " + r.ipshown + "\n" + r.secretlines +
                      "Enter date/time as yyyymmddhhmm: " + dateline + "\n" +
                      "Enter user password (max len 32): " + std::string(r.password.size(), '*') +
                      "\n" + "Password string for sign-on:\n" + signon + "\n");

        ASSERT_EQ(signon.size(), 60u);
        opened got = opensignon(signon, r.secret, r.ip, date);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.password, r.password);
        EXPECT_EQ((size_t)(uint8_t)got.block[0], r.password.size());
        if (r.password.size() < 32) {
            EXPECT_EQ(got.block[r.password.size() + 1], 'm');
        }
    }
}

TEST(Logonx, EveryRunDrawsAnew) {
    tempdir dir;
    writefile(dir.file("logon7.dat"), "10.1.2.3\nsecret\n");
    if (homehas('7')) GTEST_SKIP() << "a secret file in the home folder";
    std::string nonces[2];
    for (std::string &nonce : nonces) {
        ptyoptions options;
        options.cwd = dir.path();
        ptyprocess p;
        ASSERT_TRUE(p.start(program, {"7"}, options));
        ASSERT_TRUE(p.typetext("\r\rpw\r"));
        ASSERT_EQ(p.wait(), 0);
        std::string screen = p.screen();
        std::smatch m;
        ASSERT_TRUE(
            std::regex_search(screen, m, std::regex("yyyymmddhhmm: (\\d{12})[\\s\\S]*\n([^\n]*)\n$")));
        const std::string date = m[1], signon = m[2];
        opened got = opensignon(signon, "secret", "10.1.2.3", date);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.password, "pw");
        nonce = got.nonce;
    }
    EXPECT_NE(nonces[0], nonces[1]);
}
