// The user's home folder, a routine of the platform layer's own for the POSIX
// build: where Windows programs use fixed places on "c:\", the POSIX build
// uses the home folder. Windows has no counterpart and needs none.
#pragma once

#ifndef _WIN32

// Copies the home folder of the user running the program, as the password
// database gives it (not $HOME: the programs read no environment), into
// `path` of `size` bytes. False when the user has none, or it does not fit.
bool homefolder(char *path, unsigned size);

#endif
