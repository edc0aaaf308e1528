// What a HANDLE points to in the POSIX layer. Every kind of object the layer
// hands out starts with this header, so CloseHandle can release any of them.
#pragma once

#include "port/win32.h"

#include <new>

struct portobject {
    BOOL (*close)(portobject *object); // releases the object and frees it
    portobject *prev, *next;           // on the list of open objects
};

// Every open object stands on one list, as a Windows process's open handles
// stand in its handle table: an object that a program leaves open to the end
// of the process is held there, not leaked.
void linkobject(portobject *object);
void unlinkobject(portobject *object);

// A new object of kind T, released by `close`, on the list; null with error 8.
template <class T> T *newobject(BOOL (*close)(portobject *object)) {
    T *object = new (std::nothrow) T{};
    if (object == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    object->close = close;
    linkobject(object);
    return object;
}

template <class T> void deleteobject(T *object) {
    unlinkobject(object);
    delete object;
}

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
