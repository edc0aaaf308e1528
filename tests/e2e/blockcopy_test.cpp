// The numbered-handle file layer (through filprobe, which drives it from a
// script) and blockcopy's dialogues, answers given on standard input.
#include "tests/support/filetests.h"
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using filetests::exists;

namespace {

const std::string probe = SUITE_BIN_DIR "/filprobe";
const std::string prog = SUITE_BIN_DIR "/blockcopy";
const std::string ended = "   Program terminated\n";

std::string repeat(const std::string &line, int times) {
    std::string s;
    for (int i = 0; i < times; i++)
        s += line;
    return s;
}

std::string opened(int number, int size) {
    return "open " + std::to_string(number) + " size " + std::to_string(size) + "\n";
}

struct script {
    const char *name;
    std::string in;  // the operations
    std::string out; // all the probe printed
    int status;
};

void runscripts(const tempdir &dir, const std::vector<script> &rows) {
    for (const script &r : rows) {
        runresult got = runprogram(probe, {}, dir.path(), r.in);
        EXPECT_EQ(got.status, r.status) << r.name;
        EXPECT_EQ(got.out, r.out) << r.name;
    }
}

} // namespace

TEST(FileLayer, NumbersTableAndLimits) {
    tempdir dir;
    writefile(dir.file("f"), "abc");
    const std::string invalid = "** Error: Invalid file handle (for filrd() etc.): ";
    std::string twenty, twentyopened;
    for (int i = 1; i <= 20; i++) {
        twenty += "open f 0 0\n";
        twentyopened += opened(i, 3);
    }
    runscripts(
        dir,
        {
            {"twenty open, the 21st refused", twenty + "open f 0 0\n",
             twentyopened + "** filopen() error: Too many open files. Max is 20\n" + ended, 1},
            {"twenty after closing one", twenty + "close 20\nopen f 0 0\n",
             twentyopened + "close\n" + opened(20, 3) + "end\n", 0},
            {"the lowest free number again", repeat("open f 0 0\n", 3) + "close 2\nopen f 0 0\n",
             opened(1, 3) + opened(2, 3) + opened(3, 3) + "close\n" + opened(2, 3) + "end\n", 0},
            {"high-water count lowered by one",
             repeat("open f 0 0\n", 3) + "close 2\nclose 3\nrd 3 1\n",
             opened(1, 3) + opened(2, 3) + opened(3, 3) + "close\nclose\n" + invalid + "3\n" +
                 ended,
             1},
            {"the freed slot below the top is found",
             repeat("open f 0 0\n", 3) + "close 2\nclose 3\nopen f 0 0\nopen f 0 0\n",
             opened(1, 3) + opened(2, 3) + opened(3, 3) + "close\nclose\n" + opened(2, 3) +
                 opened(3, 3) + "end\n",
             0},
            {"number 0", "open f 0 0\nrd 0 1\n", opened(1, 3) + invalid + "0\n" + ended, 1},
            {"above the high-water count", "open f 0 0\npos 2 0 0\n",
             opened(1, 3) + invalid + "2\n" + ended, 1},
            {"closed twice", "open f 0 0\nclose 1\nclose 1\n",
             opened(1, 3) + "close\n" + invalid + "1\n" + ended, 1},
            {"no file open", "wr 1 x\n", invalid + "1\n" + ended, 1},
        });
}

TEST(FileLayer, OperationsAndTheirChecks) {
    tempdir dir;
    writefile(dir.file("f"), "abcdef");
    writefile(dir.file("g"), "");
    runscripts(
        dir,
        {
            {"read, position, read", "open f 0 0\nrd 1 2\npos 1 4 0\nrd 1 2\nclose 1\n",
             opened(1, 6) + "rd ab\npos\nrd ef\nclose\nend\n", 0},
            {"read up to the end", "open f 0 0\nrd 1 6\n", opened(1, 6) + "rd abcdef\nend\n", 0},
            {"short read", "open f 0 0\npos 1 4 0\nrd 1 3\n",
             opened(1, 6) + "pos\n** Error in filrd(): Error reading from the file\n" + ended, 1},
            {"displ 0x7FFFFFFF accepted", "open f 0 0\npos 1 0x7FFFFFFF 0\n",
             opened(1, 6) + "pos\nend\n", 0},
            {"displ 0x80000000 refused", "open f 0 0\npos 1 0x80000000 0\n",
             opened(1, 6) + "** Error: Invalid displ arg in call to filpos()\n" + ended, 1},
            {"type before number", "pos 9 0 1\n",
             "** Error: Invalid type arg in call to filpos()\n" + ended, 1},
            {"displ before number", "pos 9 0x80000000 0\n",
             "** Error: Invalid displ arg in call to filpos()\n" + ended, 1},
            {"read length", "rd 9 0x80000000\n",
             "** Error in filrd(): length exceeds 0x7FFFFFFF\n" + ended, 1},
            {"write length", "wrlen 9 0x80000000\n",
             "** Error in filwr(): length exceeds 0x7FFFFFFF\n" + ended, 1},
            {"type1 2", "open f 2 0\n",
             "** Error: Invalid type1 or type2 arg in call to filopen()\n" + ended, 1},
            {"type1 -1", "open f -1 0\n",
             "** Error: Invalid type1 or type2 arg in call to filopen()\n" + ended, 1},
            {"type2 1", "open f 0 1\n",
             "** Error: Invalid type1 or type2 arg in call to filopen()\n" + ended, 1},
            {"missing file is not created", "open missing 1 0\n",
             "** Error in filopen(): unable to open file missing\n" + ended, 1},
            {"a folder", "open . 0 0\n", "** Error in filopen(): unable to open file .\n" + ended,
             1},
            {"writing to a file open for reading", "open f 0 0\nwr 1 x\n",
             opened(1, 6) + "** Error in filwr(): Error writing to the file\n" + ended, 1},
            {"writing past the end", "open g 1 0\npos 1 3 0\nwr 1 xy\nclose 1\n",
             opened(1, 0) + "pos\nwr\nclose\nend\n", 0},
        });
    EXPECT_EQ(readfile(dir.file("f")), "abcdef");
    EXPECT_EQ(readfile(dir.file("g")), std::string("\0\0\0xy", 5));
    EXPECT_FALSE(exists(dir.file("missing")));
}

TEST(FileLayer, SharingAndSize) {
    tempdir dir;
    writefile(dir.file("f"), "abc");
    const std::string refused = "** Error in filopen(): unable to open file f\n" + ended;
    runscripts(
        dir,
        {
            {"two readers", "open f 0 0\nopen f 0 0\n", opened(1, 3) + opened(2, 3) + "end\n", 0},
            {"reader then writer", "open f 0 0\nopen f 1 0\n", opened(1, 3) + refused, 1},
            {"writer then reader", "open f 1 0\nopen f 0 0\n", opened(1, 3) + refused, 1},
            {"another spelling", "open f 0 0\nopen ./f 1 0\n",
             opened(1, 3) + "** Error in filopen(): unable to open file ./f\n" + ended, 1},
        });

    // A file of 4 GB has no 32-bit size. (Wine's SetFilePointer without a
    // high word gives the low half instead of failing past 4 GB.)
    if (!underwine()) {
        ASSERT_TRUE(filetests::bigfile(dir.file("big"), 0x100000000ULL));
        runscripts(dir, {{"4 GB", "open big 0 0\n",
                          "** Error in filopen(): unable to get size of file big\n" + ended, 1}});
    }

    // Another process holds the file for writing, sharing reads.
    companion held;
    ASSERT_TRUE(held.start(SUITE_BIN_DIR "/holdopen", {dir.file("f"), "w", "r"})) << held.error();
    ASSERT_EQ(held.readline(), "held");
    runscripts(dir, {{"held by another process", "open f 0 0\n", refused, 1}});
    EXPECT_EQ(held.finish(), 0);
}

// ---- the program ---------------------------------------------------------------

namespace {

const std::string title = "Copy 512-byte blocks from one file to another\n";
const std::string asksource = "Enter source file name: ";
const std::string askstart = "Enter start block # (0,1,..) in source file: ";
const std::string askcount = "Enter # of blocks to copy: ";
const std::string asktarget = "Enter target file name: ";
const std::string asktargetstart = "Enter start block # (0,1,..) in target file: ";

std::string sizeline(unsigned long size) {
    return "File size = " + std::to_string(size) + " bytes = " + std::to_string(size / 512) +
           " blocks\n";
}

// The dialogue up to the range check, for a source of `size` bytes.
std::string sourcepart(unsigned long size) {
    return title + asksource + sizeline(size) + askstart + askcount;
}

std::string content(size_t size, unsigned seed) {
    std::string s(size, 0);
    for (size_t i = 0; i < size; i++)
        s[i] = (char)((i * 131 + seed) >> 2);
    return s;
}

} // namespace

TEST(Blockcopy, Dialogues) {
    tempdir dir;
    const std::string src1536 = content(1536, 1), src1537 = content(1537, 2);
    const std::string oldtarget = content(700, 3);
    const std::string range = "** Error: specified blocks exceed end of source file\n";
    const std::string layer = "   Program terminated\n";
    struct row {
        const char *name;
        std::string answers;
        std::string out;
        int status;
        std::string target; // the target's bytes afterwards
    };
    const std::string gap = oldtarget + std::string(3 * 512 - 700, 0) + src1536.substr(512, 1024);
    const row rows[] = {
        {"all three blocks", "s1536 0 3 t 0\n",
         sourcepart(1536) + asktarget + sizeline(700) + asktargetstart +
             "3 blocks copied from block 0 to block 0\n",
         0, src1536},
        {"one block more than there is", "s1536 1 3\n", sourcepart(1536) + range, 2, oldtarget},
        {"a partial last block is no block", "s1537 0 3 t 0\n",
         sourcepart(1537) + asktarget + sizeline(700) + asktargetstart +
             "3 blocks copied from block 0 to block 0\n",
         0, src1537.substr(0, 1536)},
        {"count 0", "s1536 0 0 t 5\n",
         sourcepart(1536) + asktarget + sizeline(700) + asktargetstart +
             "0 blocks copied from block 0 to block 5\n",
         0, oldtarget},
        {"negative start", "s1536 -1 1\n", sourcepart(1536) + range, 2, oldtarget},
        {"negative count", "s1536\n0\n-1\n", sourcepart(1536) + range, 2, oldtarget},
        {"the target grows with a gap", "s1536\t1  2\n\nt\n3\n",
         sourcepart(1536) + asktarget + sizeline(700) + asktargetstart +
             "2 blocks copied from block 1 to block 3\n",
         0, gap},
        {"into the middle of the target", "s1536 2 1 t 0",
         sourcepart(1536) + asktarget + sizeline(700) + asktargetstart +
             "1 blocks copied from block 2 to block 0\n",
         0, src1536.substr(1024, 512) + oldtarget.substr(512)},
        {"the source as target", "s1536 0 1 s1536 0\n",
         sourcepart(1536) + asktarget + "** Error in filopen(): unable to open file s1536\n" +
             layer,
         1, oldtarget},
        {"the source as target by another path", "s1536 0 1 ./s1536 0\n",
         sourcepart(1536) + asktarget + "** Error in filopen(): unable to open file ./s1536\n" +
             layer,
         1, oldtarget},
        {"a target that does not exist", "s1536 0 1 missing 0\n",
         sourcepart(1536) + asktarget + "** Error in filopen(): unable to open file missing\n" +
             layer,
         1, oldtarget},
        {"target block 4194304", "s1536 0 1 t 4194304\n",
         sourcepart(1536) + asktarget + sizeline(700) + asktargetstart +
             "** Error: Invalid displ arg in call to filpos()\n" + layer,
         1, oldtarget},
        {"target block 8388608 does not wrap to 0", "s1536 0 1 t 8388608\n",
         sourcepart(1536) + asktarget + sizeline(700) + asktargetstart +
             "** Error: Invalid displ arg in call to filpos()\n" + layer,
         1, oldtarget},
    };
    for (const row &r : rows) {
        writefile(dir.file("s1536"), src1536);
        writefile(dir.file("s1537"), src1537);
        writefile(dir.file("t"), oldtarget);
        runresult got = runprogram(prog, {}, dir.path(), r.answers);
        EXPECT_EQ(got.status, r.status) << r.name;
        EXPECT_EQ(got.out, r.out) << r.name;
        EXPECT_TRUE(readfile(dir.file("t")) == r.target) << r.name;
        EXPECT_EQ(readfile(dir.file("s1536")), src1536) << r.name;
    }
    EXPECT_FALSE(exists(dir.file("missing")));
}

TEST(Blockcopy, BadAnswersEndBeforeAnythingIsWritten) {
    tempdir dir;
    const std::string source = content(1536, 4), target = content(600, 5);
    const std::string name199(199, 'n'), name200(200, 'n');
    const std::string toolong = "** Error: file name longer than 199 characters\n";
    const std::string nonumber = "** Error: end of input where a number was expected\n";
    const std::string noname = "** Error: end of input where a file name was expected\n";
    auto notnumber = [](const std::string &item) {
        return "** Error: not a number from -4294967295 to 4294967295: " + item + "\n";
    };
    const std::string upto = title + asksource + sizeline(1536) + askstart;
    const std::string totarget = upto + askcount + asktarget + sizeline(600) + asktargetstart;
    struct row {
        const char *name;
        std::string answers, out;
    };
    const row rows[] = {
        {"no answers at all", "", title + asksource + noname},
        {"blanks only", " \n\t\n", title + asksource + noname},
        {"source name of 200 characters", name200 + " 0 1 t 0\n", title + asksource + toolong},
        {"a word for the start", "s x 1 t 0\n", upto + notnumber("x")},
        {"digits then letters", "s 12abc 1 t 0\n", upto + notnumber("12abc")},
        {"a sign alone", "s 0 - t 0\n", upto + askcount + notnumber("-")},
        {"beyond 32 bits", "s 4294967296 1 t 0\n", upto + notnumber("4294967296")},
        {"beyond 32 bits negative", "s -4294967296 1 t 0\n", upto + notnumber("-4294967296")},
        {"a long number", "s " + std::string(250, '1') + " 1 t 0\n",
         upto + notnumber(std::string(199, '1') + "...")},
        {"input ends at the start", "s", upto + nonumber},
        {"input ends at the count", "s 0\n", upto + askcount + nonumber},
        {"input ends at the target name", "s 0 1\n", upto + askcount + asktarget + noname},
        {"target name of 200 characters", "s 0 1 " + name200 + " 0\n",
         upto + askcount + asktarget + toolong},
        {"input ends at the target block", "s 0 1 t", totarget + nonumber},
        {"a word for the target block", "s 0 1 t zero\n", totarget + notnumber("zero")},
    };
    for (const row &r : rows) {
        writefile(dir.file("s"), source);
        writefile(dir.file("t"), target);
        runresult got = runprogram(prog, {}, dir.path(), r.answers);
        EXPECT_EQ(got.status, 3) << r.name;
        EXPECT_EQ(got.out, r.out) << r.name;
        EXPECT_EQ(readfile(dir.file("t")), target) << r.name;
    }
    EXPECT_FALSE(exists(dir.file(name200)));

    // 199 characters are a name like any other, and the biggest numbers and
    // their signs are read as such.
    writefile(dir.file(name199), source);
    runresult got = runprogram(prog, {}, dir.path(), name199 + " +0 -4294967295 t 0\n");
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, title + asksource + sizeline(1536) + askstart + askcount + asktarget +
                           sizeline(600) + asktargetstart +
                           "1 blocks copied from block 0 to block 0\n");
    EXPECT_EQ(readfile(dir.file("t")), source.substr(0, 512) + target.substr(512));
    got = runprogram(prog, {}, dir.path(), "s 4294967295 1\n");
    EXPECT_EQ(got.status, 2);
}
