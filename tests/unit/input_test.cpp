// parsenum, and getinput's line editing with a scripted key source.
#include "common/input.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>

TEST(Parsenum, Table) {
    struct row {
        const char *text;
        int result;
        uint32_t value;
    };
    const row rows[] = {
        {"0", 0, 0},
        {"  42  ", 0, 42},
        {"4294967295", 0, 4294967295u},
        {"0000000001", 0, 1},
        {"4294967290", 0, 4294967290u},
        {"4294967296", 1, 0},
        {"4294967300", 1, 0},
        {"5000000000", 1, 0},
        {"00000000001", 1, 0},
        {"4 2", 1, 0},
        {"", 1, 0},
        {"   ", 1, 0},
        {"-1", 1, 0},
        {"+1", 1, 0},
        {"1e3", 1, 0},
        {"0x10", 1, 0},
        {"\t1", 1, 0},
        {"12a", 1, 0},
    };
    for (const row &r : rows) {
        uint32_t value = 777;
        EXPECT_EQ(parsenum(r.text, &value), r.result) << '"' << r.text << '"';
        EXPECT_EQ(value, r.result == 0 ? r.value : 777u) << '"' << r.text << '"';
    }
}

namespace {

// The key source and echo of one scripted getinput call.
std::string keys;
size_t keyat;
std::string shown;

int scriptedkey() { return keyat < keys.size() ? (unsigned char)keys[keyat++] : 13; }

int recordecho(const char *format, ...) {
    char text[16];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    shown += text;
    return n;
}

struct result {
    std::string line, shown;
    size_t keysread;
};

result edit(const std::string &typed, int maxlength, unsigned mode, const char *preset = "") {
    keys = typed;
    keyat = 0;
    shown.clear();
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%s", preset);
    getinputwith(buffer, maxlength, mode, scriptedkey, recordecho);
    return {buffer, shown, keyat};
}

} // namespace

TEST(Getinput, EditingTable) {
    struct row {
        const char *name;
        std::string typed;
        int maxlength;
        unsigned mode;
        const char *preset;
        std::string line, shown;
        size_t keysread;
    };
    const row rows[] = {
        {"plain echo", "ab\r", 10, 2, "", "ab", "ab\n", 3},
        {"masked", "ab\r", 10, 1, "", "ab", "**\n", 3},
        {"mask wins over echo", "ab\r", 10, 3, "", "ab", "**\n", 3},
        {"silent", "ab\b\r", 10, 0, "", "a", "\n", 4},
        {"backspace erases", "ab\bc\r", 10, 2, "", "ac", "ab\b \bc\n", 5},
        {"backspace on empty line", "\b\bx\r", 10, 2, "", "x", "x\n", 4},
        {"control keys ignored", "\t\x1b\x03\nq\r", 10, 2, "", "q", "q\n", 6},
        {"extended keys dropped with their code", std::string("\xE0Hx\0;y\r", 7), 10, 1, "", "xy", "**\n", 7},
        {"code 127 is stored", "\x7f\r", 10, 2, "", "\x7f", "\x7f\n", 2},
        {"full line ends without Enter", "abcd", 4, 2, "", "abc", "abc\n", 3},
        {"maximum length 1 reads nothing", "a\r", 1, 2, "", "", "\n", 0},
        {"preset shown and editable", "\bZ\r", 10, 6, "10.1", "10.Z", "10.1\b \bZ\n", 3},
        {"preset masked", "\r", 10, 5, "abc", "abc", "***\n", 1},
        {"preset silent, backspace still edits", "\b\r", 10, 4, "abc", "ab", "\n", 2},
        {"preset longer than capacity is cut and accepted", "x", 4, 6, "abcdef", "abc", "abc\n", 0},
        {"high bytes are characters", "\xe9\r", 10, 2, "", "\xe9", "\xe9\n", 2},
    };
    for (const row &r : rows) {
        result got = edit(r.typed, r.maxlength, r.mode, r.preset);
        EXPECT_EQ(got.line, r.line) << r.name;
        EXPECT_EQ(got.shown, r.shown) << r.name;
        EXPECT_EQ(got.keysread, r.keysread) << r.name;
    }
}

TEST(Getinput, NonPositiveLengthTouchesNothing) {
    for (int maxlength : {0, -5}) {
        keys = "abc\r";
        keyat = 0;
        shown.clear();
        char buffer[4] = {'x', 'y', 'z', 'w'};
        getinputwith(buffer, maxlength, 2, scriptedkey, recordecho);
        EXPECT_EQ(keyat, 0u);
        EXPECT_EQ(shown, "");
        EXPECT_EQ(std::string(buffer, 4), "xyzw");
    }
}
