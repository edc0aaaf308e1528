// webstow's password prompt under a terminal: silent, and limited.
#include "tests/support/httppeer.h"
#include "tests/support/pty.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string program = SUITE_BIN_DIR "/webstow";

} // namespace

TEST(WebstowPassword, AskedAfterResolvingNeverEchoed) {
    tempdir dir;
    writefile(dir.file("f"), "data");
    struct row {
        std::string typed;
        std::string authorization; // Base64 of "user:" and the password
    };
    const row rows[] = {
        {"secret", "dXNlcjpzZWNyZXQ="},
        {"", "dXNlcjo="},
        {std::string(256, 'p'), ""},
    };
    for (const row &r : rows) {
        httppeer peer({"HTTP/1.0 201 Created\r\n"});
        ptyprocess p;
        ASSERT_TRUE(p.start(program, {dir.file("f"), peer.url("/f"), "user"}));
        ASSERT_TRUE(p.waitfor("Enter password for userid user on server: "));
        EXPECT_FALSE(peer.connected()); // not before the password is in
        ASSERT_TRUE(p.typetext(r.typed));
        ASSERT_TRUE(p.type(keys::enter));
        EXPECT_EQ(p.wait(), 201);
        std::string screen = p.screen();
        EXPECT_NE(screen.find("Enter password for userid user on server: \nConnecting to server"),
                  std::string::npos)
            << screen;
        if (!r.typed.empty()) {
            EXPECT_EQ(screen.find(r.typed), std::string::npos) << screen;
        }
        std::string request = peer.request();
        if (!r.authorization.empty()) {
            EXPECT_NE(request.find("\r\nAuthorization: Basic " + r.authorization + "\r\n"),
                      std::string::npos)
                << request;
            EXPECT_NE(
                screen.find("\nAuthorization: Basic " + r.authorization.substr(0, 4) + "...\n"),
                std::string::npos)
                << screen;
        }
    }
}

TEST(WebstowPassword, TooLongEndsWithSeven) {
    tempdir dir;
    writefile(dir.file("f"), "data");
    httppeer peer({"HTTP/1.0 201 Created\r\n"});
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {dir.file("f"), peer.url("/f"), "user"}));
    ASSERT_TRUE(p.waitfor("on server: "));
    ASSERT_TRUE(p.typetext(std::string(257, 'p')));
    ASSERT_TRUE(p.type(keys::enter));
    EXPECT_EQ(p.wait(), 7);
    EXPECT_EQ(p.screen(), "Enter password for userid user on server: \n"
                          "** Error: password is too long, max length is 256\n");
    EXPECT_FALSE(peer.connected());
}
