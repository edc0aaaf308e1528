// samefile run as a user runs it, without a terminal.
#include "tests/support/run.h"
#include "tests/support/samefilesupport.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

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
// A second name with '*' or '?' that is not there: Windows' names cannot hold
// them, so the name is invalid there; on POSIX it is merely missing.
#ifdef _WIN32
const std::string wildname2 = "** Cannot open 2nd file: Error 123 - Invalid name\n";
#else
const std::string wildname2 = missing2;
#endif

// The displacement of the first difference, counted as samefile counts it:
// the first unequal byte, or the end of the shorter file; -1 when equal.
long long firstdifference(const std::string &a, const std::string &b) {
    size_t m = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < m; i++)
        if (a[i] != b[i]) return (long long)i;
    return a.size() == b.size() ? -1 : (long long)m;
}

// A file of `size` bytes, zero except `at` (when below size), which is 1.
// The zeros are a hole: the file takes no room and reads fast.
#ifdef _WIN32
void sparsefile(const std::string &path, unsigned long long size, unsigned long long at) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    // On NTFS the end is set without writing the zeros only in a sparse file.
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr));
    auto seek = [h](unsigned long long to) {
        LONG high = (LONG)(to >> 32);
        SetLastError(NO_ERROR);
        DWORD low = SetFilePointer(h, (LONG)(DWORD)to, &high, FILE_BEGIN);
        return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
    };
    EXPECT_TRUE(seek(size));
    EXPECT_TRUE(SetEndOfFile(h));
    if (at < size) {
        DWORD written = 0;
        EXPECT_TRUE(seek(at));
        EXPECT_TRUE(WriteFile(h, "\1", 1, &written, nullptr));
        EXPECT_EQ(written, 1u);
    }
    CloseHandle(h);
}
#else
void sparsefile(const std::string &path, unsigned long long size, unsigned long long at) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (off_t)size), 0);
    if (at < size) {
        ASSERT_EQ(pwrite(fd, "\1", 1, (off_t)at), 1);
    }
    close(fd);
}
#endif

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

TEST(Samefile, Comparisons) {
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
        long long at = firstdifference(r.first, r.second);
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

#ifdef _WIN32
// Windows reads NTFS holes fast in the user's temporary folder. Under Wine
// that folder is on the host's disk, where a run through 4 GiB of holes took
// 18 s on ext4 against 3 s in memory (/dev/shm, on drive Z:): there TMP
// points to memory while the folder is made.
struct holesdir {
    std::optional<std::string> saved = tempintomemory();
    tempdir dir;
    holesdir() { SetEnvironmentVariableA("TMP", saved ? saved->c_str() : nullptr); }

    static std::optional<std::string> tempintomemory() {
        char was[MAX_PATH];
        DWORD n = GetEnvironmentVariableA("TMP", was, sizeof was);
        std::optional<std::string> saved;
        if (n > 0 && n < sizeof was) saved = was;
        DWORD shm = GetFileAttributesA("Z:\\dev\\shm");
        if (underwine() && shm != INVALID_FILE_ATTRIBUTES && (shm & FILE_ATTRIBUTE_DIRECTORY))
            SetEnvironmentVariableA("TMP", "Z:\\dev\\shm");
        return saved;
    }
};
#else
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
#endif

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
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("old")));
    struct row {
        std::vector<std::string> args;
        std::string out;
    };
    std::vector<row> rows = {
        {{"missing", "f"}, comparing("missing", "f") + missing1},
        {{"f", "missing"}, comparing("f", "missing") + missing2},
        {{"f", "old"}, comparing("f", native("old/f")) + missing2}, // a folder takes the name
        {{"f", native("nofolder/f")},
         comparing("f", native("nofolder/f")) +
             "** Cannot open 2nd file: Error 3 - Path not found\n"},
        // No wildcards in the first: the second name is opened as it is.
        {{"f", "*.bak"}, comparing("f", "*.bak") + wildname2},
    };
    // A file that fails on its first read.
#ifdef _WIN32
    // A byte range locked by another process (this one) cannot be read; Wine
    // does not hold other processes to such locks, so the rows are left out.
    writefile(dir.file("locked"), "data");
    HANDLE lock = CreateFileA(dir.file("locked").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(lock, 0, 0, 1, 0));
    const std::string unreadable = "locked";
    const std::string readerror = "Error 33 - File lock violation\n";
#else
    const std::string unreadable = "/proc/self/mem";
    const std::string readerror = "Error 536870917 - Win32 error 536870917\n"; // EIO, unmapped
#endif
    if (!underwine()) {
        rows.push_back({{unreadable, "f"},
                        comparing(unreadable, "f") + "** Error reading 1st file: " + readerror});
        rows.push_back({{"f", unreadable},
                        comparing("f", unreadable) + "** Error reading 2nd file: " + readerror});
    }
    // No beeps: under Wine each takes a second or more.
    for (row &r : rows)
        r.args.push_back("-nob");
    for (const row &r : rows) {
        runresult got = runprogram(program, r.args, dir.path());
        EXPECT_EQ(got.status, 1) << r.args[0] << " " << r.args[1];
        EXPECT_EQ(got.out, r.out) << r.args[0] << " " << r.args[1];
    }
#ifdef _WIN32
    CloseHandle(lock);
#endif
}

TEST(Samefile, WildcardRuns) {
    tempdir dir;
    for (const char *folder : {"old", "src", "dir.c"}) // dir.c matches *.c, is skipped
        ASSERT_TRUE(std::filesystem::create_directory(dir.file(folder)));
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
         comparing("a.c", "old/?.bak") + wildname2 + comparing("b.c", "old/?.bak") + wildname2 +
             comparing("c.c", "old/?.bak") + wildname2 + found3 +
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
    // Written with '/'; each run in the platform's own form.
    for (const row &r : rows) {
        std::vector<std::string> args;
        std::string shown;
        for (const std::string &a : r.args) {
            args.push_back(native(a));
            shown += args.back() + " ";
        }
        args.push_back("-nob"); // under Wine each beep takes a second or more
        runresult got = runprogram(program, args, dir.path());
        EXPECT_EQ(got.status, r.status) << shown;
        EXPECT_EQ(got.out, native(r.out)) << shown;
    }
}

// The examples of the README's table, in the form of this platform: on
// Windows '\\' and ':' end a folder, on POSIX '/'. Each runs in a folder of
// its own holding the files it names, all equal. "@" stands for that
// folder's full path.
TEST(Samefile, ReadmeExamples) {
    struct example {
        std::vector<std::string> files; // relative, written with '/'
        std::vector<std::string> windows, posix;
        std::vector<std::pair<std::string, std::string>> pairs; // written with '/'
        bool wildcard;
    };
    tempdir dir;
#ifdef _WIN32
    const std::string drive = dir.path().substr(0, 2); // "C:"
#else
    const std::string drive;
#endif
    const std::vector<example> examples = {
        {{"main.c", "old/main.bak"},
         {"*.c", "old\\*.bak"},
         {"*.c", "old/*.bak"},
         {{"main.c", "old/main.bak"}},
         true},
        {{"readme", "a.b.c", "old/readme", "old/a.b.c"},
         {"*.*", "old\\*.*"},
         {"*.*", "old/*.*"},
         {{"a.b.c", "old/a.b.c"}, {"readme", "old/readme"}},
         true},
        {{"main.c", "old/main.c.bak"},
         {"*", "old\\*.bak"},
         {"*", "old/*.bak"},
         {{"main.c", "old/main.c.bak"}},
         true},
        {{"x12.c", "y12.c"}, {"x*.c", "y*.c"}, {"x*.c", "y*.c"}, {{"x12.c", "y12.c"}}, true},
        {{"abc.txt", "bbc.txt"},
         {"a*.txt", "b.txt"},
         {"a*.txt", "b.txt"},
         {{"abc.txt", "bbc.txt"}},
         true},
        {{"axyzb.txt", "cxyzb.txt"},
         {"a*b.txt", "c*d.txt"},
         {"a*b.txt", "c*d.txt"},
         {{"axyzb.txt", "cxyzb.txt"}},
         true},
        {{"src/main.c", "main.c"}, {"@\\src"}, {"@/src"}, {{"@/src/main.c", "main.c"}}, true},
        {{"src/main.c", "main.c"}, {"@\\src\\"}, {"@/src/"}, {{"@/src/main.c", "main.c"}}, true},
        {{"main.c"}, {"*.c"}, {"*.c"}, {{"main.c", "main.c"}}, true},
        // Not a pattern: the second name is opened as it is, and is missing.
        {{"main.c"}, {"main.c", "*.bak"}, {"main.c", "*.bak"}, {{"main.c", "*.bak"}}, false},
#ifdef _WIN32
        // A drive's current folder: the folder part ends at the ':'.
        {{"src/main.c", "main.c"}, {drive + "src"}, {}, {{drive + "src/main.c", "main.c"}}, true},
        {{"main.c", "old/main.bak"},
         {drive + "*.c", "old\\*.bak"},
         {},
         {{drive + "main.c", "old/main.bak"}},
         true},
#endif
    };
    int n = 0;
    for (const example &e : examples) {
        const std::string folder = dir.file("example" + std::to_string(n++));
        ASSERT_TRUE(std::filesystem::create_directory(folder));
        for (const std::string &f : e.files) {
            std::filesystem::create_directories(
                std::filesystem::path(folder + "/" + f).parent_path());
            writefile(folder + "/" + f, "same");
        }
        auto here = [&folder](std::string text) {
            size_t at = text.find('@');
            if (at != std::string::npos) text.replace(at, 1, native(folder));
            return text;
        };
#ifdef _WIN32
        const std::vector<std::string> &given = e.windows;
#else
        const std::vector<std::string> &given = e.posix;
#endif
        std::vector<std::string> args;
        std::string shown;
        for (const std::string &a : given) {
            args.push_back(here(a));
            shown += args.back() + " ";
        }
        std::string out;
        for (const auto &[first, second] : e.pairs)
            out += comparing(native(here(first)), native(here(second))) +
                   (e.wildcard ? equal : wildname2);
        if (e.wildcard)
            out += std::string("\n") + std::to_string(e.pairs.size()) +
                   " file(s) found matching 1st file spec\n";
        args.push_back("-nob");
        runresult got = runprogram(program, args, folder);
        EXPECT_EQ(got.status, e.wildcard ? 0 : 1) << shown;
        EXPECT_EQ(got.out, out) << shown;
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
