// The console on Windows: the raw key read and the echo, keys typed into a
// pseudo console.
#include "tests/e2e/rawkeys.h"
#include "tests/support/console_win32.h"
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const std::string probe = SUITE_BIN_DIR "/keyprobe";
const std::string inputprobe = SUITE_BIN_DIR "/inputprobe";
const std::string chalresp = SUITE_BIN_DIR "/chalresp";

int codecount(const char *codes) {
    return int(std::string(codes).size() / 3);
}

} // namespace

// One program reads all the keys in turn; each key is typed once the codes of
// the one before have shown.
TEST(RawkeyConsole, KeysGiveWindowsCodes) {
    int count = 0;
    for (const rawkeyrow &r : rawkeyrows)
        count += codecount(r.codes);
    consoleprocess p;
    ASSERT_TRUE(p.start(probe, {std::to_string(count)})) << p.error();
    std::string expected;
    for (const rawkeyrow &r : rawkeyrows) {
        std::string codes = r.codes;
        // Wine's console gives the gray keys without the enhanced-key flag
        // that Windows' own sets, and so the prefix 0.
        if (r.gray && underwine()) codes.replace(0, 2, "00");
        ASSERT_TRUE(p.type(r.bytes)) << r.name;
        expected += codes;
        ASSERT_TRUE(p.waitout(expected)) << r.name << ": " << p.out();
    }
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.out(), expected + "\n");
}

// With the console mode 0 during the read, Ctrl+C is the key 3 and does not
// end the program.
TEST(RawkeyConsole, CtrlCIsAKey) {
    if (underwine()) GTEST_SKIP() << "Wine's console ends the program on Ctrl+C in any mode";
    consoleprocess p;
    ASSERT_TRUE(p.start(probe, {"2"})) << p.error();
    ASSERT_TRUE(p.type("a"));
    ASSERT_TRUE(p.waitout("61 "));
    ASSERT_TRUE(p.type("\x03"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.out(), "61 03 \n");
}

// The echo goes to the console itself: standard output, a pipe here, holds
// only what the programs print.
TEST(EchoConsole, StandardOutputHoldsNoEcho) {
    struct row {
        const std::string &program;
        std::vector<std::string> args;
        const char *typed;
        std::string out;
    };
    const row rows[] = {
        {inputprobe, {"20", "2"}, "hi\x7f\r", "> [h]\n"},
        {inputprobe, {"20", "1"}, "pw\r", "> [pw]\n"},
        {chalresp,
         {"message "},
         "digest\r",
         "Calculates MD5 digest of Challenge + password\nUsing challenge string: message \n"
         "Enter password: MD5 digest in hex: f96b697d7cb7938d525a2f31aaf161d0\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.typed);
        consoleprocess p;
        ASSERT_TRUE(p.start(r.program, r.args)) << p.error();
        for (const char *k = r.typed; *k != 0; k++)
            ASSERT_TRUE(p.type(std::string(1, *k)));
        EXPECT_EQ(p.wait(), 0);
        EXPECT_EQ(p.out(), r.out);
    }
}
