// The raw key read on POSIX, keys typed at a pseudo-terminal.
#include "tests/e2e/rawkeys.h"
#include "tests/support/pty.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string probe = SUITE_BIN_DIR "/keyprobe";

} // namespace

TEST(RawkeyTerminal, KeysGiveWindowsCodes) {
    int count = 0;
    std::string expected;
    for (const rawkeyrow &r : rawkeyrows) {
        count += int(std::string(r.codes).size() / 3);
        expected += r.codes;
    }
    // Ctrl+C too: signal keys are off during the read.
    ptyprocess p;
    ASSERT_TRUE(p.start(probe, {std::to_string(count + 1)})) << p.error();
    for (const rawkeyrow &r : rawkeyrows)
        ASSERT_TRUE(p.type(r.bytes)) << r.name;
    ASSERT_TRUE(p.type(keys::ctrlc));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), expected + "03 \n");
}
