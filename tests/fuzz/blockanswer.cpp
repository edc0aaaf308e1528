// blockcopy's answer reader over arbitrary standard input: a script off the
// front of the input chooses which answer is read next (a word of a given
// size, a number, a file name) and the rest is standard input. Each answer is
// held against the plain model on the same bytes: the next word after white
// space, the number rule from -4294967295 to 4294967295, the name's length.
#include "blockcopy/blockcopy.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>

namespace {

bool isblank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The next word of the input from `at`, or false when only white space is
// left.
bool modelword(const std::string &input, size_t at, std::string *word) {
    while (at < input.size() && isblank(input[at]))
        at++;
    if (at == input.size()) return false;
    size_t end = at;
    while (end < input.size() && !isblank(input[end]))
        end++;
    *word = input.substr(at, end - at);
    return true;
}

bool modelnumberanswer(const std::string &word, DWORD *value) {
    // Longer than the reader's buffer is no number either.
    if (word.size() > namesize - 1) return false;
    size_t i = word[0] == '-' || word[0] == '+' ? 1 : 0;
    if (i == word.size()) return false;
    uint64_t magnitude = 0;
    for (; i < word.size(); i++) {
        if (word[i] < '0' || word[i] > '9') return false;
        magnitude = magnitude * 10 + (uint64_t)(word[i] - '0');
        if (magnitude > 0xFFFFFFFFu) return false;
    }
    *value = word[0] == '-' ? (DWORD)(0x100000000u - magnitude) : (DWORD)magnitude;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The error lines go to standard output; nobody reads them here.
    CHECK(freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    uint8_t script[16];
    int steps = in.byte() % 16 + 1;
    for (int i = 0; i < steps; i++)
        script[i] = in.byte();
    std::string input((const char *)in.data, in.size);

    static const char none[1] = {0};
    FILE *answers = input.empty() ? fmemopen((void *)none, 1, "r")
                                  : fmemopen((void *)input.data(), input.size(), "r");
    CHECK(answers != nullptr);
    if (input.empty()) fgetc(answers);
    FILE *saved = stdin;
    stdin = answers;

    for (int i = 0; i < steps; i++) {
        // (The empty input's stream stands past its one byte of nothing.)
        size_t at = std::min((size_t)ftell(stdin), input.size());
        std::string word;
        bool present = modelword(input, at, &word);
        // 0 .. 63 bytes, the terminator's included, for words and names.
        size_t size = script[i] >> 2;
        char *item = (char *)malloc(size > 0 ? size : 1);
        memset(item, 0x5A, size > 0 ? size : 1);
        switch (script[i] & 3) {
        case 0:
        case 1: {
            int len = readitem(item, size);
            if (!present) {
                CHECK(len == -1);
            } else if (word.size() + 1 > size) {
                CHECK(len == -2);
                if (size > 0)
                    CHECK(memcmp(item, word.data(), size - 1) == 0 && item[size - 1] == 0);
            } else {
                CHECK(len == (int)word.size());
                CHECK(memcmp(item, word.data(), word.size()) == 0 && item[len] == 0);
            }
            break;
        }
        case 2: {
            DWORD value = 0xA5A5A5A5u, expected = 0xA5A5A5A5u;
            bool got = readnumber(&value);
            CHECK(got == (present && modelnumberanswer(word, &expected)));
            CHECK(value == expected);
            break;
        }
        case 3: {
            bool got = size > 0 && readname(item, size);
            if (size > 0) CHECK(got == (present && word.size() + 1 <= size));
            // (A zero byte is a character of a word like any other.)
            if (got) CHECK(memcmp(item, word.data(), word.size()) == 0 && item[word.size()] == 0);
            break;
        }
        }
        free(item);
        // A word that did not fit loses the character read after its
        // last kept one; go on from where the reader stopped.
    }
    stdin = saved;
    fclose(answers);
    return 0;
}
