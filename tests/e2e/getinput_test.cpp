// getinput at a real terminal, through the probe program.
#include "tests/support/pty.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string probe = SUITE_BIN_DIR "/inputprobe";

struct row {
    const char *name;
    std::vector<std::string> args; // maxlength, mode [, default [, count]]
    std::vector<std::string_view> keys;
    std::string screen;
};

void runrows(const std::vector<row> &rows, const ptyoptions &options = {}) {
    for (const row &r : rows) {
        ptyprocess p;
        ASSERT_TRUE(p.start(probe, r.args, options)) << r.name;
        for (std::string_view k : r.keys) ASSERT_TRUE(p.type(k)) << r.name << ": key " << k;
        EXPECT_EQ(p.wait(), 0) << r.name;
        EXPECT_EQ(p.screen(), r.screen) << r.name;
    }
}

// Each character of a literal as a key of its own.
std::vector<std::string_view> chars(std::string_view text) {
    std::vector<std::string_view> keys;
    for (size_t i = 0; i < text.size(); i++) keys.push_back(text.substr(i, 1));
    return keys;
}

} // namespace

TEST(GetinputTerminal, Modes) {
    using namespace keys;
    runrows({
        {"echoed", {"20", "2"}, chars("hello\r"), "> hello\n[hello]\n"},
        {"silent", {"20", "0"}, {"s", "e", "c", "r", "e", "t", backspace, enter},
         "> \n[secre]\n"},
        {"masked with backspace", {"20", "1"}, {"a", "b", backspace, "c", enter},
         "> **\b \b*\n[ac]\n"},
        {"editable default", {"20", "6", "10.0.0.1"}, {backspace, "2", enter},
         "> 10.0.0.1\b \b2\n[10.0.0.2]\n"},
        {"backspace on empty line", {"20", "2"}, {backspace, backspace, "x", enter}, "> x\n[x]\n"},
        {"extended keys do nothing", {"20", "2"},
         {up, left, home, del, insert, pgdn, f1, f5, "z", enter}, "> z\n[z]\n"},
        {"control keys and Ctrl+C ignored", {"20", "2"}, {ctrlc, tab, esc, "k", enter},
         "> k\n[k]\n"},
        {"full line ends without Enter; Enter left for the next read", {"4", "2", "", "2"},
         chars("abc\r"), "> abc\n[abc]\n> \n[]\n"},
        {"maximum length 1 reads no key", {"1", "2"}, {}, "> \n[]\n"},
        {"characters above 127", {"20", "2"}, {"\xe9", enter}, "> \xe9\n[\\xE9]\n"},
    });
}

TEST(GetinputTerminal, Code127IsACharacterWhenBackspaceSendsCtrlH) {
    ptyoptions options;
    options.erasebackspace = true;
    runrows({{"127 stored, ^H erases", {"20", "2"}, {"\x7f", "a", "\b", keys::enter},
              "> \x7f" "a\b \b\n[\\x7F]\n"}},
            options);
}

TEST(GetinputTerminal, EchoReachesTheTerminalWhenOutputIsRedirected) {
    tempdir dir;
    ptyoptions options;
    options.stdoutfile = dir.path() + "/out";
    ptyprocess p;
    ASSERT_TRUE(p.start(probe, {"20", "2"}, options));
    ASSERT_TRUE(p.typetext("hi\r"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), "hi\n");
    EXPECT_EQ(readfile(options.stdoutfile), "> [hi]\n");
}
