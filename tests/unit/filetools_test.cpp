// The answers blankout and bytecopy take for displacements.
#include "filetools/blankout.h"
#include "filetools/bytecopy.h"

#include <gtest/gtest.h>

TEST(Bytecopy, JudgeDisplacement) {
    using enum displverdict;
    struct row {
        const char *text;
        DWORD maximum, star;
        displverdict verdict;
        DWORD value;
    };
    const row rows[] = {
        {"0", 1000, 0, accepted, 0},
        {"  17 ", 1000, 0, accepted, 17},
        {"1000", 1000, 0, accepted, 1000},
        {"1001", 1000, 0, beyondsize, 0},
        {"e", 1000, 0, accepted, 1000},
        {"*", 1000, 500, accepted, 500},
        {"*", 1000, 1001, beyondsize, 0},
        {"*+100", 1000, 500, accepted, 600},
        {"*+ 5", 1000, 1, accepted, 6},
        {"*+5 ", 1000, 1, accepted, 6},
        {"*+0", 1000, 1000, accepted, 1000},
        {"*+501", 1000, 500, beyondsize, 0},
        {"*+4294967295", 0xFFFFFFFF, 1, beyond32bits, 0},
        {"*+4294967294", 0xFFFFFFFF, 1, accepted, 0xFFFFFFFF},
        {"*+4294967296", 0xFFFFFFFF, 0, invalid, 0},
        {"*+", 1000, 0, invalid, 0},
        {"*+-1", 1000, 5, invalid, 0},
        {"*5", 1000, 0, invalid, 0},
        {"* +5", 1000, 0, invalid, 0},
        {"**", 1000, 0, invalid, 0},
        {"ex", 1000, 0, invalid, 0},
        {"e ", 1000, 0, invalid, 0},
        {"E", 1000, 0, invalid, 0},
        {"X", 1000, 0, invalid, 0},
        {"", 1000, 0, invalid, 0},
        {"x", 1000, 0, terminate, 0},
        {"x ", 1000, 0, invalid, 0},
        {"4294967295", 0xFFFFFFFF, 0, accepted, 0xFFFFFFFF},
        {"4294967296", 0xFFFFFFFF, 0, invalid, 0},
    };
    for (const row &r : rows) {
        DWORD value = 12345;
        EXPECT_EQ(judgedispl(r.text, r.maximum, r.star, &value), r.verdict) << '"' << r.text << '"';
        EXPECT_EQ(value, r.verdict == accepted ? r.value : 12345u) << '"' << r.text << '"';
    }
}

TEST(Blankout, DisplacementAnswer) {
    struct row {
        const char *text;
        bool valid;
        DWORD high, low;
    };
    // The file is 5 GB + 7 bytes: "e" takes both halves of its size.
    const row rows[] = {
        {"e", true, 1, 0x40000007},  {"E", true, 1, 0x40000007},
        {"0", true, 0, 0},           {" 4294967295", true, 0, 0xFFFFFFFF},
        {"4294967296", false, 0, 0}, {"e ", false, 0, 0},
        {" e", false, 0, 0},         {"ee", false, 0, 0},
        {"", false, 0, 0},           {"-1", false, 0, 0},
    };
    for (const row &r : rows) {
        DWORD high = 99, low = 99;
        EXPECT_EQ(blankoutdispl(r.text, 1, 0x40000007, &high, &low), r.valid)
            << '"' << r.text << '"';
        if (r.valid) {
            EXPECT_EQ(high, r.high) << '"' << r.text << '"';
            EXPECT_EQ(low, r.low) << '"' << r.text << '"';
        }
    }
}
