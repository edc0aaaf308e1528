// What every fuzz target shares: a check that stops on a broken invariant,
// a reader that takes parameters off the front of the input, and the plain
// model of the decimal number rule several routines build on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A broken invariant ends the run with the input kept as a finding.
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);          \
            abort();                                                                               \
        }                                                                                          \
    } while (0)

// The input as a source of parameters; past its end every value is 0.
struct fuzzinput {
    const uint8_t *data;
    size_t size;

    uint8_t byte() {
        if (size == 0) return 0;
        size--;
        return *data++;
    }
    uint16_t u16() { return (uint16_t)(byte() | byte() << 8); }
    uint32_t u32() { return (uint32_t)u16() | (uint32_t)u16() << 16; }
    // Up to n bytes as text (it may hold zero bytes).
    std::string text(size_t n) {
        if (n > size) n = size;
        std::string s((const char *)data, n);
        data += n;
        size -= n;
        return s;
    }
    // The bytes up to the next zero byte (which is taken too), or the rest.
    std::string field() {
        std::string s;
        while (size > 0) {
            uint8_t c = byte();
            if (c == 0) break;
            s += (char)c;
        }
        return s;
    }
};

// Blanks, 1 to 10 decimal digits of a value below 2^32, blanks: the rule of
// parsenum, written out plainly.
inline bool modelnumber(const char *text, uint32_t *value) {
    size_t i = 0;
    while (text[i] == ' ')
        i++;
    size_t first = i;
    uint64_t v = 0;
    for (; text[i] >= '0' && text[i] <= '9'; i++)
        if (i - first < 11) v = v * 10 + (uint64_t)(text[i] - '0');
    size_t digits = i - first;
    while (text[i] == ' ')
        i++;
    if (text[i] != 0 || digits == 0 || digits > 10 || v > 0xFFFFFFFFu) return false;
    *value = (uint32_t)v;
    return true;
}
