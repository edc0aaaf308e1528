// samefile's splitname over arbitrary filespecs and part sizes: folder length,
// name and extension against the plain model (folder up to the last
// separator, then the name part split at its last '.'), each cut to its size.
#include "samefile/samefile.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>

namespace {

std::string cut(const std::string &s, unsigned size) {
    return s.substr(0, size - 1);
}

// A part buffer of exactly `size` bytes (one marked byte for size 0, which
// must stay untouched).
char *partbuffer(unsigned size) {
    char *b = (char *)malloc(size > 0 ? size : 1);
    memset(b, 0x5A, size > 0 ? size : 1);
    return b;
}

void checkpart(const char *got, unsigned size, const std::string &expected) {
    if (size == 0) {
        CHECK((unsigned char)got[0] == 0x5A);
        return;
    }
    CHECK(memchr(got, 0, size) != nullptr);
    CHECK(got == cut(expected, size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    unsigned namesize = in.u16() % 400, extsize = in.u16() % 400;
    std::string text = in.field();

    size_t dirlen = 0;
    for (size_t i = 0; i < text.size(); i++)
        if (isdirend(text[i])) dirlen = i + 1;
    std::string part = text.substr(dirlen), name = part, ext;
    size_t dot = part.rfind('.');
    if (dot != std::string::npos) {
        name = part.substr(0, dot);
        ext = part.substr(dot + 1);
    }

    char *gotname = partbuffer(namesize), *gotext = partbuffer(extsize);
    unsigned gotdirlen = 12345;
    splitname(text.c_str(), gotname, namesize, gotext, extsize, &gotdirlen);
    CHECK(gotdirlen == dirlen);
    checkpart(gotname, namesize, name);
    checkpart(gotext, extsize, ext);
    free(gotname);
    free(gotext);
    return 0;
}
