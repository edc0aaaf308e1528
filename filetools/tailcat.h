// tailcat: appends source files, in the order given, to an existing target.
#pragma once

#include "port/win32.h"

// Exit statuses.
enum : int {
    tailcatdone = 0,     // all sources appended, target closed
    tailcatusage = 1,    // fewer than two names
    tailcatnosource = 2, // a source failed the pre-check; target untouched
    tailcatnotarget = 3, // the target could not be opened
    tailcatnosize = 4,   // the target's size could not be taken
    tailcatnoseek = 5,   // the target could not be positioned at its end
    tailcatnoopen = 6,   // a source could not be opened at its turn
    tailcatnoread = 7,   // reading a source failed
    tailcatnowrite = 8,  // writing the target failed
    tailcatnoclose = 9   // closing the target failed
};

// How appending one source ended.
enum class appendresult { done, readfailed, writefailed };

// Copies the rest of `source` to `target` through the 51200-byte buffer,
// counting the bytes written into high:low (the high half counts the wraps of
// the low). On a failure *code holds GetLastError of the failed call.
appendresult appendfile(HANDLE target, HANDLE source, DWORD *high, DWORD *low, DWORD *code);

// The program. Returns the exit status.
int tailcatmain(int argc, char **argv);
