// The block copy program: a run of 512-byte blocks from one existing file
// into another, at block numbers asked on the console.
#pragma once

#include "port/win32.h"

#include <cstddef>

constexpr DWORD blocksize = 512;
constexpr size_t namesize = 200; // a file name of at most 199 characters

// Exit statuses of the program's own; the file layer ends with 1.
enum : int {
    blockok = 0,
    blockrange = 2,     // the blocks asked for lie beyond the source's end
    blockbadanswer = 3, // an answer missing, not a number, or a name too long
};

// The next white-space-delimited item of standard input into item (size
// including the terminator). Returns its length, -1 at the end of input
// before any item, -2 when the item is longer than size - 1.
int readitem(char *item, size_t size);

// A signed decimal answer as an unsigned 32-bit value (a negative answer
// becomes 2^32 minus its magnitude). False, after an "** " error line, when
// there is none or it is not a number from -4294967295 to 4294967295.
bool readnumber(DWORD *value);

// A file name answer; false, after an "** " error line, when there is none or
// it is longer than size - 1.
bool readname(char *name, size_t size);

// The program. Returns its exit status.
int blockcopy();
