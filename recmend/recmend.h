// The record converter: a file that came from the host by a text-mode
// transfer (ISO 8859-1, every record ending in CR LF) back to the host's
// fixed records in EBCDIC (code page 1047) without separators.
#pragma once

#include "port/win32.h"

#include <cstddef>

constexpr DWORD maxreclen = 32760;  // the longest record the host writes
constexpr size_t outnamesize = 800; // the default output name's buffer
// The record loop's buffer in the program: many records per read and write.
constexpr DWORD recbuffersize = 1u << 20;

// Exit codes of the program.
enum : int {
    recok = 0,
    recusage = 1,
    recnoinput = 2,
    recnooutput = 3,
    recreaderror = 4,
    recclosefailed = 5,
    recshort = 6,
    recnocrlf = 7,
    recwriteerror = 8,
};

// ISO 8859-1 to IBM code page 1047, indexed by the input byte.
extern const BYTE isotoebcdic[256];

// The record length text: its value, -1 when it is only blanks, -2 when it
// is not 1 to 9 characters or has anything but digits after leading blanks.
long parsereclen(const char *text, size_t len);

// The output name made from the input name: every "." becomes "_" and
// ".bin" follows; at most size - 5 characters of the input name are taken.
void defaultoutname(const char *infile, char *outname, size_t size);

// Translates a record in place through the table.
void translaterecord(BYTE *record, DWORD reclen);

// Are two open files the same file? 1 yes, 0 no, -1 when it cannot be told.
int sameidentity(HANDLE a, HANDLE b);

// Opens the output for writing, not shared, and empties it, but only once it
// is known not to be the input: INVALID_HANDLE_VALUE when it cannot be
// created or is the input under another name.
HANDLE createoutput(HANDLE in, const char *outname);

// The transfers the record loop makes: ReadFile and WriteFile in the program.
typedef BOOL(WINAPI *readfunction)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
typedef BOOL(WINAPI *writefunction)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

struct recordio {
    HANDLE in, out;
    readfunction read;
    writefunction write;
    const char *infile, *outname; // for the messages
};

// The record loop: converts pieces of reclen + 2 bytes until the end of the
// input or the first error, printing that error's line. buffer holds at
// least one piece. Returns the result (recok, recreaderror, recshort,
// recnocrlf or recwriteerror); *count is the number of records written.
int convertrecords(const recordio &io, DWORD reclen, BYTE *buffer, DWORD buffersize, DWORD *count);

// The program. Returns its exit code.
int recmend(int argc, char **argv);
