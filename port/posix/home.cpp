// The user's home folder on POSIX, from the password database.
#include "port/home.h"

#include <cstring>
#include <pwd.h>
#include <unistd.h>

bool homefolder(char *path, unsigned size) {
    // getpwuid_r with a buffer of our own: the static getpwuid result could be
    // overwritten by any other lookup.
    char scratch[4096];
    struct passwd entry;
    struct passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, scratch, sizeof scratch, &found) != 0 || found == nullptr)
        return false;
    const char *home = found->pw_dir;
    if (home == nullptr || home[0] == 0) return false;
    size_t len = strlen(home);
    if (len >= size) return false;
    memcpy(path, home, len + 1);
    return true;
}
