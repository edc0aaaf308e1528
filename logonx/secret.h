// The secret file: two text lines, the IP address and the shared secret,
// found at fixed places chosen by a file digit. And the local time as text.
#pragma once

#include "port/win32.h"

constexpr int ipsize = 20, secretsize = 200;

// Reads the line that starts at *offset of `file` into `buffer` (size bytes,
// at most size - 1 characters kept, the rest of the line skipped). Returns the
// number of characters stored and moves *offset and the file behind the line
// end; -1 at the end of the file, -2 when positioning or reading fails, -3
// when size is below 1.
int readfileline(HANDLE file, DWORD *offset, char *buffer, int size);

// The name of secret file candidate `index` (0, 1, 2) for `digit` into
// `name`; false when there is no such candidate or it does not fit.
bool secretcandidate(int index, char digit, char *name, int size);

// Reads the IP text (line 1) and the secret (line 2) from the first of
// `names` that opens; both stay empty when none does or a line is missing.
void readsecret(const char *const *names, int count, char ip[ipsize], char secret[secretsize]);

// The same on the program's candidates for `digit`.
void findsecret(char digit, char ip[ipsize], char secret[secretsize]);

// "yyyy/mm/dd hh:mm:ss" of the current local time, 19 characters.
void nowtext(char text[20]);
