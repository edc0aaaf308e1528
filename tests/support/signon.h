// A receiver of sign-on strings, written apart from the program: it knows the
// secret, the IP address text and the date/time text, undoes the Base64 text
// and the two RC4 layers (256 keystream bytes dropped, MD5 keys), and returns
// what the record carried.
#pragma once

#include "common/digest.h"

#include <cstdint>
#include <string>
#include <vector>

struct opened {
    bool ok = false;      // the text was 60 valid Base64 characters
    std::string nonce;    // 12 bytes
    std::string block;    // the 33-byte password block
    std::string password; // block[1 .. n]
};

namespace signonreceiver {

inline std::vector<uint8_t> unbase64(const std::string &text, bool &ok) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<uint8_t> out;
    ok = text.size() % 4 == 0;
    uint32_t bits = 0;
    int have = 0;
    for (char c : text) {
        size_t v = alphabet.find(c);
        if (v == std::string::npos) {
            ok = false;
            break;
        }
        bits = bits << 6 | (uint32_t)v;
        have += 6;
        if (have >= 8) {
            have -= 8;
            out.push_back((uint8_t)(bits >> have));
        }
    }
    return out;
}

inline std::string rc4drop256(const std::string &data, const uint8_t key[16]) {
    uint8_t s[256];
    for (int k = 0; k < 256; k++)
        s[k] = (uint8_t)k;
    for (int k = 0, x = 0; k < 256; k++) {
        x = (x + s[k] + key[k % 16]) & 255;
        std::swap(s[k], s[x]);
    }
    int i = 0, j = 0;
    auto next = [&]() {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        return s[(s[i] + s[j]) & 255];
    };
    for (int k = 0; k < 256; k++)
        next();
    std::string out = data;
    for (char &c : out)
        c = (char)((uint8_t)c ^ next());
    return out;
}

inline void md5(const std::string &data, uint8_t digest[16]) {
    MD5Buffer(reinterpret_cast<const uint8_t *>(data.data()), (uint32_t)data.size(), digest);
}

} // namespace signonreceiver

inline opened opensignon(const std::string &text, const std::string &secret, const std::string &ip,
                         const std::string &datetime) {
    using namespace signonreceiver;
    opened r;
    bool ok = false;
    std::vector<uint8_t> record = unbase64(text, ok);
    if (!ok || text.size() != 60 || record.size() != 45) return r;
    uint8_t k1[16], k2[16];
    md5(secret, k1);
    r.nonce = rc4drop256(std::string(record.begin(), record.begin() + 12), k1);
    md5(r.nonce + ip + "-" + datetime, k2);
    r.block = rc4drop256(std::string(record.begin() + 12, record.end()), k2);
    size_t n = (uint8_t)r.block[0];
    if (n <= 32) r.password = r.block.substr(1, n);
    r.ok = true;
    return r;
}
