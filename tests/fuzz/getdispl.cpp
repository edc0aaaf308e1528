// bytecopy's displacement questions over arbitrary typed answers: standard
// input holds the keys (as the program reads them without a terminal), the
// questions are asked until one ends the program, and every accepted value
// must lie within the maximum. The answer judge also runs on the input as
// one line, against the plain model of its rule.
#include "filetools/bytecopy.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// n, e (the maximum), * (the star value), *+n, or x.
displverdict modeljudge(const char *text, DWORD maximum, DWORD star, DWORD *value) {
    if (strcmp(text, "x") == 0) return displverdict::terminate;
    if (strcmp(text, "e") == 0) {
        *value = maximum;
        return displverdict::accepted;
    }
    uint64_t v;
    uint32_t n;
    if (strcmp(text, "*") == 0) {
        v = star;
    } else if (strncmp(text, "*+", 2) == 0) {
        if (!modelnumber(text + 2, &n)) return displverdict::invalid;
        v = (uint64_t)star + n;
        if (v > 0xFFFFFFFFu) return displverdict::beyond32bits;
    } else if (text[0] == '*' || !modelnumber(text, &n)) {
        return displverdict::invalid;
    } else {
        v = n;
    }
    if (v > maximum) return displverdict::beyondsize;
    *value = (DWORD)v;
    return displverdict::accepted;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Keys must come from standard input, never from a terminal the run
    // was started on: give up the controlling terminal before the first key.
    int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
    if (tty >= 0) {
        ioctl(tty, TIOCNOTTY);
        close(tty);
    }
    // The questions and the echo go to standard output; nobody reads them.
    CHECK(freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    // Small maxima and star values as often as large ones.
    DWORD maximum = in.byte() & 1 ? in.u32() : in.byte();
    DWORD star = in.byte() & 1 ? in.u32() : in.byte();

    std::string line((const char *)in.data, in.size);
    const uint32_t untouched = 0xA5A5A5A5u;
    DWORD value = untouched, expected = untouched;
    CHECK(judgedispl(line.c_str(), maximum, star, &value) ==
          modeljudge(line.c_str(), maximum, star, &expected));
    CHECK(value == expected);

    // A stream over the keys; one byte of nothing for an empty input, which
    // fmemopen may refuse.
    static const char none[1] = {0};
    FILE *keys =
        in.size > 0 ? fmemopen((void *)in.data, in.size, "r") : fmemopen((void *)none, 1, "r");
    CHECK(keys != nullptr);
    if (in.size == 0) fgetc(keys);
    FILE *saved = stdin;
    stdin = keys;
    DWORD result;
    int answers = 0;
    while (getdispl(&result, maximum, star)) {
        CHECK(result <= maximum);
        // Every accepted answer took at least its own line end or character.
        CHECK(++answers <= (int)in.size + 1);
    }
    stdin = saved;
    fclose(keys);
    return 0;
}
