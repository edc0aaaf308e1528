// webstow's command line: the upload parameters and the routines that fill them.
#pragma once

// Limits of the request: they keep every request record within its buffer.
constexpr int maxuserid = 256;    // userid, and a password given or typed
constexpr int maxtarget = 924;    // path plus an appended local name
constexpr int maxhost = 924;      // the URL's host part, ":port" included
constexpr int passwordsize = 300; // the buffer a typed password goes into

// The parsed command line. The texts point into the argument strings (or,
// for a typed password, into the caller's buffer); `domain` is not
// zero-terminated inside the URL, so it is always used with `lendomain`.
struct putparms {
    const char *localfile = nullptr;
    const char *locfilebare = nullptr;
    int lenlocfilebare = 0;
    const char *domain = nullptr;
    int lendomain = 0;
    int lenhost = 0;
    int port = 80;
    const char *path = nullptr;
    int lenpath = 0;
    int addnamesw = 0;
    const char *userid = nullptr;
    int lenuserid = 0;
    const char *password = nullptr;
    int lenpassword = 0;
    int filetype = 2; // 0 text, 1 binary, 2 none
    int binfc80 = 0;
    int showall = 0;
    int wanthelp = 0;
    int wantversion = 0;
};

// Parses the command line into `parms`. Returns 0 with a complete record, or
// the exit status 1 after printing the error, banner or usage text.
int parseputparms(int argc, char **argv, putparms *parms);

// Prints the usage text.
void showusage(void);

// Asks for the password when a userid came without one, reading it silently
// into `buffer` (passwordsize bytes). Returns 0, or the exit status 7 when the
// typed password is too long.
int completepassword(putparms *parms, char *buffer);
