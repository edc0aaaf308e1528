// blockcopy's answer reader on given standard input.
#include "blockcopy/blockcopy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Standard input holds `text` while the reader runs.
struct answers {
    FILE *saved, *stream;
    explicit answers(const std::string &text) : saved(stdin) {
        stream = fmemopen((void *)text.data(), text.size(), "r");
        stdin = stream;
    }
    ~answers() {
        stdin = saved;
        fclose(stream);
    }
};

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
    for (const row &r : rows) {
        answers in(r.text);
        DWORD value = 0xA5A5A5A5u;
        testing::internal::CaptureStdout();
        bool valid = readnumber(&value);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(valid, r.valid) << r.text;
        EXPECT_EQ(value, r.valid ? r.value : 0xA5A5A5A5u) << r.text;
    }
}
