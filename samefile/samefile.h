// samefile: compares one pair of files, or every file matching a wildcard
// with the file of corresponding name in a second place.
#pragma once

#include "port/win32.h"

// Working buffer of a filespec; of an argument only the first
// `argtaken` characters are taken.
constexpr unsigned specsize = 2000;
constexpr unsigned argtaken = 300;
// A name or extension template, and a found name without its folder.
constexpr unsigned partsize = 300;
// Each file is read in chunks of this many bytes.
constexpr DWORD chunksize = 16384;

// Results of a pair, and the program's exit statuses.
enum : int {
    resultequal = 0,
    resultfailed = 1, // a file could not be opened or read; also the usage text
    resultdiffer = 2,
    resultstopped = 16, // Esc at a pause
};

// Where a path's folder part ends: '\' and ':' on Windows, '/' on POSIX.
#ifdef _WIN32
constexpr char dirsep = '\\';
inline bool isdirend(char c) {
    return c == '\\' || c == ':';
}
#else
constexpr char dirsep = '/';
inline bool isdirend(char c) {
    return c == '/';
}
#endif

struct sameoptions {
    bool pause = false;  // "-p...": wait for a key after a pair that differed or failed
    bool nobeep = false; // "-nob...": no beeps
};

// A filespec and what its split tells.
struct filespec {
    char text[specsize] = {};
    char name[partsize] = {}; // name template: the name part before its last '.'
    char ext[partsize] = {};  // extension template: after that '.'
    unsigned dirlen = 0;      // folder prefix: text[0, dirlen)
    int namestar = -1;        // first '*' in name, or -1
    int extstar = -1;         // first '*' in ext, or -1
    bool question = false;    // a '?' anywhere in the name part
    bool isdir = false;       // names a folder
};

// Splits `text` at the end of its folder prefix (length into *dirlen) and
// its name part at the last '.' into name and extension, each cut to its
// size - 1 characters.
void splitname(const char *text, char *name, unsigned namesize, char *ext, unsigned extsize,
               unsigned *dirlen);

// Template text before its first '*' (all of it without one), then, when the
// first pattern had a '*' at `firststar`, `found` from that position on; cut
// to size - 1 characters.
void starfill(const char *found, int firststar, const char *templ, int templstar, char *out,
              unsigned size);

// name, and ".ext" when ext is not empty, cut to size - 1 characters.
void joinname(char *out, unsigned size, const char *name, const char *ext);

// Takes an argument as a filespec (cut at `argtaken`) and splits it.
void setspec(filespec &fs, const char *arg);
// The first filespec: a folder becomes the pattern folder + "*.*".
void preparefirst(filespec &fs);
// The second filespec: notes whether it is a folder (ending it with a
// separator when it did not end with one).
void preparesecond(filespec &fs);
// Single-pair mode: no '*' or '?' in the first and not a folder.
bool singlepair(const filespec &first);
// The path of the second file for the found name (wildcard mode).
void secondpath(const filespec &first, const filespec &second, const char *found, char *out,
                unsigned size);

// Compares two files and prints all about the pair. Returns resultequal,
// resultfailed, resultdiffer, or resultstopped when Esc ended a pause.
int cmpfiles(const sameoptions &options, const char *path1, const char *path2);

// The pause after a pair that differed or failed. True when Esc was pressed.
bool pausekey(const sameoptions &options);

// The program. Returns the exit status.
int samefilemain(int argc, char **argv);
