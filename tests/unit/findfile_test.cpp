// Directory search of the platform layer: Windows' wildcard rules, "." and
// "..", the folder attribute, the order and the errors.
#include "port/win32.h"
#include "tests/support/samefilesupport.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Every name the search returns, in order, folders marked with a '/'.
std::string search(const std::string &pattern, DWORD *error = nullptr) {
    WIN32_FIND_DATAA found;
    SetLastError(0);
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = GetLastError();
        return "-";
    }
    std::string names;
    do {
        names += found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names += '/';
        names += ' ';
    } while (FindNextFileA(h, &found));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    if (error != nullptr) *error = 0;
    return names;
}

} // namespace

TEST(PortFindFile, WildcardRules) {
    tempdir dir;
    for (const char *name :
         {"a", "a.c", "ab.c", "a.b.c", "abc.txt", "B.C", ".hidden", "x.cpp", "x.c.bak"})
        writefile(dir.file(name), "");
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("sub.d")));
    // "." and ".." are made part of the path before the search: the folder
    // itself and its parent are found by their names in their parents.
    const std::string self = std::filesystem::path(dir.path()).filename().string() + "/ ";
    const std::string parent =
        std::filesystem::path(dir.path()).parent_path().filename().string() + "/ ";
    // Windows compares names case-insensitively and lists them so; POSIX names
    // compare case-sensitively and come in byte order. Where Wine's matching
    // falls short of Windows' the row says what Wine gives.
    struct row {
        std::string pattern, posix, windows, wine;
    };
    const row rows[] = {
        {"*", "./ ../ .hidden B.C a a.b.c a.c ab.c abc.txt sub.d/ x.c.bak x.cpp ",
         "./ ../ .hidden a a.b.c a.c ab.c abc.txt B.C sub.d/ x.c.bak x.cpp ", ""},
        {"*.*", "./ ../ .hidden B.C a a.b.c a.c ab.c abc.txt sub.d/ x.c.bak x.cpp ",
         "./ ../ .hidden a a.b.c a.c ab.c abc.txt B.C sub.d/ x.c.bak x.cpp ", ""},
        {"*.c", "a.b.c a.c ab.c ", "a.b.c a.c ab.c B.C ", ""},
        // Names without an extension. Wine drops the pattern's trailing dot.
        {"*.", "./ ../ a ", "",
         "./ ../ .hidden a a.b.c a.c ab.c abc.txt B.C sub.d/ x.c.bak x.cpp "},
        // '?' may match nothing before the dot or at the end, but never a dot
        // itself. Wine's '?' is always one character, a dot too.
        {"a?.c", "a.c ab.c ", "", "ab.c "},
        {"?", "a ", "", "./ a "},
        {"??", "a ", "", "../ "},
        {"ab.c?", "ab.c ", "", "-"},
        {"a*", "a a.b.c a.c ab.c abc.txt ", "", ""},
        {"*.c*", "a.b.c a.c ab.c x.c.bak x.cpp ", "a.b.c a.c ab.c B.C x.c.bak x.cpp ", ""},
        {"*b*.c", "a.b.c ab.c ", "a.b.c ab.c B.C ", ""},
        {"a.c", "a.c ", "", ""}, // a plain name finds itself
        {"A.C", "-", "a.c ", ""},
        {"sub.d", "sub.d/ ", "", ""},
        {".", self, "", ""},
        {"..", parent, "", ""},
        {"sub.d/..", self, "", ""},
        {"", "-", "", ""},
    };
    for (const row &r : rows) {
        std::string expected = r.posix;
#ifdef _WIN32
        if (!r.windows.empty()) expected = r.windows;
        if (underwine() && !r.wine.empty()) expected = r.wine;
#endif
        EXPECT_EQ(search(dir.file(r.pattern)), expected) << r.pattern;
    }
}

TEST(PortFindFile, Errors) {
    tempdir dir;
    writefile(dir.file("file"), "");
    // A file named as the folder to search: Wine calls the name invalid.
    DWORD notafolder = ERROR_DIRECTORY;
#ifdef _WIN32
    if (underwine()) notafolder = ERROR_INVALID_NAME;
#endif
    struct row {
        std::string pattern;
        DWORD error;
    };
    const row rows[] = {
        {dir.file("nomatch*"), ERROR_FILE_NOT_FOUND},
        {dir.file("missing"), ERROR_FILE_NOT_FOUND},
        {dir.file("nofolder/*"), ERROR_PATH_NOT_FOUND},
        {dir.file("file/*"), notafolder},
        {dir.file("file/sub/*"), ERROR_PATH_NOT_FOUND},
        {dir.file(std::string(2000, '*')), ERROR_FILENAME_EXCED_RANGE},
    };
    for (const row &r : rows) {
        DWORD error = 0;
        EXPECT_EQ(search(r.pattern, &error), "-") << r.pattern;
        EXPECT_EQ(error, r.error) << r.pattern;
    }
    WIN32_FIND_DATAA found;
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &found));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(PortFindFile, LinksShowWhatTheyPointTo) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows; this is the POSIX layer's rule";
#else
    tempdir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("real")));
    ASSERT_EQ(symlink("real", dir.file("tofolder").c_str()), 0);
    ASSERT_EQ(symlink("gone", dir.file("dangling").c_str()), 0);
    // A link shows what it points to; a dangling one reads as a file.
    EXPECT_EQ(search(dir.path() + "/*"), "./ ../ dangling real/ tofolder/ ");
    EXPECT_EQ(search(dir.path() + "/real/*"), "./ ../ ");
#endif
}
