// bytecopy at a terminal: each dialogue, its exit status and the files it
// leaves, which must be what dd conv=notrunc makes from the same files.
#include "tests/support/pty.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const std::string program = SUITE_BIN_DIR "/bytecopy";

const std::string banner = "Copy bytes from one file to another\n"
                           "  Byte displacements in file can be entered as n or e (end of file)\n"
                           "  or * (previous ending displ in the file) or *+n or x (exit)\n"
                           "Enter source file name: ";
const std::string startq = "Enter start byte displacement in source file: ";
const std::string endq = "Enter end byte displacement in source file: ";
const std::string targetq = "\nEnter target file name or 0 to exit: ";
const std::string targetstartq = "Enter start byte displacement in target file: ";
const std::string nobytes = "** No bytes copied\n\n";
const std::string invalid = "** Invalid value. Re-enter it (n/e/*/*+n/x): ";
const std::string yesno = "Another target file? (y/n) ";

std::string opened(const std::string &name, unsigned long size) {
    return banner + name + "\nSource file size is " + std::to_string(size) + " bytes\n";
}
std::string range(unsigned long start, unsigned long end) {
    return "Source file: src\nStart displ: " + std::to_string(start) +
           "  End displ: " + std::to_string(end) +
           "  # bytes to copy: " + std::to_string(end - start) + "\n";
}
std::string created(const std::string &name) {
    return "New target file created: " + name + "\nUsing start displ = 0 in new target file\n";
}
std::string existing(unsigned long size) {
    return "Target file already exists, size " + std::to_string(size) + " bytes\n" + targetstartq;
}
std::string using_(unsigned long start) {
    return "Using start displ = " + std::to_string(start) + " in target file\n";
}
std::string copied(unsigned long count) {
    return "Copy starting...\n" + std::to_string(count) + " bytes copied\n" + yesno;
}

// The answer to the yes/no question: a word read from standard input, which
// at a terminal is a cooked line (echoed by the terminal), not raw keys.
std::string word(const std::string &w) {
    return "\x01" + w;
}

std::string pattern(size_t size, unsigned seed) {
    std::string data(size, 0);
    for (size_t i = 0; i < size; i++)
        data[i] = (char)((i * 2654435761u + seed) >> 13);
    return data;
}

// The same files in each row's folder: a source of 100000 bytes, a target of
// 3000, a link to nowhere and a sparse file of 4 GB.
void setup(const tempdir &dir) {
    writefile(dir.file("src"), pattern(100000, 1));
    writefile(dir.file("tgt"), pattern(3000, 2));
    if (symlink("nowhere", dir.file("dangling").c_str()) != 0) throw std::runtime_error("symlink");
    writefile(dir.file("huge"), "");
    if (truncate(dir.file("huge").c_str(), 4294967296LL) != 0) throw std::runtime_error("truncate");
}

struct ddcopy {
    std::string target;
    unsigned long skip, seek, count;
};

void dd(const tempdir &dir, const ddcopy &c) {
    std::string cmd = "cd '" + dir.path() + "' && dd if=src of='" + c.target +
                      "' conv=notrunc iflag=skip_bytes,count_bytes oflag=seek_bytes bs=40960 "
                      "status=none skip=" +
                      std::to_string(c.skip) + " seek=" + std::to_string(c.seek) +
                      " count=" + std::to_string(c.count);
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
}

struct row {
    const char *name;
    std::vector<std::string> answers; // typed lines; word() for the yes/no answers
    std::string screen;
    int status;
    std::vector<ddcopy> copies;                      // what dd must agree with, in order
    std::vector<std::string> files = {"src", "tgt"}; // compared with dd's
    std::vector<std::string> wrapper = {};           // runs the program under this command
};

void runrow(const row &r) {
    tempdir dir, expected;
    setup(dir);
    setup(expected);
    for (const ddcopy &c : r.copies)
        dd(expected, c);

    ptyoptions options;
    options.cwd = dir.path();
    std::vector<std::string> args = r.wrapper;
    std::string start = program;
    if (!args.empty()) {
        start = args[0];
        args.erase(args.begin());
        args.push_back(program);
    }
    ptyprocess p;
    ASSERT_TRUE(p.start(start, args, options)) << r.name;
    size_t seen = 0;
    for (const std::string &a : r.answers) {
        if (!a.empty() && a[0] == '\x01') {
            ASSERT_TRUE(p.waitafter(seen, yesno)) << r.name;
            seen = p.screen().find(yesno, seen) + yesno.size();
            ASSERT_TRUE(p.sendraw(a.substr(1) + "\r")) << r.name;
        } else {
            ASSERT_TRUE(p.typetext(a + "\r")) << r.name << ": " << a;
        }
    }
    EXPECT_EQ(p.wait(), r.status) << r.name;
    EXPECT_EQ(p.screen(), r.screen) << r.name;
    for (const std::string &f : r.files)
        EXPECT_EQ(readfile(dir.file(f)), readfile(expected.file(f))) << r.name << ": " << f;
}

} // namespace

TEST(Bytecopy, Dialogues) {
    const std::string src = opened("src", 100000);
    const std::string longyes = "Y" + std::string(400, 'e') + "s";
    const row rows[] = {
        {"a refused range still sets the star; 0 ends",
         {"src", "e", "5", "*", "*+10", "0"},
         src + startq + "e\n" + endq + "5\n" + nobytes + startq + "*\n" + endq + "*+10\n" +
             range(5, 15) + targetq + "0\n",
         0,
         {}},
        {"new target, then the next range appended at e",
         {"src", "0", "500", "new", word("y"), "*", "*+100", "new", "e", word("n")},
         src + startq + "0\n" + endq + "500\n" + range(0, 500) + targetq + "new\n" +
             created("new") + copied(500) + "y\n\n" + startq + "*\n" + endq + "*+100\n" +
             range(500, 600) + targetq + "new\n" + existing(500) + "e\n" + using_(500) +
             copied(100) + "n\n",
         0,
         {{"new", 0, 0, 500}, {"new", 500, 500, 100}},
         {"src", "tgt", "new"}},
        {"several chunks into an existing target, past its end",
         {"src", "200", "90000", "tgt", "3001", "1000", word("no")},
         src + startq + "200\n" + endq + "90000\n" + range(200, 90000) + targetq + "tgt\n" +
             existing(3000) + "3001\n** Displacement exceeds size 3000 of file. Re-enter it: " +
             "1000\n" + using_(1000) + copied(89800) + "no\n",
         0,
         {{"tgt", 200, 1000, 89800}}},
        {"* is 0 in the target; a long yes; x ends",
         {"src", "10", "20", "tgt", "*", word(longyes), "x"},
         src + startq + "10\n" + endq + "20\n" + range(10, 20) + targetq + "tgt\n" +
             existing(3000) + "*\n" + using_(0) + copied(10) + longyes + "\n\n" + startq +
             "x\nProgram terminated\n",
         1,
         {{"tgt", 10, 0, 10}}},
        {"every re-entry message; x is a name at the target prompt",
         {"src", "1", "1", "100001", "*5", "* +5", "ex", "X", "E", "", "*+4294967295", "*+ 5",
          "100000", "x", word("n")},
         src + startq + "1\n" + endq + "1\n" + nobytes + startq +
             "100001\n** Displacement exceeds size 100000 of file. Re-enter it: *5\n" + invalid +
             "* +5\n" + invalid + "ex\n" + invalid + "X\n" + invalid + "E\n" + invalid + "\n" +
             invalid + "*+4294967295\n** Resulting displacement exceeds 32 bits. Re-enter it: " +
             "*+ 5\n" + endq + "100000\n" + range(6, 100000) + targetq + "x\n" + created("x") +
             copied(99994) + "n\n",
         0,
         {{"x", 6, 0, 99994}},
         {"src", "tgt", "x"}},
        {"targets that cannot be; 00 and blank 0 are names",
         {"src", "0", "10", "src", "nofolder/t", "dangling", "00", word("y"), "3", "5", " 0",
          word("n")},
         src + startq + "0\n" + endq + "10\n" + range(0, 10) + targetq +
             "src\n** Unable to open target file: File sharing violation\n" + targetq +
             "nofolder/t\n** Unable to open target file: Path not found\n" + targetq +
             "dangling\n** Unable to create target file: File exists\n" + targetq + "00\n" +
             created("00") + copied(10) + "y\n\n" + startq + "3\n" + endq + "5\n" + range(3, 5) +
             targetq + " 0\n" + created(" 0") + copied(2) + "n\n",
         0,
         {{"00", 0, 0, 10}, {" 0", 3, 0, 2}},
         {"src", "tgt", "00", " 0"}},
        {"x at the target's start",
         {"src", "0", "10", "tgt", "x"},
         src + startq + "0\n" + endq + "10\n" + range(0, 10) + targetq + "tgt\n" + existing(3000) +
             "x\nProgram terminated\n",
         1,
         {}},
        {"missing source",
         {"nosuch"},
         banner + "nosuch\n** Unable to open source file: File not found\n",
         2,
         {}},
        {"a source of 4 GB is beyond reach",
         {"huge"},
         banner + "huge\n** Unable to open source file: Win32 error 223\n",
         2,
         {}},
        {"so is a target of 4 GB",
         {"src", "0", "1", "huge", "0"},
         src + startq + "0\n" + endq + "1\n" + range(0, 1) + targetq +
             "huge\n** Unable to open target file: Win32 error 223\n" + targetq + "0\n",
         0,
         {}},
        // The file size limit stops the third chunk: the two before it stay.
        {"a write error keeps the chunks before it",
         {"src", "0", "e", "new"},
         src + startq + "0\n" + endq + "e\n" + range(0, 100000) + targetq + "new\n" +
             created("new") +
             "Copy starting...\n** Error writing target file, copy terminated\n"
             "   Position in source file: posin = 81920\n"
             "   Error = Win32 error 536870939\n",
         5,
         {{"new", 0, 0, 81920}},
         {"src", "tgt", "new"},
         {"sh", "-c", "trap '' XFSZ; exec prlimit --fsize=81920 \"$0\" \"$@\""}},
    };
    for (const row &r : rows)
        runrow(r);
}

// The echo of the typed lines belongs in standard output with the prompts;
// the terminal shows only what it echoes itself, the yes/no line.
TEST(Bytecopy, EchoGoesToStandardOutput) {
    tempdir dir;
    setup(dir);
    ptyoptions options;
    options.cwd = dir.path();
    options.stdoutfile = "out.txt";
    ptyprocess p;
    ASSERT_TRUE(p.start(program, {}, options));
    ASSERT_TRUE(p.typetext("src\r0\r7\rnew\r"));
    // The answer goes in once the question stands, when the terminal is back
    // in line mode.
    for (int i = 0; i < 500 && readfile(dir.file("out.txt")).find(yesno) == std::string::npos; i++)
        usleep(10000);
    ASSERT_TRUE(p.sendraw("n\r"));
    EXPECT_EQ(p.wait(), 0);
    EXPECT_EQ(p.screen(), "n\n");
    EXPECT_EQ(readfile(dir.file("out.txt")), opened("src", 100000) + startq + "0\n" + endq + "7\n" +
                                                 range(0, 7) + targetq + "new\n" + created("new") +
                                                 copied(7));
}
