// samefile's names: the split of a filespec, and the second file's
// name formed from a found name.
#include "samefile/samefile.h"
#include "tests/support/samefilesupport.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(SamefileNames, Split) {
    struct row {
        std::string text, name, ext;
        unsigned dirlen;
    };
    // Written with '/', split at the platform's separator.
    const row rows[] = {
        {"main.c", "main", "c", 0},
        {"src/main.c", "main", "c", 4},
        {"/a/b.c/readme", "readme", "", 7}, // a dot in the folder part does not count
        {"a.b.c", "a.b", "c", 0},           // the last dot splits
        {".profile", "", "profile", 0},
        {"name.", "name", "", 0},
        {"old/", "", "", 4},
        {"", "", "", 0},
        {"old/*.bak", "*", "bak", 4},
    };
    // Each platform's separators, and the other's, which are name characters.
    const row ownrows[] = {
#ifdef _WIN32
        {"x:y\\z", "z", "", 4},
        {"c:main.c", "main", "c", 2}, // a drive's current folder
        {"d:\\src\\", "", "", 7},
        {"a/b.c", "a/b", "c", 0},
#else
        {"x:y\\z", "x:y\\z", "", 0},
#endif
    };
    auto check = [](const std::string &text, const row &r) {
        char name[partsize], ext[partsize];
        unsigned dirlen = 99;
        splitname(text.c_str(), name, sizeof name, ext, sizeof ext, &dirlen);
        EXPECT_EQ(name, r.name) << text;
        EXPECT_EQ(ext, r.ext) << text;
        EXPECT_EQ(dirlen, r.dirlen) << text;
    };
    for (const row &r : rows)
        check(native(r.text), r);
    for (const row &r : ownrows)
        check(r.text, r);
}

TEST(SamefileNames, OutputsAreCutToTheirSize) {
    char name[4], ext[3];
    unsigned dirlen;
    splitname(native("dir/abcdef.wxyz").c_str(), name, sizeof name, ext, sizeof ext, &dirlen);
    EXPECT_STREQ(name, "abc");
    EXPECT_STREQ(ext, "wx");

    char out[6];
    starfill("abcdefgh", 1, "x*", 1, out, sizeof out);
    EXPECT_STREQ(out, "xbcde");
    struct row {
        const char *name, *ext, *out;
    };
    const row rows[] = {
        {"abc", "de", "abc.d"},   {"abcd", "e", "abcd."}, {"abcde", "f", "abcde"},
        {"abcdefg", "", "abcde"}, {"ab", "", "ab"},
    };
    for (const row &r : rows) {
        joinname(out, sizeof out, r.name, r.ext);
        EXPECT_STREQ(out, r.out) << r.name << '.' << r.ext;
    }
}

TEST(SamefileNames, BufferOfNoSizeIsLeftAlone) {
    // Its one byte is no terminator: measuring it to append read past it.
    char out[1] = {'#'};
    starfill("abcdefgh", 1, "x*", 1, out, 0);
    EXPECT_EQ(out[0], '#');
    joinname(out, 0, "abc", "de");
    EXPECT_EQ(out[0], '#');
}

// The first pattern and the second filespec as the program prepares
// them, and the second path for one found name.
std::string formed(const char *pattern, const char *secondspec, const char *found) {
    filespec first, second;
    setspec(first, pattern);
    setspec(second, secondspec);
    preparefirst(first);
    preparesecond(second);
    char out[specsize];
    secondpath(first, second, found, out, sizeof out);
    return out;
}

TEST(SamefileNames, SecondNameFromTemplates) {
    struct row {
        const char *pattern, *second, *found, *formed;
    };
    const row rows[] = {
        {"*.c", "old/*.bak", "main.c", "old/main.bak"},
        {"*", "old/*.bak", "main.c", "old/main.c.bak"}, // no extension part: all of it for '*'
        {"*", "old/*.bak", "readme", "old/readme.bak"},
        {"x*.c", "y*.c", "x12.c", "y12.c"},
        {"a*.txt", "b.txt", "abc.txt", "bbc.txt"},        // a plain second name is a template too
        {"a*b.txt", "c*d.txt", "axyzb.txt", "cxyzb.txt"}, // text after the second '*' unused
        {"*.*", "old/*.*", "readme", "old/readme"},
        {"*.*", "old/*.*", "a.b.c", "old/a.b.c"},
        {"*.*", "old/*.*", ".profile", "old/.profile"},
        {"*.*", "old/*.bak", "a.b.c",
         "old/a.b.bakc"},                       // a template without '*' still takes the rest
        {"*.*", "old/*", "a.b.c", "old/a.b.c"}, // the first extension fills the empty one
        {"*.c*", "*.d*", "x.cpp", "x.dpp"},
        {"abc*.c", "x*.c", "ab.c", "x.c"}, // found name shorter than the star's place
        {"*.c", "old/new.?ak", "main.c", "old/newmain.?ak"}, // '?' is copied as it is
        {"src/*.c", "dst/*.o", "m.c", "dst/m.o"},
        {"m?in.c", "old/*.bak", "main.c", "old/.bak"}, // no '*' in the first: nothing taken
    };
    for (const row &r : rows)
        EXPECT_EQ(formed(native(r.pattern).c_str(), native(r.second).c_str(), r.found),
                  native(r.formed))
            << r.pattern << " " << r.second << " " << r.found;
}

TEST(SamefileNames, SecondFolderTakesTheFoundName) {
    tempdir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("old")));
    std::string old = native(dir.file("old"));
    struct row {
        std::string pattern, second, found, formed;
    };
    const row rows[] = {
        {"*.c", old, "main.c", old + nativesep + "main.c"},
        {"*.c", old + nativesep, "main.c", old + nativesep + "main.c"},
        {"*", "", "a.b", "a.b"}, // no second filespec: the current folder
        {dir.path(), "", "a.b", "a.b"},
        // Not a folder: a template.
        {"*.c", old + nativesep + "missing", "main.c", old + nativesep + "missingmain"},
    };
    for (const row &r : rows)
        EXPECT_EQ(formed(r.pattern.c_str(), r.second.c_str(), r.found.c_str()), r.formed)
            << r.pattern << " " << r.second;
}

TEST(SamefileNames, PreparedFirstSpecification) {
    tempdir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("src")));
    writefile(dir.file("file.c"), "x");
    std::string src = native(dir.file("src"));
    auto file = [&dir](const char *name) { return native(dir.file(name)); };
    struct row {
        std::string arg, text;
        bool single;
    };
    const row rows[] = {
        {src, src + nativesep + "*.*", false},
        {src + nativesep, src + nativesep + "*.*", false},
        {file("file.c"), file("file.c"), true},
        {file("missing.c"), file("missing.c"), true},
        {file("*.c"), file("*.c"), false},
        {file("file.?"), file("file.?"), false},
        {"", "*.*", false},
        {std::string(400, 'a'), std::string(300, 'a'), true}, // an argument is cut at 300
    };
    for (const row &r : rows) {
        filespec first;
        setspec(first, r.arg.c_str());
        preparefirst(first);
        EXPECT_STREQ(first.text, r.text.c_str()) << r.arg;
        EXPECT_EQ(singlepair(first), r.single) << r.arg;
    }
}
