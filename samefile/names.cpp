// Names: splitting a filespec, preparing both, and forming the second
// file's name from the found one.
#include "samefile/samefile.h"

#include <cstring>

namespace {

// At most size - 1 characters of src[0, len) into out, with the zero.
void copycut(char *out, unsigned size, const char *src, size_t len) {
    if (size == 0) return;
    if (len > size - 1) len = size - 1;
    memcpy(out, src, len);
    out[len] = 0;
}

// Appends src to the string in out, keeping within size - 1 characters.
void appendcut(char *out, unsigned size, const char *src, size_t len) {
    // A buffer of no size holds not even a terminator to measure.
    if (size == 0) return;
    size_t have = strlen(out);
    if (have + 1 >= size) return;
    copycut(out + have, size - (unsigned)have, src, len);
}

int starat(const char *text) {
    const char *star = strchr(text, '*');
    return star != nullptr ? (int)(star - text) : -1;
}

void resplit(filespec &fs) {
    splitname(fs.text, fs.name, sizeof fs.name, fs.ext, sizeof fs.ext, &fs.dirlen);
    fs.namestar = starat(fs.name);
    fs.extstar = starat(fs.ext);
    fs.question = strchr(fs.text + fs.dirlen, '?') != nullptr;
}

bool haswildcards(const filespec &fs) {
    return strpbrk(fs.text + fs.dirlen, "*?") != nullptr;
}

// Does the search find a folder under this exact name?
bool namesfolder(const char *text) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(text, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    FindClose(search);
    return folder;
}

void appendsep(filespec &fs) {
    char sep[2] = {dirsep, 0};
    appendcut(fs.text, sizeof fs.text, sep, 1);
}

} // namespace

void splitname(const char *text, char *name, unsigned namesize, char *ext, unsigned extsize,
               unsigned *dirlen) {
    size_t d = 0;
    for (size_t i = 0; text[i] != 0; i++)
        if (isdirend(text[i])) d = i + 1;
    *dirlen = (unsigned)d;
    const char *part = text + d;
    const char *dot = strrchr(part, '.');
    if (dot == nullptr) {
        copycut(name, namesize, part, strlen(part));
        copycut(ext, extsize, "", 0);
    } else {
        copycut(name, namesize, part, (size_t)(dot - part));
        copycut(ext, extsize, dot + 1, strlen(dot + 1));
    }
}

void starfill(const char *found, int firststar, const char *templ, int templstar, char *out,
              unsigned size) {
    copycut(out, size, templ, templstar >= 0 ? (size_t)templstar : strlen(templ));
    if (firststar >= 0 && strlen(found) > (size_t)firststar)
        appendcut(out, size, found + firststar, strlen(found + firststar));
}

void joinname(char *out, unsigned size, const char *name, const char *ext) {
    if (size == 0) return;
    copycut(out, size, name, strlen(name));
    if (ext[0] != 0) {
        // When the dot does not fit, the buffer is full and the text stays out too.
        appendcut(out, size, ".", 1);
        appendcut(out, size, ext, strlen(ext));
    }
}

void setspec(filespec &fs, const char *arg) {
    copycut(fs.text, sizeof fs.text, arg, strnlen(arg, argtaken));
    resplit(fs);
    fs.isdir = false;
}

void preparefirst(filespec &fs) {
    if (fs.text[fs.dirlen] == 0)
        fs.isdir = true;
    else if (!haswildcards(fs) && namesfolder(fs.text)) {
        fs.isdir = true;
        appendsep(fs);
    }
    if (fs.isdir) {
        // From here on a pattern for every file of the folder.
        appendcut(fs.text, sizeof fs.text, "*.*", 3);
        resplit(fs);
    }
}

void preparesecond(filespec &fs) {
    if (fs.text[fs.dirlen] == 0)
        fs.isdir = true;
    else if (!haswildcards(fs) && namesfolder(fs.text)) {
        fs.isdir = true;
        appendsep(fs);
        fs.dirlen = (unsigned)strlen(fs.text);
    }
}

bool singlepair(const filespec &first) {
    return first.namestar < 0 && first.extstar < 0 && !first.question && !first.isdir;
}

void secondpath(const filespec &first, const filespec &second, const char *found, char *out,
                unsigned size) {
    copycut(out, size, second.text, second.dirlen);
    size_t at = strlen(out);
    if (second.isdir) {
        appendcut(out, size, found, strlen(found));
        return;
    }
    char foundname[partsize], foundext[partsize];
    if (first.ext[0] != 0) {
        unsigned ignored;
        splitname(found, foundname, sizeof foundname, foundext, sizeof foundext, &ignored);
    } else {
        // A pattern without an extension part: the whole name stands for '*'.
        copycut(foundname, sizeof foundname, found, strlen(found));
        foundext[0] = 0;
    }
    char newname[partsize], newext[partsize];
    starfill(foundname, first.namestar, second.name, second.namestar, newname, sizeof newname);
    starfill(foundext, first.extstar, second.ext, second.extstar, newext, sizeof newext);
    if (at + 1 < size) joinname(out + at, size - (unsigned)at, newname, newext);
}
