// tailcat run as a user runs it: the target it leaves must be the target's
// old bytes followed by each source's, in order.
#include "tests/support/filetests.h"
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using filetests::exists;

namespace {

const std::string program = SUITE_BIN_DIR "/tailcat";
const std::string unchanged = "   Program terminated. Target file not changed.\n";
const std::string abnormal = "   Program terminated abnormally.\n";

std::string pattern(size_t size, char seed) {
    std::string data(size, 0);
    for (size_t i = 0; i < size; i++)
        data[i] = (char)(seed + i * 31 % 251);
    return data;
}

// What `cat sources... >> target` makes of the folder's files.
std::string catappend(const tempdir &dir, const std::string &target,
                      const std::vector<std::string> &sources) {
    std::string bytes = readfile(dir.file(target));
    for (const std::string &s : sources)
        bytes += readfile(dir.file(s));
    return bytes;
}

std::string opened(const std::string &target, unsigned long size) {
    return "Appending to (writing to end of) target file " + target +
           "\nOriginal size of target file: " + std::to_string(size) + " bytes\n";
}

} // namespace

TEST(Tailcat, Usage) {
    const std::string usage = "Usage:  tailcat targetfile sourcefile1 [sourcefile2 ...]\n"
                              "Copies 1 or more source files to the end of the\n"
                              "target file, which must already exist.\n";
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{}, std::vector<std::string>{"target"}}) {
        runresult r = runprogram(program, args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, usage);
    }
}

TEST(Tailcat, Appends) {
    tempdir dir;
    writefile(dir.file("t"), "head");
    writefile(dir.file("empty"), "");
    writefile(dir.file("one"), pattern(51200, 'a'));
    writefile(dir.file("odd"), pattern(51200 * 2 + 17, 'b'));
    writefile(dir.file("empty target"), "");
    struct row {
        std::string target;
        std::vector<std::string> sources;
        std::string out;
    };
    const row rows[] = {
        {"t",
         {"one", "empty", "odd", "one"},
         opened("t", 4) + "Copied 51200 bytes from file one\nCopied 0 bytes from file empty\n"
                          "Copied 102417 bytes from file odd\nCopied 51200 bytes from file one\n"
                          "New size of target file: 204821 bytes\nAppend was successful\n"},
        {"empty target",
         {"empty"},
         opened("empty target", 0) + "Copied 0 bytes from file empty\n"
                                     "New size of target file: 0 bytes\nAppend was successful\n"},
    };
    for (const row &r : rows) {
        std::string expected = catappend(dir, r.target, r.sources);
        std::vector<std::string> args = {r.target};
        args.insert(args.end(), r.sources.begin(), r.sources.end());
        runresult got = runprogram(program, args, dir.path());
        EXPECT_EQ(got.status, 0) << r.target;
        EXPECT_EQ(got.out, r.out) << r.target;
        EXPECT_EQ(readfile(dir.file(r.target)), expected) << r.target;
    }
}

TEST(Tailcat, Failures) {
    struct row {
        const char *name;
        std::vector<std::string> args;
        int status;
        std::string out;
        std::vector<std::string> appended; // what the target must have gained, by cat
    };
#ifdef _WIN32
    // Our own memory read as a file: under Wine through drive Z:, where Wine
    // reports Linux's EIO as "device not ready". Windows itself has no such file.
    const bool readerror = underwine();
    const std::string mem = "Z:\\proc\\self\\mem", ioerror = "Device not ready";
#else
    const bool readerror = true;
    const std::string mem = "/proc/self/mem", ioerror = "Win32 error 536870917"; // EIO
#endif
    std::vector<row> rows = {
        {"missing target is not created",
         {"missing", "a"},
         3,
         "** Unable to open target file missing\n   Error: File not found\n"
         "   NOTE: The target file must already exist.\n" +
             unchanged,
         {}},
        {"missing second source: target untouched",
         {"t", "a", "nosuch"},
         2,
         "** Unable to open source file nosuch\n   Error: File not found\n" + unchanged,
         {}},
        {"a folder as source",
         {"t", "."},
         2,
         "** Unable to open source file .\n   Error: Access denied\n" + unchanged,
         {}},
        {"target as first source: held without sharing",
         {"t", "t", "a"},
         6,
         opened("t", 5) + "** Unable to open source file t\n   Error: File sharing violation\n" +
             unchanged,
         {}},
        {"target as a later source",
         {"t", "a", "./t"},
         6,
         opened("t", 5) +
             "Copied 3 bytes from file a\n"
             "** Unable to open source file ./t\n   Error: File sharing violation\n" +
             abnormal,
         {"a"}},
    };
    if (readerror)
        rows.push_back({"read error",
                        {"t", "a", mem},
                        7,
                        opened("t", 5) + "Copied 3 bytes from file a\n" +
                            "** Error reading source file " + mem + "\n" + "   Error: " + ioerror +
                            "\n" + abnormal,
                        {"a"}});
    for (const row &r : rows) {
        tempdir dir;
        writefile(dir.file("t"), "12345");
        writefile(dir.file("a"), "abc");
        std::string expected = catappend(dir, "t", r.appended);
        runresult got = runprogram(program, r.args, dir.path());
        EXPECT_EQ(got.status, r.status) << r.name;
        EXPECT_EQ(got.out, r.out) << r.name;
        EXPECT_EQ(readfile(dir.file("t")), expected) << r.name;
        EXPECT_FALSE(exists(dir.file("missing"))) << r.name;
    }
}

// A write that fails part-way (the file size limit) keeps what was appended.
TEST(Tailcat, WriteErrorKeepsWhatWasWritten) {
#ifdef _WIN32
    // Windows has no per-process file size limit. Under Wine a full device
    // (Linux's /dev/full through drive Z:) still shows a failed write's lines.
    if (!underwine()) GTEST_SKIP() << "no per-process file size limit on Windows";
    tempdir full;
    writefile(full.file("s"), "abc");
    const std::string device = "Z:\\dev\\full";
    runresult failed = runprogram(program, {device, "s"}, full.path());
    EXPECT_EQ(failed.status, 8);
    EXPECT_EQ(failed.out, opened(device, 0) +
                              "** Error writing to target file\n   Error: Disk is full (112)\n" +
                              abnormal);
    return;
#endif
    tempdir dir;
    writefile(dir.file("t"), "12345");
    writefile(dir.file("s"), pattern(200000, 's'));
    runresult got = runprogram(
        "sh", {"-c", "trap '' XFSZ; exec prlimit --fsize=100005 \"$0\" \"$@\"", program, "t", "s"},
        dir.path());
    EXPECT_EQ(got.status, 8);
    EXPECT_EQ(got.out, opened("t", 5) +
                           "** Error writing to target file\n"
                           "   Error: Win32 error 536870939\n" +
                           abnormal);
    EXPECT_EQ(readfile(dir.file("t")), "12345" + pattern(200000, 's').substr(0, 100000));
}

TEST(Tailcat, TargetHeldByAnotherProgram) {
    tempdir dir;
    writefile(dir.file("t"), "12345");
    writefile(dir.file("a"), "abc");
    companion held;
    ASSERT_TRUE(held.start(SUITE_BIN_DIR "/holdopen", {dir.file("t"), "r", "rw"})) << held.error();
    ASSERT_EQ(held.readline(), "held");
    runresult got = runprogram(program, {"t", "a"}, dir.path());
    EXPECT_EQ(held.finish(), 0);
    EXPECT_EQ(got.status, 3);
    EXPECT_EQ(got.out, "** Unable to open target file t\n   Error: File sharing violation\n"
                       "   NOTE: The target file must already exist.\n" +
                           unchanged);
    EXPECT_EQ(readfile(dir.file("t")), "12345");
}

// Sizes of 4 GB and more show as size texts. The target is sparse.
TEST(Tailcat, TargetBeyond4GB) {
    tempdir dir;
    ASSERT_TRUE(filetests::bigfile(dir.file("t"), 4294967296ULL + 1));
    writefile(dir.file("a"), "abc");
    runresult got = runprogram(program, {"t", "a"}, dir.path());
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, "Appending to (writing to end of) target file t\n"
                       "Original size of target file: 4096.00 MB = 4294967297 bytes \n"
                       "Copied 3 bytes from file a\n"
                       "New size of target file: 4096.00 MB = 4294967300 bytes \n"
                       "Append was successful\n");
    EXPECT_EQ(filetests::readat(dir.file("t"), 4294967296ULL, 8), std::string("\0abc", 4));
}

// A source of 4 GB (sparse) counts past 32 bits. Its bytes go to the null
// device, which opens like a file and keeps nothing: the count is the point.
TEST(Tailcat, SourceOf4GBCountsPast32Bits) {
    tempdir dir;
    ASSERT_TRUE(filetests::bigfile(dir.file("big"), 4294967296ULL));
    const std::string null = filetests::nulldevice;
    runresult got = runprogram(program, {null, "big"}, dir.path(), std::nullopt, 110000);
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, "Appending to (writing to end of) target file " + null +
                           "\n"
                           "Original size of target file: 0 bytes\n"
                           "Copied 4096.00 MB = 4294967296 bytes from file big\n"
                           "New size of target file: 0 bytes\n"
                           "Append was successful\n");
}
