// Win32 directory search on POSIX: FindFirstFileA, FindNextFileA, FindClose.
//
// Map of this file:
//   wildcards        the Windows matching rules for the name part
//   the listing      one folder read at FindFirstFileA, kept in order
//   FindFirstFileA, FindNextFileA, FindClose
//
// Quirks handled here, each where it happens:
//   - Windows splits a pattern at its last '\' or ':'; here at the last '/'.
//   - Windows makes a path full and drops its "." and ".." before it searches,
//     so "dir/." finds the entry "dir" in its parent (see dotsresolved).
//   - A folder part that names a file is ERROR_DIRECTORY, as on Windows;
//     open(2) says ENOTDIR for it and for a file further up the path alike.
//   - Windows bends '*', '?' and '.' into its DOS forms before matching, so
//     that "*.*" matches every name, also one without a dot.
//   - NTFS lists a folder in name order, "." and ".." first; readdir(3) has
//     no order and some file systems leave "." and ".." out. The folder is
//     read once at FindFirstFileA and its matching names sorted, so every run
//     sees the same order, and "." and ".." are added by us.
//   - Names compare case-sensitively, as the file system does; there are no
//     short 8.3 names to match as well.
#include "port/posix/handle.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- wildcards ----------------------------------------------------------------
//
// Windows rewrites a pattern before it matches: '?' becomes DOS_QM (one
// character other than '.', or nothing just before a '.' or at the end);
// '*' before a '.' becomes DOS_STAR (any run that does not pass the name's
// last '.'); a '.' before '?' or '*' or at the end becomes DOS_DOT (a '.',
// or nothing at the end). A plain '*' matches any run.
enum : int { anyrun = 256, dosstar, dosqm, dosdot };

// Longest name part we match: far beyond any real name, and it bounds the
// state arrays below.
constexpr size_t maxpattern = 1024;

size_t translate(const char *pattern, size_t m, int *tokens) {
    for (size_t i = 0; i < m; i++) {
        char c = pattern[i];
        char next = i + 1 < m ? pattern[i + 1] : 0;
        if (c == '?')
            tokens[i] = dosqm;
        else if (c == '*')
            tokens[i] = next == '.' ? dosstar : anyrun;
        else if (c == '.' && (next == 0 || next == '?' || next == '*'))
            tokens[i] = dosdot;
        else
            tokens[i] = (unsigned char)c;
    }
    return m;
}

// The tokens as a set of states walked along the name: linear in both
// lengths, whatever the number of stars.
bool wildmatch(const int *tokens, size_t m, const char *name) {
    bool states[maxpattern + 1], next[maxpattern + 1];
    size_t n = strlen(name);
    const char *lastdot = strrchr(name, '.');
    size_t lastdotat = lastdot != nullptr ? (size_t)(lastdot - name) : n;
    std::fill(states, states + m + 1, false);
    states[0] = true;
    for (size_t j = 0;; j++) {
        bool atend = j == n;
        // What matches nothing here: forward only, so one pass in order.
        for (size_t p = 0; p < m; p++) {
            if (!states[p]) continue;
            int t = tokens[p];
            if (t == anyrun || t == dosstar || (t == dosqm && (atend || name[j] == '.')) ||
                (t == dosdot && atend))
                states[p + 1] = true;
        }
        if (atend) return states[m];
        std::fill(next, next + m + 1, false);
        bool any = false;
        int c = (unsigned char)name[j];
        for (size_t p = 0; p < m; p++) {
            if (!states[p]) continue;
            int t = tokens[p];
            bool stay = false, advance = false;
            if (t == anyrun)
                stay = true;
            else if (t == dosstar)
                stay = c != '.' || j != lastdotat;
            else if (t == dosqm)
                advance = c != '.';
            else if (t == dosdot)
                advance = c == '.';
            else
                advance = c == t;
            if (stay) next[p] = any = true;
            if (advance) next[p + 1] = any = true;
        }
        if (!any) return false;
        std::copy(next, next + m + 1, states);
    }
}

// ---- the listing ----------------------------------------------------------------

struct portsearch : portobject {
    int dirfd;  // the folder, for the attributes of each name
    char *pool; // the matching names, each with its zero
    size_t poolused, poolsize;
    size_t *starts; // where each name begins in pool, in the order returned
    size_t count, countsize;
    size_t next; // the next name FindNextFileA returns
};

void release(portsearch *s) {
    if (s->dirfd >= 0) close(s->dirfd);
    free(s->pool);
    free(s->starts);
    deleteobject(s);
}

BOOL closesearch(portobject *object) {
    release(static_cast<portsearch *>(object));
    return TRUE;
}

bool addname(portsearch *s, const char *name) {
    size_t len = strlen(name) + 1;
    // cFileName holds MAX_PATH - 1 characters; Linux names stop at 255, but
    // a longer one could not be returned whole, so it is not returned at all.
    if (len > MAX_PATH) return true;
    if (s->poolused + len > s->poolsize) {
        size_t size = std::max(s->poolsize * 2, s->poolused + len + 4096);
        char *grown = static_cast<char *>(realloc(s->pool, size));
        if (grown == nullptr) return false;
        s->pool = grown;
        s->poolsize = size;
    }
    if (s->count == s->countsize) {
        size_t size = std::max<size_t>(s->countsize * 2, 64);
        size_t *grown = static_cast<size_t *>(realloc(s->starts, size * sizeof *grown));
        if (grown == nullptr) return false;
        s->starts = grown;
        s->countsize = size;
    }
    memcpy(s->pool + s->poolused, name, len);
    s->starts[s->count++] = s->poolused;
    s->poolused += len;
    return true;
}

portsearch *searchhandle(HANDLE h) {
    return static_cast<portsearch *>(objectof(h, closesearch));
}

// Hands out the next name with its attributes.
BOOL nextentry(portsearch *s, LPWIN32_FIND_DATAA found) {
    if (s->next >= s->count) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const char *name = s->pool + s->starts[s->next++];
    // The attribute of what a symbolic link points to, as Windows shows a
    // link to a folder as a folder; a dangling link reads as a file, whose
    // open then fails as a missing file would.
    struct stat st;
    bool folder = fstatat(s->dirfd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    found->dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    memcpy(found->cFileName, name, strlen(name) + 1); // addname kept it within MAX_PATH
    return TRUE;
}

// A pattern whose name part is "." or ".." as Windows searches it: made full
// and collapsed without looking at the disk, so that its last component is
// what is found in its parent. False, with the last error set, when it does
// not fit in size or the current folder is unknown.
bool dotsresolved(const char *pattern, char *out, size_t size) {
    char full[8192];
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    if (strlen(pattern) + 1 > sizeof full) return false;
    if (pattern[0] == '/')
        snprintf(full, sizeof full, "%s", pattern);
    else {
        if (getcwd(full, sizeof full) == nullptr) {
            seterrno();
            return false;
        }
        size_t have = strlen(full);
        if (have + 1 + strlen(pattern) + 1 > sizeof full) return false;
        full[have] = '/';
        strcpy(full + have + 1, pattern);
    }
    // Components are copied one by one; ".." takes back the last one kept.
    size_t used = 0;
    for (const char *p = full; *p != 0;) {
        while (*p == '/')
            p++;
        const char *end = p;
        while (*end != 0 && *end != '/')
            end++;
        size_t len = (size_t)(end - p);
        if (len == 2 && p[0] == '.' && p[1] == '.') {
            while (used > 0 && out[used - 1] != '/')
                used--;
            if (used > 0) used--;
        } else if (len > 0 && !(len == 1 && p[0] == '.')) {
            if (used + 1 + len + 1 > size) return false;
            out[used++] = '/';
            memcpy(out + used, p, len);
            used += len;
        }
        p = end;
    }
    // The root alone: nothing to find in it, as for "C:\" on Windows.
    if (used == 0) out[used++] = '/';
    out[used] = 0;
    return true;
}

bool isdots(const char *name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

} // namespace

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
    if (pattern == nullptr || found == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const char *slash = strrchr(pattern, '/');
    const char *namepart = slash != nullptr ? slash + 1 : pattern;
    char resolved[4096];
    if (isdots(namepart)) {
        if (!dotsresolved(pattern, resolved, sizeof resolved)) return INVALID_HANDLE_VALUE;
        pattern = resolved;
        slash = strrchr(pattern, '/');
        namepart = slash + 1;
    }
    size_t m = strlen(namepart);
    char folder[4096];
    size_t dirlen = (size_t)(namepart - pattern);
    if (m > maxpattern || dirlen >= sizeof folder) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    if (dirlen == 0)
        strcpy(folder, ".");
    else {
        memcpy(folder, pattern, dirlen);
        folder[dirlen] = 0;
    }
    int tokens[maxpattern];
    translate(namepart, m, tokens);

    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // A folder that is not there is a path not found, whatever its parent;
        // one that is a file is not a folder.
        DWORD error = errno == ENOENT ? (DWORD)ERROR_PATH_NOT_FOUND : win32error(errno);
        if (errno == ENOTDIR) {
            while (dirlen > 1 && folder[dirlen - 1] == '/')
                folder[--dirlen] = 0;
            struct stat st;
            if (stat(folder, &st) == 0 && !S_ISDIR(st.st_mode)) error = ERROR_DIRECTORY;
        }
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    portsearch *s = newobject<portsearch>(closesearch);
    if (s == nullptr) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    s->dirfd = fd;

    // fdopendir takes over the descriptor it is given; it gets a copy so that
    // dirfd stays ours for the attributes.
    int listfd = dup(fd);
    DIR *dir = listfd >= 0 ? fdopendir(listfd) : nullptr;
    if (dir == nullptr) {
        seterrno();
        if (listfd >= 0) close(listfd);
        release(s);
        return INVALID_HANDLE_VALUE;
    }
    bool ok = true;
    for (const char *dot : {".", ".."}) {
        if (ok && wildmatch(tokens, m, dot) && !addname(s, dot)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            ok = false;
        }
    }
    size_t first = s->count; // "." and ".." stay in front, as NTFS gives them
    while (ok) {
        errno = 0;
        struct dirent *entry = readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                seterrno();
                ok = false;
            }
            break;
        }
        const char *name = entry->d_name;
        if (isdots(name)) continue;
        if (wildmatch(tokens, m, name) && !addname(s, name)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            ok = false;
            break;
        }
    }
    closedir(dir);
    if (!ok) {
        release(s);
        return INVALID_HANDLE_VALUE;
    }
    if (s->count == 0) {
        release(s);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const char *pool = s->pool;
    std::sort(s->starts + first, s->starts + s->count,
              [pool](size_t a, size_t b) { return strcmp(pool + a, pool + b) < 0; });
    nextentry(s, found);
    return s;
}

BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found) {
    portsearch *s = searchhandle(search);
    if (s == nullptr) return FALSE;
    if (found == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return nextentry(s, found);
}

BOOL FindClose(HANDLE search) {
    portsearch *s = searchhandle(search);
    if (s == nullptr) return FALSE;
    release(s);
    return TRUE;
}
