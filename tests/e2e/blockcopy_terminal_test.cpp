// blockcopy at a terminal, answered line by line: each prompt stands on the
// screen before its answer is typed, though it ends in no newline.
#include "tests/support/pty.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

TEST(BlockcopyTerminal, PromptsStandBeforeEachAnswer) {
    tempdir dir;
    writefile(dir.file("s"), std::string(1024, 'a'));
    writefile(dir.file("t"), std::string(512, 'b'));
    ptyoptions options;
    options.cwd = dir.path();
    ptyprocess p;
    ASSERT_TRUE(p.start(SUITE_BIN_DIR "/blockcopy", {}, options));
    const struct {
        const char *prompt, *answer;
    } steps[] = {
        {"Enter source file name: ", "s\n"},
        {"Enter start block # (0,1,..) in source file: ", "1\n"},
        {"Enter # of blocks to copy: ", "1\n"},
        {"Enter target file name: ", "t\n"},
        {"Enter start block # (0,1,..) in target file: ", "1\n"},
    };
    for (const auto &step : steps) {
        ASSERT_TRUE(p.waitfor(step.prompt)) << step.prompt;
        ASSERT_TRUE(p.sendraw(step.answer)) << step.prompt;
    }
    EXPECT_EQ(p.wait(), 0);
    EXPECT_NE(p.screen().find("1 blocks copied from block 1 to block 1\n"), std::string::npos);
    EXPECT_EQ(readfile(dir.file("t")), std::string(512, 'b') + std::string(512, 'a'));
}
