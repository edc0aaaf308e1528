// parsenum over arbitrary text: its verdict and value against the plain model
// of the rule, and `value` left alone on a refusal.
#include "common/input.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A copy of exactly the text and its zero, so a read past it is seen.
    char *text = (char *)malloc(size + 1);
    if (size > 0) memcpy(text, data, size);
    text[size] = 0;

    const uint32_t untouched = 0xA5A5A5A5u;
    uint32_t value = untouched, expected = untouched;
    bool accepted = parsenum(text, &value) == 0;
    bool modelaccepts = modelnumber(text, &expected);
    CHECK(accepted == modelaccepts);
    CHECK(value == expected);
    free(text);
    return 0;
}
