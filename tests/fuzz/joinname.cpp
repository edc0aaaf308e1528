// samefile's joinname over arbitrary names, extensions and sizes: name, and
// "." with the extension when there is one, cut as a whole to the size.
#include "samefile/samefile.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    unsigned outsize = in.u16() % 700;
    std::string name = in.field(), ext = in.field();
    std::string expected = ext.empty() ? name : name + "." + ext;

    char *out = (char *)malloc(outsize > 0 ? outsize : 1);
    memset(out, 0x5A, outsize > 0 ? outsize : 1);
    joinname(out, outsize, name.c_str(), ext.c_str());
    if (outsize == 0) {
        CHECK((unsigned char)out[0] == 0x5A);
    } else {
        CHECK(memchr(out, 0, outsize) != nullptr);
        CHECK(out == expected.substr(0, outsize - 1));
    }
    free(out);
    return 0;
}
