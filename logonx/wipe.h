// Clearing secrets from memory before the program lets go of them.
#pragma once

#include <cstddef>

// Writes zeros through a volatile pointer, so the compiler cannot drop the
// stores as dead because the buffer is not read again.
inline void wipe(void *memory, size_t length) {
    volatile unsigned char *p = static_cast<volatile unsigned char *>(memory);
    while (length-- > 0)
        *p++ = 0;
}
