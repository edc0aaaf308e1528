// Error and size texts.
#include "common/texts.h"

#include <cstdio>
#include <cstring>

namespace {

struct errorentry {
    uint32_t code;
    const char *text;
};

// Searched in this order; every code occurs once.
constexpr errorentry errortable[] = {
    {2, "File not found"},
    {3, "Path not found"},
    {4, "Too many open files"},
    {5, "Access denied"},
    {8, "Not enough memory"},
    {12, "Invalid access"},
    {14, "Out of memory"},
    {16, "Current directory cannot be removed"},
    {19, "Device is write-protected"},
    {21, "Device not ready"},
    {32, "File sharing violation"},
    {33, "File lock violation"},
    {39, "Disk is full (39)"},
    {112, "Disk is full (112)"},
    {54, "Network busy"},
    {80, "File exists"},
    {183, "Object already exists"},
    {123, "Invalid name"},
    {145, "Directory is not empty"},
    {161, "Invalid path name"},
    {170, "Busy - resource is in use"},
};

void copycut(const char *text, char *destination, unsigned size) {
    if (size == 0) return;
    size_t n = strlen(text);
    if (n > size - 1) n = size - 1;
    memcpy(destination, text, n);
    destination[n] = 0;
}

} // namespace

int errtext(uint32_t code, char *destination, unsigned size) {
    for (const errorentry &e : errortable) {
        if (e.code == code) {
            copycut(e.text, destination, size);
            return 0;
        }
    }
    char scratch[32];
    snprintf(scratch, sizeof scratch, "Win32 error %u", code);
    copycut(scratch, destination, size);
    return 1;
}

void sizetext(uint32_t high, uint32_t low, char *destination, unsigned size, int style) {
    double bytes = (double)high * 4294967296.0 + (double)low;
    double megabytes = bytes * 9.5367431640625e-07;
    // The longest text, for 2^64 - 1 bytes, has 51 characters. Only the
    // compact style exists; any style value gets it.
    (void)style;
    char scratch[52];
    snprintf(scratch, sizeof scratch, " %.2lf MB = %.0lf bytes ", megabytes, bytes);
    copycut(scratch, destination, size);
}
