// samefile at a terminal: the pause after a pair that went wrong, and the bell.
#include "tests/support/pty.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

namespace {

const std::string program = SUITE_BIN_DIR "/samefile";
const std::string pausetext = "\nPress any key to continue, or Esc to stop\n";
const std::string found3 = "\n3 file(s) found matching 1st file spec\n";

std::string comparing(const std::string &a, const std::string &b) {
    return "\nComparing files " + a + " and " + b + "\n";
}

// Three pairs under old/: a differs, b is missing there, c differs.
struct threepairs {
    tempdir dir;
    threepairs() {
        std::string old = dir.file("old");
        EXPECT_EQ(mkdir(old.c_str(), 0777), 0);
        writefile(dir.file("a"), "aa");
        writefile(old + "/a", "ab");
        writefile(dir.file("b"), "b");
        writefile(dir.file("c"), "c");
        writefile(old + "/c", "");
    }
};

const std::string pair1 = comparing("a", "old/a") + "** Files differ at displacement 1\n";
const std::string sizes1 = "   File sizes: 2 2\n";
const std::string pair2 =
    comparing("b", "old/b") + "** Cannot open 2nd file: Error 2 - File not found\n";
const std::string pair3 = comparing("c", "old/c") + "** Files differ at displacement 0\n";
const std::string sizes3 = "   File sizes: 1 0\n";
const std::string summary = found3 +
                            "***** Error summary:\n   1 file(s) not found (or read error)\n"
                            "   2 file(s) not equal\n";

} // namespace

TEST(SamefileTerminal, PauseKeys) {
    struct row {
        const char *name;
        std::vector<std::string_view> keys; // one per pause
        int status;
        std::string screen;
    };
    const row rows[] = {
        {"any key continues",
         {"x", keys::enter, " "},
         2,
         pair1 + sizes1 + pausetext + pair2 + pausetext + pair3 + sizes3 + pausetext + summary},
        {"Esc stops at once", {"x", keys::esc}, 16, pair1 + sizes1 + pausetext + pair2 + pausetext},
        {"Esc at the first pause", {keys::esc}, 16, pair1 + sizes1 + pausetext},
        // Keys without a character come in two codes; both are read, and the
        // next pause still waits for a key of its own.
        {"prefixed keys are read whole",
         {keys::f1, keys::up, keys::esc},
         16,
         pair1 + sizes1 + pausetext + pair2 + pausetext + pair3 + sizes3 + pausetext},
    };
    for (const row &r : rows) {
        threepairs files;
        ptyoptions options;
        options.cwd = files.dir.path();
        ptyprocess p;
        ASSERT_TRUE(p.start(program, {"*", "old", "-nobeep", "-pause"}, options)) << r.name;
        for (std::string_view k : r.keys)
            ASSERT_TRUE(p.type(k)) << r.name;
        EXPECT_EQ(p.wait(), r.status) << r.name;
        EXPECT_EQ(p.screen(), r.screen) << r.name;
    }
}

TEST(SamefileTerminal, NoPauseAfterAnEqualPair) {
    tempdir dir;
    writefile(dir.file("a"), "same");
    ptyoptions options;
    options.cwd = dir.path();
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {"-p", "a", "a"}, options));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), comparing("a", "a") + "Files compare equal\n");
}

TEST(SamefileTerminal, SinglePairPause) {
    tempdir dir;
    writefile(dir.file("a"), "x");
    ptyoptions options;
    options.cwd = dir.path();
    for (std::string_view key : {keys::esc, keys::enter}) {
        ptyprocess p;
        ASSERT_TRUE(p.start(program, {"-p", "-nob", "a", "missing"}, options));
        ASSERT_TRUE(p.type(key));
        EXPECT_EQ(p.wait(), key == keys::esc ? 16 : 1);
        EXPECT_EQ(p.screen(), comparing("a", "missing") +
                                  "** Cannot open 2nd file: Error 2 - File not found\n" +
                                  pausetext);
    }
}

TEST(SamefileTerminal, BellRingsOnTheTerminalOnly) {
    struct row {
        const char *name;
        bool nobeep, redirect;
        std::string screen, out;
    };
    // A bell after each pair that differed or failed, after its first line.
    const std::string rung = comparing("a", "old/a") + "** Files differ at displacement 1\n\a" +
                             sizes1 + pair2 + "\a" + comparing("c", "old/c") +
                             "** Files differ at displacement 0\n\a" + sizes3 + summary;
    const std::string silent = pair1 + sizes1 + pair2 + pair3 + sizes3 + summary;
    const row rows[] = {
        {"bell", false, false, rung, ""},
        {"-nobeep", true, false, silent, ""},
        {"bell, output redirected", false, true, "\a\a\a", silent},
        {"-nobeep, output redirected", true, true, "", silent},
    };
    for (const row &r : rows) {
        threepairs files;
        ptyoptions options;
        options.cwd = files.dir.path();
        tempdir outdir; // not among the files that "*" finds
        if (r.redirect) options.stdoutfile = outdir.file("out.txt");
        std::vector<std::string> args = {"*", "old"};
        if (r.nobeep) args.push_back("-nobeep");
        ptyprocess p;
        ASSERT_TRUE(p.start(program, args, options)) << r.name;
        EXPECT_EQ(p.wait(), 2) << r.name;
        EXPECT_EQ(p.screen(), r.screen) << r.name;
        if (r.redirect) {
            EXPECT_EQ(readfile(options.stdoutfile), r.out) << r.name;
        }
    }
}
