// digest160 and digest128 run as a user runs them.
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string sha1prog = SUITE_BIN_DIR "/digest160";
const std::string md5prog = SUITE_BIN_DIR "/digest128";

std::string lines(const std::string &filespec, const std::string &size, const std::string &digest) {
    return "Filespec: " + filespec + "\nrc = 0\nFile size in bytes: " + size + "\n" + digest + "\n";
}

// A digest from a tool that is not ours, in our upper-case groups of 8.
std::string peerdigest(const char *tool, const std::string &path, const char *label) {
    std::string cmd = std::string(tool) + " '" + path + "'";
    FILE *f = popen(cmd.c_str(), "r");
    char hex[64] = {};
    if (f == nullptr || fscanf(f, "%63s", hex) != 1) hex[0] = 0;
    if (f != nullptr) pclose(f);
    std::string out = label;
    for (size_t i = 0; hex[i] != 0; i++) {
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

TEST(Digest, ReadBoundariesAgreeWithCoreutils) {
    tempdir dir;
    for (size_t size : {16383u, 16384u, 32768u, 16384u * 3 + 1, 1048576u + 7}) {
        std::string data(size, 0);
        for (size_t i = 0; i < size; i++) data[i] = (char)(i * 7919 >> 3);
        std::string path = dir.path() + "/f" + std::to_string(size);
        writefile(path, data);
        char sizeline[64];
        snprintf(sizeline, sizeof sizeline, " %.2f MB = %zu bytes ", size / 1048576.0, size);
        EXPECT_EQ(runprogram(sha1prog, {path}).out,
                  lines(path, sizeline, peerdigest("sha1sum", path, "SHA1 digest:")));
        EXPECT_EQ(runprogram(md5prog, {path}).out,
                  lines(path, sizeline, peerdigest("md5sum", path, "MD5 digest:")));
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
    int feed[2], back[2];
    ASSERT_EQ(pipe(feed), 0);
    ASSERT_EQ(pipe(back), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(feed[0], 0);
        dup2(back[1], 1);
        close(feed[1]);
        close(back[0]);
        execl(SUITE_BIN_DIR "/holdopen", "holdopen", path.c_str(), "w", "r", (char *)nullptr);
        _exit(127);
    }
    close(feed[0]);
    close(back[1]);
    char said[16] = {};
    ASSERT_GT(read(back[0], said, sizeof said - 1), 0);
    ASSERT_STREQ(said, "held\n");

    for (const std::string &program : {sha1prog, md5prog}) {
        runresult got = runprogram(program, {path});
        EXPECT_EQ(got.status, 2);
        EXPECT_EQ(got.out, "Filespec: " + path + "\nrc = 32\nERROR: File sharing violation\n");
    }
    close(feed[1]);
    int status;
    waitpid(pid, &status, 0);
    close(back[0]);
    // Once it is closed, the file reads again.
    EXPECT_EQ(runprogram(sha1prog, {path}).status, 0);
}

TEST(Digest, ReadErrorEndsWithItsCode) {
    // /proc/self/mem opens but fails the first read at offset 0 (EIO, which
    // has no Win32 counterpart). The handle stays open to the end of the
    // process, which must not count as a leak.
    for (const std::string &program : {sha1prog, md5prog}) {
        runresult got = runprogram(program, {"/proc/self/mem"});
        EXPECT_EQ(got.status, 2);
        EXPECT_EQ(got.out, "Filespec: /proc/self/mem\nrc = 536870917\nERROR: Win32 error 536870917\n");
    }
}
