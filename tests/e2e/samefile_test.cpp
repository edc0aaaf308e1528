// samefile run as a user runs it, without a terminal.
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string program = SUITE_BIN_DIR "/samefile";

const std::string usage = "Usage is:  samefile filespec1 filespec2 -pause -nobeep\n"
                          "                                        -p     -nob   \n"
                          "(For original DOS version, use dossame command.)\n";

std::string comparing(const std::string &a, const std::string &b) {
    return "\nComparing files " + a + " and " + b + "\n";
}
const std::string equal = "Files compare equal\n";
std::string differ(unsigned long long at, unsigned long long size1, unsigned long long size2) {
    return "** Files differ at displacement " + std::to_string(at) +
           "\n   File sizes: " + std::to_string(size1) + " " + std::to_string(size2) + "\n";
}
const std::string missing1 = "** Cannot open 1st file: Error 2 - File not found\n";
const std::string missing2 = "** Cannot open 2nd file: Error 2 - File not found\n";

// The first differing byte as cmp tells it, counted from 0 like our
// displacement; -1 when cmp finds the files equal.
long long cmpdisplacement(const std::string &a, const std::string &b) {
    std::string command = "cmp '" + a + "' '" + b + "' 2>&1";
    FILE *f = popen(command.c_str(), "r");
    if (f == nullptr) return -2;
    char line[512] = {};
    bool said = fgets(line, sizeof line, f) != nullptr;
    pclose(f);
    if (!said) return -1;
    std::string text = line;
    unsigned long long n = 0;
    size_t at;
    if ((at = text.find("differ: byte ")) != std::string::npos) // "differ: byte N, line L"
        return (long long)std::stoull(text.substr(at + 13)) - 1;
    if ((at = text.find("after byte ")) != std::string::npos) // "EOF on X after byte N"
        return (long long)std::stoull(text.substr(at + 11));
    if (text.find("is empty") != std::string::npos) return (long long)n;
    return -2;
}

// A file of `size` bytes, zero except `at` (when below size), which is 1.
void sparsefile(const std::string &path, unsigned long long size, unsigned long long at) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (off_t)size), 0);
    if (at < size) {
        ASSERT_EQ(pwrite(fd, "\1", 1, (off_t)at), 1);
    }
    close(fd);
}

} // namespace

TEST(Samefile, UsageAndOptions) {
    tempdir dir;
    writefile(dir.file("f"), "data");
    struct row {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const row rows[] = {
        {{}, 1, usage},
        {{"-pause", "-nobeep"}, 1, usage},
        {{"-p", "-nob", "-pxyz", "-nobody"}, 1, usage},
        // Only the first characters decide, case-sensitively.
        {{"-P"}, 1, comparing("-P", "-P") + "** Cannot open 1st file: Error 2 - File not found\n"},
        {{"-no", "f"},
         1,
         comparing("-no", "f") + "** Cannot open 1st file: Error 2 - File not found\n"},
        {{"-n", "-nob"},
         1,
         comparing("-n", "-n") + "** Cannot open 1st file: Error 2 - File not found\n"},
        // Options anywhere; a third filespec is ignored.
        {{"-nob", "f", "-p", "f", "missing"}, 0, comparing("f", "f") + equal},
        {{"f"}, 0, comparing("f", "f") + equal}, // the second place is the current folder
    };
    for (const row &r : rows) {
        runresult got = runprogram(program, r.args, dir.path());
        std::string args;
        for (const std::string &a : r.args)
            args += a + " ";
        EXPECT_EQ(got.status, r.status) << args;
        EXPECT_EQ(got.out, r.out) << args;
        EXPECT_EQ(got.err, "") << args;
    }
    // The shortest option forms stand under the options they abbreviate.
    size_t second = usage.find('\n') + 1;
    EXPECT_EQ(usage.find("-pause"), usage.find("-p ", second) - second);
    EXPECT_EQ(usage.find("-nobeep"), usage.find("-nob ", second) - second);
}

TEST(Samefile, ComparisonsAgreeWithCmp) {
    tempdir dir;
    auto pattern = [](size_t size, char seed) {
        std::string data(size, 0);
        for (size_t i = 0; i < size; i++)
            data[i] = (char)((i * 131 + (size_t)seed) >> 2);
        return data;
    };
    auto changed = [](std::string data, size_t at) {
        data[at] ^= 0x20;
        return data;
    };
    const std::string big = pattern(3 * 16384 + 100, 1);
    struct row {
        const char *name;
        std::string first, second;
    };
    const row rows[] = {
        {"equal", "abc", "abc"},
        {"both empty", "", ""},
        {"equal, one chunk", pattern(16384, 2), pattern(16384, 2)},
        {"equal, two chunks", pattern(32768, 3), pattern(32768, 3)},
        {"equal, not whole chunks", big, big},
        {"first empty", "", "x"},
        {"second empty", "x", ""},
        {"prefix within a chunk", "abc", "abcdef"},
        {"prefix of a whole chunk", pattern(16384, 4), pattern(16385, 4)},
        {"longer by a whole chunk", pattern(32768, 5), pattern(16384, 5)},
        {"first byte", changed(big, 0), big},
        {"last byte", big, changed(big, big.size() - 1)},
        {"last byte of a chunk", changed(big, 16383), big},
        {"first byte of the next chunk", big, changed(big, 16384)},
        {"in the third chunk", changed(big, 40000), big},
    };
    for (const row &r : rows) {
        writefile(dir.file("one"), r.first);
        writefile(dir.file("two"), r.second);
        long long at = cmpdisplacement(dir.file("one"), dir.file("two"));
        ASSERT_GE(at, -1) << r.name << ": cmp gave no answer";
        runresult got = runprogram(program, {"one", "two", "-nobeep"}, dir.path());
        if (at < 0) {
            EXPECT_EQ(got.status, 0) << r.name;
            EXPECT_EQ(got.out, comparing("one", "two") + equal) << r.name;
        } else {
            EXPECT_EQ(got.status, 2) << r.name;
            EXPECT_EQ(got.out, comparing("one", "two") +
                                   differ((unsigned long long)at, r.first.size(), r.second.size()))
                << r.name;
        }
    }
}

// A folder where holes read fast: in memory (/dev/shm) when the machine has
// one, for ext4 spends seconds per GiB of holes. TMPDIR points there only
// while the folder is made.
std::optional<std::string> tmpdirintomemory() {
    const char *was = getenv("TMPDIR");
    std::optional<std::string> saved;
    if (was != nullptr) saved = was;
    if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
    return saved;
}

struct holesdir {
    std::optional<std::string> saved = tmpdirintomemory();
    tempdir dir;
    holesdir() {
        if (saved)
            setenv("TMPDIR", saved->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
};

TEST(Samefile, DisplacementsAndSizesFrom4GiB) {
    holesdir holes;
    const tempdir &dir = holes.dir;
    const unsigned long long gib4 = 1ull << 32;
    struct row {
        const char *name;
        unsigned long long size1, at1, size2, at2;
        std::string out;
    };
    const row rows[] = {
        // Only one size reaches 4 GiB: both sizes in the long form.
        {"one size from 4 GiB", gib4 + 1, 0, 1, 9,
         "** Files differ at displacement 0\n   File sizes: "
         "4096.00 MB = 4294967297 bytes , 0.00 MB = 1 bytes \n"},
        {"4 GiB apart, sizes below", 0, 9, gib4 - 1, gib4 - 2,
         "** Files differ at displacement 0\n   File sizes: 0 4294967295\n"},
        // Read through 4 GiB of equal bytes: the displacement carries into
        // its high word.
        {"a difference at 4 GiB", gib4 + 16, gib4, gib4 + 16, gib4 + 16,
         "** Files differ at displacement 4096.00 MB = 4294967296 bytes \n   File sizes: "
         "4096.00 MB = 4294967312 bytes , 4096.00 MB = 4294967312 bytes \n"},
    };
    for (const row &r : rows) {
        sparsefile(dir.file("one"), r.size1, r.at1);
        sparsefile(dir.file("two"), r.size2, r.at2);
        runresult got =
            runprogram(program, {"-nob", "one", "two"}, dir.path(), std::nullopt, 120000);
        EXPECT_EQ(got.status, 2) << r.name;
        EXPECT_EQ(got.out, comparing("one", "two") + r.out) << r.name;
    }
}

TEST(Samefile, FailuresOfAPair) {
    tempdir dir;
    writefile(dir.file("f"), "data");
    ASSERT_EQ(mkdir(dir.file("old").c_str(), 0777), 0);
    struct row {
        std::vector<std::string> args;
        std::string out;
    };
    const std::string readerror = "Error 536870917 - Win32 error 536870917\n"; // EIO, unmapped
    const row rows[] = {
        {{"missing", "f"}, comparing("missing", "f") + missing1},
        {{"f", "missing"}, comparing("f", "missing") + missing2},
        {{"f", "old"}, comparing("f", "old/f") + missing2}, // a folder takes the name
        {{"f", "nofolder/f"},
         comparing("f", "nofolder/f") + "** Cannot open 2nd file: Error 3 - Path not found\n"},
        // No wildcards in the first: the second name is opened as it is.
        {{"f", "*.bak"}, comparing("f", "*.bak") + missing2},
        // A file that fails on its first read.
        {{"/proc/self/mem", "f"},
         comparing("/proc/self/mem", "f") + "** Error reading 1st file: " + readerror},
        {{"f", "/proc/self/mem"},
         comparing("f", "/proc/self/mem") + "** Error reading 2nd file: " + readerror},
    };
    for (const row &r : rows) {
        runresult got = runprogram(program, r.args, dir.path());
        EXPECT_EQ(got.status, 1) << r.args[0] << " " << r.args[1];
        EXPECT_EQ(got.out, r.out) << r.args[0] << " " << r.args[1];
    }
}

TEST(Samefile, WildcardRuns) {
    tempdir dir;
    ASSERT_EQ(mkdir(dir.file("old").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(dir.file("src").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(dir.file("dir.c").c_str(), 0777), 0); // matches *.c, is skipped
    writefile(dir.file("a.c"), "same");
    writefile(dir.file("old/a.bak"), "same");
    writefile(dir.file("b.c"), "mine");
    writefile(dir.file("old/b.bak"), "mind");
    writefile(dir.file("c.c"), "alone");
    writefile(dir.file("src/a.c"), "same");
    writefile(dir.file("src/readme"), "text");
    writefile(dir.file("readme"), "text");
    const std::string found3 = "\n3 file(s) found matching 1st file spec\n";
    struct row {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const row rows[] = {
        {{"*.c", "old/*.bak"},
         2,
         comparing("a.c", "old/a.bak") + equal + comparing("b.c", "old/b.bak") + differ(3, 4, 4) +
             comparing("c.c", "old/c.bak") + missing2 + found3 +
             "***** Error summary:\n   1 file(s) not found (or read error)\n   1 file(s) not "
             "equal\n"},
        {{"[ab]*.c", "old/*.bak"}, 0, "** No files found matching [ab]*.c\n"}, // no such wildcard
        {{"?.c", "old/?.bak"},
         1,
         comparing("a.c", "old/?.bak") + missing2 + comparing("b.c", "old/?.bak") + missing2 +
             comparing("c.c", "old/?.bak") + missing2 + found3 +
             "***** Error summary:\n   3 file(s) not found (or read error)\n"},
        {{"a*.c", "old/a*.bak"},
         0,
         comparing("a.c", "old/a.bak") + equal + "\n1 file(s) found matching 1st file spec\n"},
        // Without a second filespec every file is compared with itself.
        {{"*.c"},
         0,
         comparing("a.c", "a.c") + equal + comparing("b.c", "b.c") + equal +
             comparing("c.c", "c.c") + equal + found3},
        // A folder alone: each of its files against the same name here.
        {{"src"},
         0,
         comparing("src/a.c", "a.c") + equal + comparing("src/readme", "readme") + equal +
             "\n2 file(s) found matching 1st file spec\n"},
        {{"src/", "."},
         0,
         comparing("src/a.c", "./a.c") + equal + comparing("src/readme", "./readme") + equal +
             "\n2 file(s) found matching 1st file spec\n"},
        {{"dir.*"}, 0, "** No files found matching dir.*\n"}, // folders only
        {{"old/x*"}, 0, "** No files found matching old/x*\n"},
        {{"nofolder/*"}, 0, "** No files found matching nofolder/*\n"},
    };
    for (const row &r : rows) {
        runresult got = runprogram(program, r.args, dir.path());
        std::string args;
        for (const std::string &a : r.args)
            args += a + " ";
        EXPECT_EQ(got.status, r.status) << args;
        EXPECT_EQ(got.out, r.out) << args;
    }
}

TEST(Samefile, BellNeverReachesStandardOutput) {
    tempdir dir;
    writefile(dir.file("a"), "one");
    writefile(dir.file("b"), "two");
    // No terminal here: the beeps of a difference and of a failure go nowhere.
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"a", "b"}, {"a", "missing"}}) {
        runresult got = runprogram(program, args, dir.path());
        EXPECT_NE(got.status, 0);
        EXPECT_EQ(got.out.find('\a'), std::string::npos) << got.out;
        EXPECT_EQ(got.err, "");
    }
}
