// bytecopy: copies byte ranges of one source file into target files at a
// chosen displacement, everything asked for on the console.
#pragma once

#include "port/win32.h"

// Exit statuses.
enum : int {
    bytecopydone = 0,       // ended by the user: target "0" or no other target wanted
    bytecopyterminated = 1, // "x" at a displacement prompt, or no more input to ask again
    bytecopynosource = 2,   // the source could not be opened (or is 4 GB or more)
    bytecopynoseek = 3,     // a start position could not be set
    bytecopynoread = 4,     // reading the source failed
    bytecopynowrite = 5,    // writing the target failed
    bytecopynoclose = 6     // closing the target failed
};

// What a typed displacement means.
enum class displverdict {
    accepted,     // *value holds it
    invalid,      // "** Invalid value. Re-enter it (n/e/*/*+n/x): "
    beyond32bits, // "*+n" wrapped: "** Resulting displacement exceeds 32 bits. ..."
    beyondsize,   // above the maximum: "** Displacement exceeds size %lu of file. ..."
    terminate     // "x": end the program
};

// Judges one answer: n, e (the maximum), * (the star value), *+n or x.
displverdict judgedispl(const char *text, DWORD maximum, DWORD star, DWORD *value);

// Reads displacements until one is accepted. False when the program must end:
// "x" was typed, or standard input has ended where another answer is needed
// ("Program terminated" is printed).
bool getdispl(DWORD *result, DWORD maximum, DWORD star);

// How copying a range ended.
enum class copyresult { copied, readfailed, writefailed };

// Copies source bytes start..end (end excluded) to the target's position
// through the 40960-byte buffer, both files already positioned. A failure is
// reported with the position of the failed chunk and its error text.
copyresult copyrange(HANDLE source, HANDLE target, DWORD start, DWORD end);

// Reads the answer to "Another target file? (y/n) " as one word from standard
// input; the rest of its line is dropped. True when it begins with y or Y.
bool anothertarget(void);

// The program. Returns the exit status.
int bytecopymain(int argc, char **argv);
