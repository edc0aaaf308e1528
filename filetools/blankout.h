// blankout: writes a number of zero bytes into a file at a byte displacement,
// extending the file when the area reaches past its end.
#pragma once

#include "port/win32.h"

// Exit statuses.
enum : int {
    blankoutdone = 0,      // zeros written, file closed
    blankoutusage = 1,     // no file name
    blankoutnoopen = 2,    // the file could not be opened or created
    blankoutnocreate = 3,  // missing file, creation not wanted
    blankoutnoclose = 4,   // closing after writing failed
    blankoutnosize = 5,    // the file size could not be taken
    blankoutnowrite = 6,   // a write failed
    blankoutbaddispl = 7,  // invalid displacement
    blankoutnoseek = 8,    // the file pointer could not be set
    blankoutbadlength = 9, // invalid length
    blankoutcancelled = 10 // the start was not confirmed
};

// The answer to the displacement question: exactly "e" or "E" is the end of
// the file (sizehigh:sizelow), anything else must be a number. False when it
// is neither.
bool blankoutdispl(const char *answer, DWORD sizehigh, DWORD sizelow, DWORD *high, DWORD *low);

// Writes `length` zero bytes at the file's position, in pieces of 32768 from
// one zero buffer. False on a failed or short write, with the code of
// GetLastError in *code.
bool writezeros(HANDLE file, DWORD length, DWORD *code);

// The program. Returns the exit status.
int blankoutmain(int argc, char **argv);
