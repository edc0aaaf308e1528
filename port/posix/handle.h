// What a HANDLE points to in the POSIX layer. Every kind of object the layer
// hands out starts with this header, so CloseHandle can release any of them.
#pragma once

#include "port/win32.h"

struct portobject {
    BOOL (*close)(portobject *object); // releases the object and frees it
};

// The object behind `h` when it is of the kind that `close` releases; null
// with error 6 for anything else (null, INVALID_HANDLE_VALUE, another kind).
portobject *objectof(HANDLE h, BOOL (*close)(portobject *object));

// Win32 number for an errno value. `path` (may be null) lets ENOENT tell a
// missing file (2) from a missing folder on the way to it (3).
DWORD win32error(int err, const char *path = nullptr);

// SetLastError(win32error(errno, path)), for the failure paths.
void seterrno(const char *path = nullptr);

// The descriptor behind a file handle of CreateFileA and the access asked for
// it; false with error 6 when the handle is no open file.
bool fileof(HANDLE h, int *fd, DWORD *access);
