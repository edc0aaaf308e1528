// chalresp run as a user runs it, under a terminal.
#include "tests/support/pty.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string program = SUITE_BIN_DIR "/chalresp";
const std::string banner = "Calculates MD5 digest of Challenge + password\n";
const std::string usage = "Usage:     chalresp challengestring\n"
                          "For more info, type \"help challenge\" in KESTREL.\n"
                          "Enter the Challenge string: ";

} // namespace

TEST(Chalresp, Dialogues) {
    struct row {
        const char *name;
        std::vector<std::string> args;
        std::string typed;
        std::string screen;
    };
    const std::string a250(250, 'a');
    const row rows[] = {
        {"challenge as argument", {"message "}, "digest\r",
         banner + "Using challenge string: message \nEnter password: ******\n"
                  "MD5 digest in hex: f96b697d7cb7938d525a2f31aaf161d0\n"},
        {"blanks kept, extra arguments ignored", {"Challenge 1", "ignored"}, " pass word\r",
         banner + "Using challenge string: Challenge 1\nEnter password: **********\n"
                  "MD5 digest in hex: aa1b068082bb15f69daa9adf514ee3bc\n"},
        {"challenge typed, empty password", {}, "abc\r\r",
         banner + usage + "abc\nEnter password: \n"
                          "MD5 digest in hex: 900150983cd24fb0d6963f7d28e17f72\n"},
        {"both empty", {}, "\r\r",
         banner + usage + "\nEnter password: \n"
                          "MD5 digest in hex: d41d8cd98f00b204e9800998ecf8427e\n"},
        // 197 characters are kept; the password can take two, and the second
        // ends the input without Enter.
        {"long argument cut", {a250}, "bc",
         banner + "Using challenge string: " + std::string(197, 'a') + "\nEnter password: **\n"
                  "MD5 digest in hex: 4c7fbd0896b5e06d0887cb4cefff81f6\n"},
    };
    for (const row &r : rows) {
        ptyprocess p;
        ASSERT_TRUE(p.start(program, r.args)) << r.name;
        ASSERT_TRUE(p.typetext(r.typed)) << r.name;
        EXPECT_EQ(p.wait(), 0) << r.name;
        EXPECT_EQ(p.screen(), r.screen) << r.name;
    }
}

TEST(Chalresp, TypedChallengeLimitedTo197) {
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {}));
    // The 198th character is never read: the line is full at 197, and the
    // next key already belongs to the password, which can take two more.
    ASSERT_TRUE(p.typetext(std::string(197, 'a')));
    ASSERT_TRUE(p.waitfor("Enter password: "));
    ASSERT_TRUE(p.typetext("bc"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_NE(p.screen().find("Enter password: **\nMD5 digest in hex: 4c7fbd0896b5e06d0887cb4cefff81f6\n"),
              std::string::npos)
        << p.screen();
}

TEST(Chalresp, RedirectedOutputKeepsEchoOnTheTerminal) {
    tempdir dir;
    ptyoptions options;
    options.stdoutfile = dir.path() + "/out.txt";
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {"message "}, options));
    ASSERT_TRUE(p.typetext("digest\r"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), "******\n");
    EXPECT_EQ(readfile(options.stdoutfile),
              banner + "Using challenge string: message \nEnter password: "
                       "MD5 digest in hex: f96b697d7cb7938d525a2f31aaf161d0\n");
}
