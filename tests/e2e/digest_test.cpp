// digest160 and digest128 run as a user runs them.
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const std::string sha1prog = SUITE_BIN_DIR "/digest160";
const std::string md5prog = SUITE_BIN_DIR "/digest128";

std::string lines(const std::string &filespec, const std::string &size, const std::string &digest) {
    return "Filespec: " + filespec + "\nrc = 0\nFile size in bytes: " + size + "\n" + digest + "\n";
}

// A digest as sha1sum or md5sum print it, in our upper-case groups of 8.
std::string grouped(const char *label, const std::string &hex) {
    std::string out = label;
    for (size_t i = 0; i < hex.size(); i++) {
        if (i % 8 == 0) out += ' ';
        out += (char)toupper((unsigned char)hex[i]);
    }
    return out;
}

} // namespace

TEST(Digest, UsageWithoutArgument) {
    runresult s = runprogram(sha1prog, {});
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(s.out, "Gets SHA1 digest of a file.\nUsage:  digest160 filespec\n");
    runresult m = runprogram(md5prog, {});
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.out, "Gets MD5 digest of a file.\nUsage:  digest128 filespec\n");
}

TEST(Digest, KnownFiles) {
    tempdir dir;
    writefile(dir.path() + "/empty", "");
    writefile(dir.path() + "/abc", "abc");
    struct row {
        const std::string &program;
        std::vector<std::string> args;
        std::string out;
    };
    const row rows[] = {
        {sha1prog, {"empty"},
         lines("empty", " 0.00 MB = 0 bytes ",
               "SHA1 digest: DA39A3EE 5E6B4B0D 3255BFEF 95601890 AFD80709")},
        {md5prog, {"empty"},
         lines("empty", " 0.00 MB = 0 bytes ", "MD5 digest: D41D8CD9 8F00B204 E9800998 ECF8427E")},
        {sha1prog, {"abc", "more", "args"},
         lines("abc", " 0.00 MB = 3 bytes ",
               "SHA1 digest: A9993E36 4706816A BA3E2571 7850C26C 9CD0D89D")},
        {md5prog, {"./abc"},
         lines("./abc", " 0.00 MB = 3 bytes ", "MD5 digest: 90015098 3CD24FB0 D6963F7D 28E17F72")},
    };
    for (const row &r : rows) {
        runresult got = runprogram(r.program, r.args, dir.path());
        EXPECT_EQ(got.status, 0) << r.args[0];
        EXPECT_EQ(got.out, r.out) << r.args[0];
    }
}

// Sizes around the program's 16384-byte reads. The digests are those sha1sum
// and md5sum give for the same bytes; a table keeps the test the same on Windows,
// where neither tool runs.
TEST(Digest, ReadBoundariesAgreeWithCoreutils) {
    tempdir dir;
    const struct {
        size_t size;
        const char *sha1, *md5;
    } rows[] = {
        {16383, "f4e7e0301994fa10f12a58b22c0d2cc1dd79fae2", "3e341293206cf03b79134e8a461cb202"},
        {16384, "89f0233e4534b70aebc042479267115af43a8bdf", "76e5ea09ee0d6d1a887c0e08bcfd0daf"},
        {32768, "b0df2aac035fb148424028ba844dcf074b47093e", "d0e2d00ec11bdaabcc75f32b0df9cfd1"},
        {16384 * 3 + 1, "cb1c50fdd9b804bb64ba852209e5240eba4e3446",
         "bcef7fe2d9932273e3cbf0be6ea2f86c"},
        {1048576 + 7, "f4fedcc4e42c75575d3a8e10d0303a546d60c3d6",
         "ab8a4527b98e09ec948eb5b50ac56d97"},
    };
    for (const auto &r : rows) {
        std::string data(r.size, 0);
        for (size_t i = 0; i < r.size; i++) data[i] = (char)(i * 7919 >> 3);
        std::string path = dir.path() + "/f" + std::to_string(r.size);
        writefile(path, data);
        char sizeline[64];
        snprintf(sizeline, sizeof sizeline, " %.2f MB = %u bytes ", r.size / 1048576.0,
                 (unsigned)r.size);
        EXPECT_EQ(runprogram(sha1prog, {path}).out,
                  lines(path, sizeline, grouped("SHA1 digest:", r.sha1)));
        EXPECT_EQ(runprogram(md5prog, {path}).out,
                  lines(path, sizeline, grouped("MD5 digest:", r.md5)));
    }
}

TEST(Digest, OpenFailures) {
    tempdir dir;
    writefile(dir.path() + "/file", "x");
    struct row {
        std::string filespec;
        std::string rc, error;
    };
    const row rows[] = {
        {"missing", "2", "File not found"},
        {"nofolder/missing", "3", "Path not found"},
        {"file/below", "3", "Path not found"},
        {".", "5", "Access denied"},
        {"", "3", "Path not found"},
    };
    for (const std::string &program : {sha1prog, md5prog}) {
        for (const row &r : rows) {
            runresult got = runprogram(program, {r.filespec}, dir.path());
            EXPECT_EQ(got.status, 2) << r.filespec;
            EXPECT_EQ(got.out, "Filespec: " + r.filespec + "\nrc = " + r.rc + "\nERROR: " + r.error + "\n")
                << r.filespec;
        }
    }
}

TEST(Digest, FileHeldOpenForWritingIsASharingViolation) {
    tempdir dir;
    std::string path = dir.path() + "/held";
    writefile(path, "data");
    // Another process holds the file open for writing, sharing reads.
    companion holder;
    ASSERT_TRUE(holder.start(SUITE_BIN_DIR "/holdopen", {path, "w", "r"})) << holder.error();
    ASSERT_EQ(holder.readline(), "held");

    for (const std::string &program : {sha1prog, md5prog}) {
        runresult got = runprogram(program, {path});
        EXPECT_EQ(got.status, 2);
        EXPECT_EQ(got.out, "Filespec: " + path + "\nrc = 32\nERROR: File sharing violation\n");
    }
    EXPECT_EQ(holder.finish(), 0);
    // Once it is closed, the file reads again.
    EXPECT_EQ(runprogram(sha1prog, {path}).status, 0);
}

TEST(Digest, ReadErrorEndsWithItsCode) {
    // /proc/self/mem opens but fails the first read at offset 0 (EIO, which
    // has no Win32 counterpart). The handle stays open to the end of the
    // process, which must not count as a leak.
#ifdef _WIN32
    GTEST_SKIP() << "no file on Windows opens and then fails to read";
#endif
    for (const std::string &program : {sha1prog, md5prog}) {
        runresult got = runprogram(program, {"/proc/self/mem"});
        EXPECT_EQ(got.status, 2);
        EXPECT_EQ(got.out, "Filespec: /proc/self/mem\nrc = 536870917\nERROR: Win32 error 536870917\n");
    }
}
