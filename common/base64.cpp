// Base64 encoder (RFC 4648 alphabet, "=" padding, no line breaks).

#include "common/digest.h"

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}

int b64encode(const uint8_t *data, int length, char *output) {
    if (length <= 0) return 0;

    char *out = output;
    int i = 0;
    for (; length - i >= 3; i += 3) {
        const uint32_t group =
            (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8) | data[i + 2];
        *out++ = alphabet[group >> 18];
        *out++ = alphabet[(group >> 12) & 63];
        *out++ = alphabet[(group >> 6) & 63];
        *out++ = alphabet[group & 63];
    }
    // A short last group reads only the bytes it has; "=" stands for the rest.
    if (length - i == 1) {
        const uint32_t group = uint32_t{data[i]} << 16;
        *out++ = alphabet[group >> 18];
        *out++ = alphabet[(group >> 12) & 63];
        *out++ = '=';
        *out++ = '=';
    } else if (length - i == 2) {
        const uint32_t group = (uint32_t{data[i]} << 16) | (uint32_t{data[i + 1]} << 8);
        *out++ = alphabet[group >> 18];
        *out++ = alphabet[(group >> 12) & 63];
        *out++ = alphabet[(group >> 6) & 63];
        *out++ = '=';
    }
    // Equals 4 * ((length + 2) / 3) without the overflow of length + 2.
    return static_cast<int>(out - output);
}
