// getinput without a terminal or console: keys are standard input and the
// echo goes to standard output.
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string probe = SUITE_BIN_DIR "/inputprobe";

} // namespace

TEST(GetinputNoTerminal, KeysAreStandardInput) {
    // LF and CR LF are Enter, and so is the end of input, from then on.
    runresult r = runprogram(probe, {"20", "2", "", "4"}, "", "abc\nxy\b\r\nlast");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "> abc\n[abc]\n> xy\b \b\n[x]\n> last\n[last]\n> \n[]\n");
}
