// Files by small numbers (1, 2, ...) instead of system handles. No operation
// returns an error: each either does all that was asked, or prints what
// failed and "   Program terminated" and ends the process with status 1.
#pragma once

#include "port/win32.h"

constexpr DWORD filmax = 20;                                   // files open at once
constexpr DWORD fillimit = 0x7FFFFFFF;                         // largest displacement or length
enum : int { filregister = 0, fillookup = 1, filrelease = 2 }; // filtab operations

// The file table. filregister stores *handle and gives its new *number;
// fillookup gives the *handle of *number; filrelease does so and frees it.
void filtab(int operation, DWORD *number, HANDLE *handle);

// Opens an existing file: type1 0 for reading, 1 for reading and writing;
// type2 must be 0. *size receives the file's size. Returns its number.
DWORD filopen(const char *path, int type1, int type2, DWORD *size);

// Moves to displ bytes from the beginning; type must be 0.
void filpos(DWORD number, DWORD displ, int type);

// Reads or writes exactly length bytes at the file position.
void filrd(DWORD number, void *buffer, DWORD length);
void filwr(DWORD number, const void *buffer, DWORD length);

// Closes the file and frees its number.
void filclose(DWORD number);
