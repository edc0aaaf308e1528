// Console input: one line of keys with echo control, and the decimal number
// parser for what was typed.
#pragma once

#include <cstdint>

// Echo mode bits of getinput.
enum : unsigned {
    echomask = 1,   // show "*" per stored character
    echoplain = 2,  // show the characters themselves (masking wins)
    echopreset = 4, // the buffer holds an editable default
};

// Reads one line into `buffer` (`maxlength` bytes including the terminating
// zero) from the console keyboard, echoing to the console device.
void getinput(char *buffer, int maxlength, unsigned mode);

// The same line editor with its key source and its echo output chosen by the
// caller: a program whose echo belongs in standard output, or a test that
// feeds keys.
void getinputwith(char *buffer, int maxlength, unsigned mode, int (*key)(void),
                  int (*echo)(const char *format, ...));

// Decimal unsigned 32-bit number, blanks around it allowed, at most 10 digits.
// Returns 0 and stores the value, or 1 and leaves `value` alone.
int parsenum(const char *text, uint32_t *value);
