// Directory search of the platform layer: Windows' wildcard rules, "." and
// "..", the folder attribute, the order and the errors.
#include "port/win32.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

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
    ASSERT_EQ(mkdir(dir.file("sub.d").c_str(), 0777), 0);
    struct row {
        const char *pattern, *names;
    };
    const row rows[] = {
        {"*", "./ ../ .hidden B.C a a.b.c a.c ab.c abc.txt sub.d/ x.c.bak x.cpp "},
        {"*.*", "./ ../ .hidden B.C a a.b.c a.c ab.c abc.txt sub.d/ x.c.bak x.cpp "},
        {"*.c", "a.b.c a.c ab.c "}, // case-sensitive: not B.C
        {"*.", "./ ../ a "},        // names without an extension
        {"a?.c", "a.c ab.c "},      // '?' may match nothing before the dot
        {"?", "a "},                // but never a dot itself
        {"??", "a "},
        {"a*", "a a.b.c a.c ab.c abc.txt "},
        {"*.c*", "a.b.c a.c ab.c x.c.bak x.cpp "},
        {"ab.c?", "ab.c "}, // '?' at the end: one character or none
        {"*b*.c", "a.b.c ab.c "},
        {"a.c", "a.c "}, // a plain name finds itself
        {"sub.d", "sub.d/ "},
        {".", "./ "},
        {"..", "./ ../ "}, // the trailing dot may match nothing
        {"A.C", "-"},
        {"", "-"},
    };
    for (const row &r : rows)
        EXPECT_EQ(search(dir.file(r.pattern)), r.names) << r.pattern;
}

TEST(PortFindFile, Errors) {
    tempdir dir;
    writefile(dir.file("file"), "");
    struct row {
        std::string pattern;
        DWORD error;
    };
    const row rows[] = {
        {dir.file("nomatch*"), ERROR_FILE_NOT_FOUND},
        {dir.file("missing"), ERROR_FILE_NOT_FOUND},
        {dir.file("nofolder/*"), ERROR_PATH_NOT_FOUND},
        {dir.file("file/*"), ERROR_PATH_NOT_FOUND},
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
    tempdir dir;
    ASSERT_EQ(mkdir(dir.file("real").c_str(), 0777), 0);
    ASSERT_EQ(symlink("real", dir.file("tofolder").c_str()), 0);
    ASSERT_EQ(symlink("gone", dir.file("dangling").c_str()), 0);
    // A link shows what it points to; a dangling one reads as a file.
    EXPECT_EQ(search(dir.path() + "/*"), "./ ../ dangling real/ tofolder/ ");
    EXPECT_EQ(search(dir.path() + "/real/*"), "./ ../ ");
}
