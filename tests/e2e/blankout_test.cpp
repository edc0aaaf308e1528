// blankout at a terminal: each dialogue, its exit status and the file it
// leaves, which must be what dd conv=notrunc makes from the same file.
#include "tests/support/pty.h"
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

const std::string program = SUITE_BIN_DIR "/blankout";

std::string sizeline(const char *label, unsigned long long bytes) {
    char text[80];
    snprintf(text, sizeof text, "%s  %.2f MB = %llu bytes \n", label, bytes / 1048576.0, bytes);
    return text;
}

std::string opening(const std::string &name, unsigned long long size) {
    return "Will write zeros to file " + name + "\n" + sizeline("Original file size:", size);
}

const std::string displprompt = "Enter byte displacement for zeroing (max 2**32-1),\n"
                                "or 0 (start of file), or e (end of file): ";
const std::string lengthprompt = "Enter number of zero bytes to be written: ";
const std::string startprompt = "Enter y to start zeroing: ";
const std::string invalid = "*** Invalid value. Max is 2**32-1 = 4294967295\n";

// The displacement, length and confirmation questions, answered.
std::string asked(const std::string &displ, unsigned long long usedispl, const std::string &length,
                  const std::string &confirm) {
    return displprompt + displ + "\n" + sizeline("Using displacement:", usedispl) + lengthprompt +
           length + "\nUsing length " + length + "\n" + startprompt + confirm + "\n";
}

std::string pattern(size_t size) {
    std::string data(size, 0);
    for (size_t i = 0; i < size; i++)
        data[i] = (char)('a' + i % 26);
    return data;
}

// What dd makes of `before` with `length` zeros at `displ`, without truncating.
std::string ddzeros(const std::string &before, unsigned long long displ, unsigned long length) {
    tempdir dir;
    std::string path = dir.file("dd");
    writefile(path, before);
    std::string cmd =
        "dd if=/dev/zero of='" + path +
        "' conv=notrunc oflag=seek_bytes iflag=count_bytes bs=65536 status=none seek=" +
        std::to_string(displ) + " count=" + std::to_string(length);
    if (system(cmd.c_str()) != 0) return "dd failed";
    return readfile(path);
}

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

struct zeroing {
    unsigned long long displ;
    unsigned long length;
};

struct row {
    const char *name;
    std::optional<std::string> before; // the file's bytes; nullopt: no such file
    std::vector<std::string> answers;  // each typed and ended with Enter
    std::string screen;
    int status;
    std::optional<zeroing> zeros; // what dd must agree with; none: the file stays as it was
    std::string filename = "f";
};

void runrow(const row &r) {
    tempdir dir;
    std::string path = dir.file(r.filename);
    if (r.before) writefile(path, *r.before);
    ptyoptions options;
    options.cwd = dir.path();
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {r.filename}, options)) << r.name;
    for (const std::string &a : r.answers)
        ASSERT_TRUE(p.typetext(a + "\r")) << r.name;
    EXPECT_EQ(p.wait(), r.status) << r.name;
    EXPECT_EQ(p.screen(), r.screen) << r.name;
    std::optional<std::string> expected = r.before;
    if (r.zeros) expected = ddzeros(r.before.value_or(""), r.zeros->displ, r.zeros->length);
    if (expected)
        EXPECT_EQ(readfile(path), *expected) << r.name;
    else
        EXPECT_FALSE(exists(path)) << r.name;
}

} // namespace

TEST(Blankout, Usage) {
    runresult r = runprogram(program, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "BLANKOUT writes a specified # of zero bytes to a file, at a\n"
                     "specified byte displacement.  The original file size may be increased.\n"
                     "Usage:  blankout filename\n");
}

TEST(Blankout, Dialogues) {
    const std::string ten = pattern(10);
    const std::string f10 = opening("f", 10);
    const row rows[] = {
        {"inside the file",
         ten,
         {"2", "3", "y"},
         f10 + asked("2", 2, "3", "y") + "File area zeroed\n",
         0,
         zeroing{2, 3}},
        {"e extends the file",
         ten,
         {"e", "5", "Y"},
         f10 + asked("e", 10, "5", "Y") + "File area zeroed\n",
         0,
         zeroing{10, 5}},
        {"past the end: the gap is the system's",
         ten,
         {"100", "7", "yellow"},
         f10 + asked("100", 100, "7", "yellow") + "File area zeroed\n",
         0,
         zeroing{100, 7}},
        {"length 0 past the end keeps the size",
         ten,
         {"100", "0", "y"},
         f10 + asked("100", 100, "0", "y") + "File area zeroed\n",
         0,
         zeroing{100, 0}},
        {"4294967295 is a displacement",
         ten,
         {"4294967295", "0", "y"},
         f10 + displprompt + "4294967295\n" +
             "Using displacement:  4096.00 MB = 4294967295 bytes \n" + lengthprompt +
             "0\nUsing length 0\n" + startprompt + "y\nFile area zeroed\n",
         0,
         std::nullopt},
        {"4294967296 is not",
         ten,
         {"4294967296"},
         f10 + displprompt + "4294967296\n" + invalid,
         7,
         std::nullopt},
        {"e with a blank is a number, and no number",
         ten,
         {"e "},
         f10 + displprompt + "e \n" + invalid,
         7,
         std::nullopt},
        {"ee", ten, {"ee"}, f10 + displprompt + "ee\n" + invalid, 7, std::nullopt},
        {"invalid length",
         ten,
         {"0", "-5"},
         f10 + displprompt + "0\n" + sizeline("Using displacement:", 0) + lengthprompt + "-5\n" +
             invalid,
         9,
         std::nullopt},
        {"cancelled",
         ten,
         {"0", "5", "no"},
         f10 + asked("0", 0, "5", "no") + "** Cancelled\n",
         10,
         std::nullopt},
        {"cancelled by an empty answer",
         ten,
         {"0", "5", ""},
         f10 + asked("0", 0, "5", "") + "** Cancelled\n",
         10,
         std::nullopt},
        {"one piece short of 32768",
         ten,
         {"1", "32767", "y"},
         f10 + asked("1", 1, "32767", "y") + "File area zeroed\n",
         0,
         zeroing{1, 32767}},
        {"exactly one piece",
         ten,
         {"1", "32768", "y"},
         f10 + asked("1", 1, "32768", "y") + "File area zeroed\n",
         0,
         zeroing{1, 32768}},
        {"one piece and one byte",
         ten,
         {"1", "32769", "y"},
         f10 + asked("1", 1, "32769", "y") + "File area zeroed\n",
         0,
         zeroing{1, 32769}},
        {"several pieces over data",
         pattern(200000),
         {"333", "131073", "y"},
         opening("f", 200000) + asked("333", 333, "131073", "y") + "File area zeroed\n",
         0,
         zeroing{333, 131073}},
        {"missing file created",
         std::nullopt,
         {"Yes", "e", "4", "y"},
         "Will write zeros to file f\n** The file does not exist. Do you want to create it? Yes\n" +
             sizeline("Original file size:", 0) + asked("e", 0, "4", "y") + "File area zeroed\n",
         0,
         zeroing{0, 4}},
        {"created and left empty by a rejected answer",
         std::nullopt,
         {"y", "x"},
         "Will write zeros to file f\n** The file does not exist. Do you want to create it? y\n" +
             sizeline("Original file size:", 0) + displprompt + "x\n" + invalid,
         7,
         zeroing{0, 0}},
        {"missing file not wanted",
         std::nullopt,
         {""},
         "Will write zeros to file f\n** The file does not exist. Do you want to create it? \n",
         3,
         std::nullopt},
        {"missing folder: no question",
         std::nullopt,
         {},
         "Will write zeros to file nofolder/f\n*** Error 3 opening the file: Path not found\n",
         2,
         std::nullopt,
         "nofolder/f"},
    };
    for (const row &r : rows)
        runrow(r);
}

TEST(Blankout, FolderIsNotAFile) {
    tempdir dir;
    ptyoptions options;
    options.cwd = dir.path();
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {"."}, options));
    EXPECT_EQ(p.wait(), 2);
    EXPECT_EQ(p.screen(),
              "Will write zeros to file .\n*** Error 5 opening the file: Access denied\n");
}

// A file beyond 4 GB (sparse): "e" takes the whole 64-bit size.
TEST(Blankout, EndOfAFileBeyond4GB) {
    tempdir dir;
    std::string path = dir.file("big");
    const long long size = 4294967296LL + 3;
    int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "xyz", 3, size - 3), 3);
    close(fd);

    ptyoptions options;
    options.cwd = dir.path();
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {"big"}, options));
    ASSERT_TRUE(p.typetext("e\r4\ry\r"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(),
              "Will write zeros to file big\n"
              "Original file size:  4096.00 MB = 4294967299 bytes \n" +
                  displprompt + "e\n" + "Using displacement:  4096.00 MB = 4294967299 bytes \n" +
                  lengthprompt + "4\nUsing length 4\n" + startprompt + "y\nFile area zeroed\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, size + 4);
    char tail[8] = {};
    fd = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(pread(fd, tail, 7, size - 3), 7);
    close(fd);
    EXPECT_EQ(std::string(tail, 7), std::string("xyz\0\0\0\0", 7));
}

// A write that fails part-way (the file size limit) leaves the pieces before
// it written, and the error shown.
TEST(Blankout, WriteErrorKeepsWhatWasWritten) {
    tempdir dir;
    std::string path = dir.file("f");
    const std::string before = pattern(100000);
    writefile(path, before);
    ptyoptions options;
    options.cwd = dir.path();
    ptyprocess p;
    ASSERT_TRUE(p.start(
        "sh", {"-c", "trap '' XFSZ; exec prlimit --fsize=40000 \"$0\" \"$@\"", program, "f"},
        options));
    ASSERT_TRUE(p.typetext("39000\r5000\ry\r"));
    EXPECT_EQ(p.wait(), 6);
    EXPECT_NE(p.screen().find("y\n*** Error 536870939 writing to file: Win32 error 536870939\n"),
              std::string::npos)
        << p.screen();
    // Bytes up to the limit are zero, the rest as before.
    EXPECT_EQ(readfile(path), ddzeros(before, 39000, 1000));
}
