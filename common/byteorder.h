// Explicit byte-order loads and stores of 32-bit words for the digest code.
// Each is a plain load or store plus, where the host's order differs, one
// byte swap that the compiler folds into a single instruction.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

inline uint32_t swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

inline uint32_t load_le32(const void *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = swap32(v);
    return v;
}

inline void store_le32(uint8_t *p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) v = swap32(v);
    std::memcpy(p, &v, 4);
}

// On a little-endian host this is the byte reversal SHA-1's block words need.
inline uint32_t load_be32(const void *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::little) v = swap32(v);
    return v;
}

inline void store_be32(uint8_t *p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) v = swap32(v);
    std::memcpy(p, &v, 4);
}
