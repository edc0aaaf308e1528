// samefile's starfill over arbitrary found names, templates, star positions
// and output sizes: the template before its first '*', then the found name
// from the first pattern's star on, cut to the size.
#include "samefile/samefile.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    // Any position of the first pattern's star, before, inside or past the
    // found name, or none (every negative value).
    int firststar = (int)(int16_t)in.u16() % 400;
    unsigned outsize = in.u16() % 400;
    std::string found = in.field(), templ = in.field();
    // The template's star is where its first '*' is, as callers find it.
    size_t star = templ.find('*');
    int templstar = star == std::string::npos ? -1 : (int)star;

    std::string expected = templ.substr(0, star);
    if (firststar >= 0 && found.size() > (size_t)firststar) expected += found.substr(firststar);

    char *out = (char *)malloc(outsize > 0 ? outsize : 1);
    memset(out, 0x5A, outsize > 0 ? outsize : 1);
    starfill(found.c_str(), firststar, templ.c_str(), templstar, out, outsize);
    if (outsize == 0) {
        CHECK((unsigned char)out[0] == 0x5A);
    } else {
        CHECK(memchr(out, 0, outsize) != nullptr);
        CHECK(out == expected.substr(0, outsize - 1));
    }
    free(out);
    return 0;
}
