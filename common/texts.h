// Texts for Win32 error codes and for sizes.
#pragma once

#include <cstdint>

// The text of a Win32 error code into `destination` (`size` bytes including
// the zero; nothing is written when it is 0). Returns 0 for a code of the
// table, 1 for the "Win32 error %u" fallback.
int errtext(uint32_t code, char *destination, unsigned size);

// " %.2lf MB = %.0lf bytes " for the 64-bit count high:low (style 1, the one
// every program uses), cut to `size` - 1 characters.
void sizetext(uint32_t high, uint32_t low, char *destination, unsigned size, int style);
