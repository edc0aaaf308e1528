// recmend's record-length parser over arbitrary bytes of arbitrary length
// (it takes a length, so the text has no terminator here): its result against
// the plain model of the rule.
#include "recmend/recmend.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>

namespace {

// 1 to 9 characters; leading blanks; only blanks is -1; then digits
// only, else -2.
long modellength(const char *text, size_t len) {
    if (len < 1 || len > 9) return -2;
    size_t i = 0;
    while (i < len && text[i] == ' ')
        i++;
    if (i == len) return -1;
    long value = 0;
    for (; i < len; i++) {
        if (text[i] < '0' || text[i] > '9') return -2;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char *text = (char *)malloc(size > 0 ? size : 1);
    if (size > 0) memcpy(text, data, size);
    long got = parsereclen(text, size);
    CHECK(got == modellength(text, size));
    CHECK(got >= -2 && got <= 999999999);
    free(text);
    return 0;
}
