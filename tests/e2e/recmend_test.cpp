// recmend run as a user runs it: parameters, every ending with its lines and
// status, the bytes of the output, and an input that survives being named as
// the output.
#include "tests/support/filetests.h"
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

using filetests::exists;
using filetests::toebcdic;

namespace {

const std::string prog = SUITE_BIN_DIR "/recmend";

const std::string usage = "** Missing or invalid command parameters\n"
                          "Usage:  recmend infile reclen [outfile]\n"
                          "Converts a binary file that was FTPed from KESTREL as a\n"
                          "text file (type ascii).  Original KESTREL file must have\n"
                          "been RECFM U, F, or FC.  For U, specify reclen 512.\n"
                          "The output file is replaced if it already exists.\n";

// `count` records of `reclen` mixed bytes (CR LF and every byte value among
// them), each followed by CR LF.
std::string records(size_t reclen, size_t count) {
    std::string s;
    s.reserve((reclen + 2) * count);
    unsigned seed = (unsigned)(reclen * 31 + count);
    for (size_t r = 0; r < count; r++) {
        for (size_t i = 0; i < reclen; i++) {
            seed = seed * 1103515245u + 12345u;
            s += (char)(i % 13 == 5 ? '\r' : i % 13 == 6 ? '\n' : (char)(seed >> 16));
        }
        s += "\r\n";
    }
    return s;
}

// The host file for the first `count` records.
std::string converted(const std::string &in, size_t reclen, size_t count) {
    std::string data;
    for (size_t r = 0; r < count; r++)
        data += in.substr(r * (reclen + 2), reclen);
    return toebcdic(data);
}

std::string head(size_t reclen, const std::string &out) {
    return "Using fixed logical record length " + std::to_string(reclen) +
           "\nOutput file name is " + out + "\n";
}

std::string ok(size_t count) {
    return "Conversion ok, " + std::to_string(count) + " records done\n";
}

std::string failed(const std::string &line, size_t count) {
    return line + "*** Conversion terminated with an error, after " + std::to_string(count) +
           " records done\n";
}

const std::string tooshort = "** Input data error: Input file is too short\n";
const std::string nocrlf = "** Input data error: Expected CRLF not found\n";

} // namespace

TEST(Recmend, UsageExit) {
    tempdir dir;
    writefile(dir.file("in"), "");
    const std::vector<std::string> rows[] = {
        {},           {"in"},          {"in", "80", "out", "extra"}, {"in", "80 "}, {"in", "+80"},
        {"in", "0"},  {"in", "32761"}, {"in", "1234567890"},         {"in", "   "}, {"in", ""},
        {"in", "8o"},
    };
    for (const std::vector<std::string> &args : rows) {
        runresult got = runprogram(prog, args, dir.path());
        EXPECT_EQ(got.status, 1) << testing::PrintToString(args);
        EXPECT_EQ(got.out, usage) << testing::PrintToString(args);
    }
    // None of them made an output file.
    EXPECT_FALSE(exists(dir.file("in.bin")));
}

TEST(Recmend, RecordLengthsAccepted) {
    tempdir dir;
    writefile(dir.file("in"), "");
    for (const char *text : {"80", " 80", "0080", "1", "32760"}) {
        runresult got = runprogram(prog, {"in", text, "out"}, dir.path());
        EXPECT_EQ(got.status, 0) << text;
        EXPECT_EQ(got.out, head(atoi(text), "out") + ok(0)) << text;
    }
}

TEST(Recmend, RecordPaths) {
    tempdir dir;
    // The program's buffer holds 1 MiB: 12787 pieces of 82 bytes. Damage
    // placed around that boundary shows that the records before it are
    // written whole and counted, as one record at a time would.
    const size_t perbuffer = (1u << 20) / 82;
    struct row {
        const char *name;
        size_t reclen;
        std::string in;
        int status;
        size_t count;      // records written
        std::string error; // the error line, empty on success
    };
    std::vector<row> rows = {
        {"empty", 80, "", 0, 0, ""},
        {"whole", 80, records(80, 3), 0, 3, ""},
        {"reclen 1", 1, records(1, 5), 0, 5, ""},
        {"reclen 512", 512, records(512, 4), 0, 4, ""},
        {"reclen 32760", 32760, records(32760, 70), 0, 70, ""},
        {"short remainder", 80, records(80, 3) + std::string(81, 'x'), 6, 3, tooshort},
        {"remainder of one byte", 80, records(80, 3) + "x", 6, 3, tooshort},
        {"shorter record", 80, records(80, 2) + std::string(79, 'x') + "\r\n", 6, 2, tooshort},
        {"longer record", 4, "ABCD\r\nABCDE\r\nABCD\r\n", 7, 1, nocrlf},
        {"no LF after CR", 4, "ABCD\r\nABCD\rxABCD\r\n", 7, 1, nocrlf},
        {"many buffers", 80, records(80, 3 * perbuffer + 5), 0, 3 * perbuffer + 5, ""},
        {"short after a buffer", 80, records(80, perbuffer) + "x", 6, perbuffer, tooshort},
    };
    // No CR LF after the first, a middle, the last record, and at each side
    // of the buffer boundary.
    for (size_t bad : {(size_t)0, (size_t)7, (size_t)19, perbuffer - 1, perbuffer, perbuffer + 1}) {
        size_t n = bad < 20 ? 20 : perbuffer + 10;
        std::string in = records(80, n);
        in[bad * 82 + 80 + bad % 2] = 'y';
        rows.push_back({"no CR LF", 80, in, 7, bad, nocrlf});
    }
    for (const row &r : rows) {
        SCOPED_TRACE(std::string(r.name) + " count " + std::to_string(r.count));
        writefile(dir.file("in"), r.in);
        writefile(dir.file("out"), "an older file, longer than some outputs");
        runresult got = runprogram(prog, {"in", std::to_string(r.reclen), "out"}, dir.path());
        EXPECT_EQ(got.status, r.status);
        EXPECT_EQ(got.out,
                  head(r.reclen, "out") + (r.status == 0 ? ok(r.count) : failed(r.error, r.count)));
        std::string out = readfile(dir.file("out"));
        EXPECT_EQ(out.size(), r.count * r.reclen);
        EXPECT_TRUE(out == converted(r.in, r.reclen, r.count)) << "output bytes differ";
    }
}

TEST(Recmend, KnownBytes) {
    tempdir dir;
    // A, blank, LF inside the record, CR LF inside the record, digits.
    writefile(dir.file("in"), std::string("A \n\r\n09\r\n", 9));
    runresult got = runprogram(prog, {"in", "7", "out"}, dir.path());
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(readfile(dir.file("out")), "\xC1\x40\x25\x0D\x25\xF0\xF9");
}

TEST(Recmend, DefaultOutputNames) {
    tempdir dir;
    ASSERT_TRUE(filetests::makefolder(dir.file("sub.d")));
    ASSERT_TRUE(filetests::makefolder(dir.file("sub_d")));
    struct row {
        std::string in, out;
    };
    // On Windows "\\" separates folders too (on POSIX it is part of a name):
    // the dots before it change like all the others.
    const row rows[] = {
        {"data.txt", "data_txt.bin"},
        {"a.b.c", "a_b_c.bin"},
        {"file", "file.bin"},
        {"sub.d/in.dat", "sub_d/in_dat.bin"},
        {"sub.d\\x.dat", "sub_d\\x_dat.bin"},
    };
    for (const row &r : rows) {
        writefile(dir.file(r.in), "AB\r\n");
        runresult got = runprogram(prog, {r.in, "2"}, dir.path());
        EXPECT_EQ(got.status, 0) << r.in;
        EXPECT_EQ(got.out, head(2, r.out) + ok(1)) << r.in;
        EXPECT_EQ(readfile(dir.file(r.out)), "\xC1\xC2") << r.in;
    }
}

TEST(Recmend, OpenAndCreateFailures) {
    tempdir dir;
    writefile(dir.file("in"), "AB\r\n");
    runresult got = runprogram(prog, {"missing", "2", "out"}, dir.path());
    EXPECT_EQ(got.status, 2);
    EXPECT_EQ(got.out, "** Error: unable to open input file: missing\n");
    EXPECT_FALSE(exists(dir.file("out")));

    for (const char *out : {"nofolder/out", "."}) {
        got = runprogram(prog, {"in", "2", out}, dir.path());
        EXPECT_EQ(got.status, 3) << out;
        EXPECT_EQ(got.out, std::string("** Error: unable to create output file: ") + out +
                               "\n   Note: Output file name must not be the same as input\n")
            << out;
    }
}

TEST(Recmend, InputNamedAsOutputByEverySpelling) {
    tempdir dir;
    ASSERT_TRUE(filetests::makefolder(dir.file("sub")));
    const std::string content = records(10, 4);
    writefile(dir.file("in.txt"), content);
    ASSERT_TRUE(filetests::hardlink(dir.file("in.txt"), dir.file("hard")));
    std::vector<std::string> spellings = {"in.txt", "./in.txt", "sub/../in.txt", dir.file("in.txt"),
                                          "hard"};
#ifdef _WIN32
    // Windows' own spellings: '\\', another letter case, the full name, and
    // under Wine drive Z:, the Unix root. (Wine makes symbolic links but
    // cannot open a file through one.)
    for (const char *other : {".\\in.txt", "sub\\..\\in.txt", "IN.TXT", "In.Txt"})
        spellings.push_back(other);
    std::string full = dir.path() + "\\in.txt", slashes = full, upper = full;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    for (const std::string &other : {full, slashes, upper})
        spellings.push_back(other);
    if (underwine()) spellings.push_back(filetests::unixspelling(dir.file("in.txt")));
#else
    ASSERT_EQ(symlink("in.txt", dir.file("soft").c_str()), 0);
    ASSERT_EQ(symlink(dir.path().c_str(), dir.file("folder").c_str()), 0);
    spellings.push_back("soft");
    spellings.push_back("folder/in.txt");
#endif
    for (const std::string &out : spellings) {
        ASSERT_FALSE(out.empty());
        runresult got = runprogram(prog, {"in.txt", "10", out}, dir.path());
        EXPECT_EQ(got.status, 3) << out;
        EXPECT_EQ(got.out, "** Error: unable to create output file: " + out +
                               "\n   Note: Output file name must not be the same as input\n")
            << out;
        EXPECT_EQ(readfile(dir.file("in.txt")), content) << out;
    }
    // Named through a link as input, the file is just as safe by its own name.
    runresult got = runprogram(prog, {"hard", "10", "in.txt"}, dir.path());
    EXPECT_EQ(got.status, 3);
    EXPECT_EQ(readfile(dir.file("in.txt")), content);
#ifndef _WIN32
    got = runprogram(prog, {"soft", "10", "in.txt"}, dir.path());
    EXPECT_EQ(got.status, 3);
    EXPECT_EQ(readfile(dir.file("in.txt")), content);
#endif
}

TEST(Recmend, WriteErrorAfterSomeRecords) {
    tempdir dir;
    std::string in = records(100, 5000);
    writefile(dir.file("in"), in);
#ifdef _WIN32
    // A full device: Wine's way to Linux's /dev/full.
    if (!underwine()) GTEST_SKIP() << "no device that is always full on Windows";
    const std::string full = "Z:\\dev\\full";
#else
    // A file size limit of 1024 bytes (two blocks of 512) stops the output in
    // the middle of the eleventh record; the size signal is ignored, so the
    // write fails instead.
    runresult got = runprogram(
        "/bin/sh",
        {"-c", "ulimit -f 2; trap '' XFSZ; exec \"$0\" \"$@\"", prog, "in", "100", "out"},
        dir.path());
    EXPECT_EQ(got.status, 8);
    EXPECT_EQ(got.out, head(100, "out") + failed("** Error writing output file: out\n", 10));
    EXPECT_EQ(readfile(dir.file("out")), converted(in, 100, 11).substr(0, 1024));
    const std::string full = "/dev/full";
#endif

    runresult full0 = runprogram(prog, {"in", "100", full}, dir.path());
    EXPECT_EQ(full0.status, 8);
    EXPECT_EQ(full0.out,
              head(100, full) + failed("** Error writing output file: " + full + "\n", 0));
}

TEST(Recmend, ReadError) {
    // Our own memory read as a file from its start: the first page is never
    // mapped, so the very first read fails (under Wine too, through Z:).
#ifdef _WIN32
    if (!underwine()) GTEST_SKIP() << "no file on Windows whose first read fails";
    const std::string mem = "Z:\\proc\\self\\mem";
#else
    const std::string mem = "/proc/self/mem";
#endif
    tempdir dir;
    runresult got = runprogram(prog, {mem, "80", "out"}, dir.path());
    EXPECT_EQ(got.status, 4);
    EXPECT_EQ(got.out, head(80, "out") + failed("** Error reading input file: " + mem + "\n", 0));
    EXPECT_EQ(readfile(dir.file("out")), "");
}
