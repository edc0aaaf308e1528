// blockcopy's answer reader on given standard input.
#include "blockcopy/blockcopy.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Standard input is a file holding `text` (reopened for each case; this test
// program reads nothing else from it).
void answers(const tempdir &dir, const std::string &text) {
    writefile(dir.file("answers"), text);
    ASSERT_NE(freopen(dir.file("answers").c_str(), "rb", stdin), nullptr);
}

} // namespace

TEST(BlockAnswers, NumbersTakeTheWholeWord) {
    struct row {
        std::string text;
        bool valid;
        DWORD value;
    };
    const row rows[] = {
        {" 12\n", true, 12},
        {"-1 ", true, 0xFFFFFFFFu},
        {"+4294967295", true, 0xFFFFFFFFu},
        {"12abc", false, 0},
        // A zero byte inside the word is piped in, not typed: it no more
        // ends the number than a letter does.
        {std::string("0\0\0x", 4), false, 0},
        {std::string("7\0", 2), false, 0},
        {std::string("-\0", 2), false, 0},
    };
    tempdir dir;
    for (const row &r : rows) {
        answers(dir, r.text);
        DWORD value = 0xA5A5A5A5u;
        testing::internal::CaptureStdout();
        bool valid = readnumber(&value);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(valid, r.valid) << r.text;
        EXPECT_EQ(value, r.valid ? r.value : 0xA5A5A5A5u) << r.text;
    }
    // Let go of the file before its folder is removed.
#ifdef _WIN32
    EXPECT_NE(freopen("NUL", "rb", stdin), nullptr);
#else
    EXPECT_NE(freopen("/dev/null", "rb", stdin), nullptr);
#endif
}
