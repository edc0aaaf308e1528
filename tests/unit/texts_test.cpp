// errtext and sizetext.
#include "common/texts.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Errtext, TableAndFallback) {
    struct row {
        uint32_t code;
        const char *text;
        int result;
    };
    const row rows[] = {
        {2, "File not found", 0},
        {3, "Path not found", 0},
        {5, "Access denied", 0},
        {32, "File sharing violation", 0},
        {39, "Disk is full (39)", 0},
        {112, "Disk is full (112)", 0},
        {170, "Busy - resource is in use", 0},
        {183, "Object already exists", 0},
        {0, "Win32 error 0", 1},
        {6, "Win32 error 6", 1},
        {4294967295u, "Win32 error 4294967295", 1},
    };
    for (const row &r : rows) {
        char text[70];
        EXPECT_EQ(errtext(r.code, text, sizeof text), r.result) << r.code;
        EXPECT_STREQ(text, r.text) << r.code;
    }
}

TEST(Errtext, CutToDestinationAndSizeZeroWritesNothing) {
    char text[8];
    memset(text, 'x', sizeof text);
    EXPECT_EQ(errtext(2, text, 5), 0);
    EXPECT_STREQ(text, "File");
    EXPECT_EQ(text[5], 'x');

    memset(text, 'x', sizeof text);
    EXPECT_EQ(errtext(2, text, 0), 0);
    EXPECT_EQ(errtext(99, text, 0), 1);
    for (char c : text) EXPECT_EQ(c, 'x');
}

TEST(Sizetext, CompactForm) {
    struct row {
        uint32_t high, low;
        const char *text;
    };
    const row rows[] = {
        {0, 0, " 0.00 MB = 0 bytes "},
        {0, 1234567, " 1.18 MB = 1234567 bytes "},
        {0, 1048576, " 1.00 MB = 1048576 bytes "},
        {1, 0, " 4096.00 MB = 4294967296 bytes "},
        // 10^14 bytes: the text would be 40 characters, cut to 39.
        {23283, 276447232, " 95367431.64 MB = 100000000000000 bytes"},
        // 2^64 - 1: the longest text of all, cut likewise.
        {0xFFFFFFFFu, 0xFFFFFFFFu, " 17592186044416.00 MB = 184467440737095"},
    };
    for (const row &r : rows) {
        char text[40];
        sizetext(r.high, r.low, text, sizeof text, 1);
        EXPECT_STREQ(text, r.text);
    }
    char wide[60];
    sizetext(0xFFFFFFFFu, 0xFFFFFFFFu, wide, sizeof wide, 1);
    EXPECT_STREQ(wide, " 17592186044416.00 MB = 18446744073709551616 bytes ");
    EXPECT_EQ(strlen(wide), 51u);
}

TEST(Sizetext, SizeZeroWritesNothing) {
    char text[4] = {'x', 'x', 'x', 'x'};
    sizetext(0, 5, text, 0, 1);
    for (char c : text) EXPECT_EQ(c, 'x');
}
