// The record converter's routines: the table against the C library's own
// IBM-1047 converter, the parameter parsing, and the buffered record loop
// against a straight one-read-one-write-per-record model on scripted input
// and output that fail where we choose.
#include "recmend/recmend.h"
#include "tests/support/filetests.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#ifdef _WIN32
#include <io.h>
#else
#include <iconv.h>
#include <unistd.h>
#endif

using filetests::ibm1047;

#ifndef _WIN32
namespace {

// Every byte through iconv(3): ISO-8859-1 to IBM1047.
std::string iconvtable() {
    iconv_t cd = iconv_open("IBM1047", "ISO-8859-1");
    if (cd == (iconv_t)-1) return {};
    char in[256], out[256];
    for (int i = 0; i < 256; i++)
        in[i] = (char)i;
    char *from = in, *to = out;
    size_t left = sizeof in, room = sizeof out;
    size_t rc = iconv(cd, &from, &left, &to, &room);
    iconv_close(cd);
    if (rc == (size_t)-1 || left != 0 || room != 0) return {};
    return std::string(out, sizeof out);
}

} // namespace

// The tests' own copy of the table is the C library's.
TEST(RecmendTable, TestCopyIsIconvs) {
    std::string peer = iconvtable();
    ASSERT_EQ(peer.size(), 256u) << "iconv has no IBM1047 converter";
    EXPECT_TRUE(peer == ibm1047);
}
#endif

TEST(RecmendTable, AgreesWithIconvAndIsABijection) {
    bool seen[256] = {};
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(isotoebcdic[i], (BYTE)ibm1047[i]) << "input byte " << i;
        seen[isotoebcdic[i]] = true;
    }
    EXPECT_EQ(std::count(std::begin(seen), std::end(seen), true), 256);
    // The variant with line feed and next-line exchanged would pass a
    // bijection check; these two tell it apart.
    EXPECT_EQ(isotoebcdic[0x0A], 0x25);
    EXPECT_EQ(isotoebcdic[0x85], 0x15);

    BYTE record[] = {0x41, 0x20, 0x0A, 0x0D, 0x30};
    translaterecord(record, 4);
    EXPECT_EQ(std::string((char *)record, 5), std::string("\xC1\x40\x25\x0D\x30", 5));
}

TEST(RecmendParams, RecordLengthTexts) {
    struct row {
        const char *text;
        long value;
    };
    const row rows[] = {
        {"80", 80},         {" 80", 80},        {"0080", 80},
        {"32760", 32760},   {"32761", 32761},   {"1", 1},
        {"0", 0},           {"000000001", 1},   {"999999999", 999999999},
        {"  \t 7", -2},     {"   7", 7},        {"", -2},
        {"1234567890", -2}, {"          ", -2}, {"   ", -1},
        {"80 ", -2},        {"+80", -2},        {"-1", -2},
        {"8 0", -2},        {"8x", -2},         {"0x50", -2},
    };
    for (const row &r : rows)
        EXPECT_EQ(parsereclen(r.text, strlen(r.text)), r.value) << '"' << r.text << '"';
    // Only the given length counts, not what follows it.
    EXPECT_EQ(parsereclen("80xyz", 2), 80);
}

TEST(RecmendParams, DefaultOutputNames) {
    struct row {
        std::string in, out;
    };
    const row rows[] = {
        {"data.txt", "data_txt.bin"},
        {"a.b.c", "a_b_c.bin"},
        {"file", "file.bin"},
        {"..\\in.dat", "__\\in_dat.bin"},
        {"../in.dat", "__/in_dat.bin"},
        {"dir.d/sub/x.y", "dir_d/sub/x_y.bin"},
        {"", ".bin"},
        {std::string(795, 'n'), std::string(795, 'n') + ".bin"},
        {std::string(796, '.') + "tail", std::string(795, '_') + ".bin"},
    };
    for (const row &r : rows) {
        char out[outnamesize];
        memset(out, 'X', sizeof out);
        defaultoutname(r.in.c_str(), out, sizeof out);
        EXPECT_EQ(std::string(out), r.out) << r.in;
    }
    // A buffer too small for anything but the terminator stays safe.
    char tiny[5] = {'X', 'X', 'X', 'X', 'X'};
    defaultoutname("data", tiny, 4);
    EXPECT_EQ(tiny[0], 0);
    EXPECT_EQ(tiny[4], 'X');
}

// ---- the record loop ---------------------------------------------------------

namespace {

constexpr size_t never = (size_t)-1;

// Scripted input: hands out its bytes at most `chunk` at a time (0: as many as
// asked, as a file does); the byte at `failat` cannot be read, and a read that
// reaches it delivers the bytes before it and fails, as a disk read does.
struct scriptin {
    std::string data;
    size_t pos = 0, chunk = 0, failat = never;
    unsigned calls = 0;
};

// Scripted output: accepts bytes until `failat`; the write that reaches it
// writes up to there and fails (or, with `quiet`, reports success short).
struct scriptout {
    std::string data;
    size_t failat = never;
    bool quiet = false;
    unsigned calls = 0;
};

BOOL WINAPI scriptread(HANDLE h, LPVOID buffer, DWORD toread, LPDWORD read, LPOVERLAPPED) {
    scriptin *s = static_cast<scriptin *>(h);
    s->calls++;
    size_t n = std::min<size_t>(toread, s->data.size() - s->pos);
    if (s->chunk != 0) n = std::min(n, s->chunk);
    bool fail = s->failat >= s->pos && s->failat < s->pos + n;
    if (fail) n = s->failat - s->pos;
    memcpy(buffer, s->data.data() + s->pos, n);
    s->pos += n;
    *read = (DWORD)n;
    return fail ? FALSE : TRUE;
}

BOOL WINAPI scriptwrite(HANDLE h, LPCVOID buffer, DWORD towrite, LPDWORD written, LPOVERLAPPED) {
    scriptout *s = static_cast<scriptout *>(h);
    s->calls++;
    size_t n = towrite;
    bool fail = s->failat != never && s->data.size() + n > s->failat;
    if (fail) n = s->failat - s->data.size();
    s->data.append(static_cast<const char *>(buffer), n);
    *written = (DWORD)n;
    return fail && !s->quiet ? FALSE : TRUE;
}

struct outcome {
    std::string out;
    int result;
    DWORD count;
    std::string said; // what the loop printed
};

// The one line the loop prints for each result.
std::string lineof(int result) {
    switch (result) {
    case recok: return "";
    case recreaderror: return "** Error reading input file: in\n";
    case recshort: return "** Input data error: Input file is too short\n";
    case recnocrlf: return "** Input data error: Expected CRLF not found\n";
    case recwriteerror: return "** Error writing output file: out\n";
    default: return "unexpected result";
    }
}

// Standard output into a file while it lives, so each call's lines can be
// read: each take reads on from where the last one ended.
class stdoutfile {
  public:
    stdoutfile() {
        fflush(stdout);
        writer = fopen(dir.file("stdout").c_str(), "wb");
        reader = fopen(dir.file("stdout").c_str(), "rb");
        saved = dup(1);
        if (writer != nullptr) dup2(fileno(writer), 1);
    }
    ~stdoutfile() {
        fflush(stdout);
        dup2(saved, 1);
        close(saved);
        if (writer != nullptr) fclose(writer);
        if (reader != nullptr) fclose(reader);
    }
    std::string take() {
        fflush(stdout);
        // The seek drops what the stream held from the last read and its end.
        if (writer == nullptr || reader == nullptr || fseek(reader, taken, SEEK_SET) != 0)
            return "no capture file";
        std::string got;
        char chunk[512];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, reader)) > 0)
            got.append(chunk, n);
        taken += (long)got.size();
#ifdef _WIN32
        // Should the descriptor be in text mode, lines end in CR LF.
        for (size_t at; (at = got.find("\r\n")) != std::string::npos;)
            got.erase(at, 1);
#endif
        return got;
    }

  private:
    tempdir dir;
    FILE *writer = nullptr, *reader = nullptr;
    int saved = -1;
    long taken = 0;
};

stdoutfile *capture = nullptr; // set while a test reads the loop's lines

// One read request of reclen + 2 and one write request of reclen per record,
// step by step as the converter is defined, on the same scripts.
outcome perrecord(const std::string &in, DWORD reclen, size_t readfail, size_t writefail) {
    const std::string &peer = ibm1047;
    outcome o{{}, recok, 0, {}};
    size_t piece = reclen + 2, pos = 0;
    for (;;) {
        size_t n = std::min(piece, in.size() - pos);
        if (readfail < in.size() && readfail < pos + piece) return o.result = recreaderror, o;
        if (n == 0) return o;
        if (n < piece) return o.result = recshort, o;
        if (in[pos + reclen] != '\r' || in[pos + reclen + 1] != '\n')
            return o.result = recnocrlf, o;
        std::string record;
        for (size_t i = 0; i < reclen; i++)
            record += peer[(unsigned char)in[pos + i]];
        if (writefail != never && o.out.size() + reclen > writefail) {
            o.out += record.substr(0, writefail - o.out.size());
            return o.result = recwriteerror, o;
        }
        o.out += record;
        o.count++;
        pos += piece;
    }
}

outcome buffered(const std::string &in, DWORD reclen, DWORD buffersize, size_t chunk,
                 size_t readfail, size_t writefail, bool quiet, unsigned *writes = nullptr) {
    scriptin si;
    si.data = in;
    si.chunk = chunk;
    si.failat = readfail;
    scriptout so;
    so.failat = writefail;
    so.quiet = quiet;
    std::vector<BYTE> buffer(buffersize);
    recordio io = {&si, &so, scriptread, scriptwrite, "in", "out"};
    outcome o;
    o.result = convertrecords(io, reclen, buffer.data(), buffersize, &o.count);
    o.out = so.data;
    if (capture != nullptr) o.said = capture->take();
    if (writes != nullptr) *writes = so.calls;
    return o;
}

// `records` good records of mixed bytes (CR LF among them), then `tail`.
std::string records(DWORD reclen, size_t count, unsigned seed = 1) {
    std::string s;
    for (size_t r = 0; r < count; r++) {
        for (DWORD i = 0; i < reclen; i++) {
            seed = seed * 1103515245u + 12345u;
            s += (i % 7 == 3) ? '\r' : (i % 7 == 4) ? '\n' : (char)(seed >> 16);
        }
        s += "\r\n";
    }
    return s;
}

} // namespace

TEST(RecmendLoop, BufferedAgreesWithOneRequestPerRecord) {
    stdoutfile lines;
    capture = &lines;
    int cases = 0;
    for (DWORD reclen : {1u, 3u, 80u}) {
        const DWORD piece = reclen + 2;
        for (DWORD buffersize : {piece, 2 * piece + 1, 3 * piece, 6 * piece - 1}) {
            for (size_t n : {0u, 1u, 5u, 11u}) {
                std::string good = records(reclen, n, (unsigned)(reclen + n));
                // The whole file; a short last piece; a bad CR LF in the
                // first, a middle and the last record and at each buffer's end.
                std::vector<std::string> inputs = {good, good + "x",
                                                   good + std::string(piece - 1, '\n')};
                std::vector<size_t> badat = {0, n / 2, n - 1, buffersize / piece - 1,
                                             buffersize / piece};
                for (size_t k : badat) {
                    if (n == 0 || k >= n) continue;
                    std::string bad = good;
                    bad[k * piece + reclen + (k % 2)] = 'y'; // CR or LF missing
                    inputs.push_back(bad);
                }
                for (const std::string &in : inputs) {
                    std::vector<size_t> readfails = {never,
                                                     0,
                                                     in.size() / 2,
                                                     in.size() - 1,
                                                     (size_t)buffersize,
                                                     (size_t)buffersize + 1};
                    std::vector<size_t> writefails = {never, 0, (size_t)reclen * n / 2,
                                                      (size_t)reclen * 2 + 1};
                    for (size_t rf : readfails)
                        for (size_t wf : writefails)
                            for (size_t chunk : {0u, 1u, 7u})
                                for (bool quiet : {false, true}) {
                                    outcome want = perrecord(in, reclen, rf, wf);
                                    outcome got =
                                        buffered(in, reclen, buffersize, chunk, rf, wf, quiet);
                                    SCOPED_TRACE(testing::Message()
                                                 << "reclen " << reclen << " buffer " << buffersize
                                                 << " input " << in.size() << " readfail " << rf
                                                 << " writefail " << wf << " chunk " << chunk);
                                    ASSERT_EQ(got.result, want.result);
                                    ASSERT_EQ(got.count, want.count);
                                    ASSERT_EQ(got.out, want.out);
                                    ASSERT_EQ(got.said, lineof(want.result));
                                    cases++;
                                }
                }
            }
        }
    }
    capture = nullptr;
    EXPECT_GT(cases, 1000);
}

TEST(RecmendLoop, ManyRecordsPerRequest) {
    // 1000 records of 80 through a buffer of 100 pieces: ten writes, not a
    // thousand, and eleven reads (the last one finds the end).
    std::string in = records(80, 1000);
    unsigned writes = 0;
    outcome got = buffered(in, 80, 100 * 82, 0, never, never, false, &writes);
    EXPECT_EQ(got.result, recok);
    EXPECT_EQ(got.count, 1000u);
    EXPECT_EQ(got.out, perrecord(in, 80, never, never).out);
    EXPECT_EQ(writes, 10u);
}

// ---- the output never replaces the input --------------------------------------

TEST(RecmendOutput, SameFileByEverySpelling) {
    tempdir dir;
    std::string in = dir.file("in.txt");
    writefile(in, "ABCD\r\n");
    writefile(dir.file("other"), "x");
    ASSERT_TRUE(filetests::hardlink(in, dir.file("hard")));
    ASSERT_TRUE(filetests::makefolder(dir.file("sub")));
    struct row {
        std::string name;
        int same;
    };
    std::vector<row> rows = {
        {in, 1},
        {dir.file("sub/../in.txt"), 1},
        {dir.path() + "//./in.txt", 1},
        {dir.file("hard"), 1},
        {dir.file("other"), 0},
    };
#ifdef _WIN32
    // Windows' own spellings: '\', another letter case, and under Wine drive
    // Z:, the Unix root. (Wine makes symbolic links but cannot open a file
    // through one.)
    rows.push_back({dir.path() + "\\sub\\..\\.\\in.txt", 1});
    rows.push_back({dir.path() + "\\IN.TXT", 1});
    if (underwine()) rows.push_back({filetests::unixspelling(in), 1});
#else
    ASSERT_EQ(symlink("in.txt", dir.file("soft").c_str()), 0);
    rows.push_back({dir.file("soft"), 1});
#endif
    // Both opens share everything, so that the share modes let them meet and
    // the identity alone has to tell.
    DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE a = CreateFileA(in.c_str(), GENERIC_READ, all, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    for (const row &r : rows) {
        ASSERT_FALSE(r.name.empty());
        HANDLE b =
            CreateFileA(r.name.c_str(), GENERIC_READ, all, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(b, INVALID_HANDLE_VALUE) << r.name;
        EXPECT_EQ(sameidentity(a, b), r.same) << r.name;
        CloseHandle(b);
    }
    EXPECT_EQ(sameidentity(a, INVALID_HANDLE_VALUE), -1);

    // createoutput refuses each spelling and leaves the input as it was.
    for (const row &r : rows) {
        if (r.same != 1) continue;
        EXPECT_EQ(createoutput(a, r.name.c_str()), INVALID_HANDLE_VALUE) << r.name;
        EXPECT_EQ(readfile(in), "ABCD\r\n") << r.name;
    }
    CloseHandle(a);
}

TEST(RecmendOutput, ReplacesAnotherFileAndCreatesANewOne) {
    tempdir dir;
    writefile(dir.file("in"), "x");
    writefile(dir.file("old"), "previous contents");
    HANDLE in = CreateFileA(dir.file("in").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    for (const char *name : {"old", "new"}) {
        HANDLE out = createoutput(in, dir.file(name).c_str());
        ASSERT_NE(out, INVALID_HANDLE_VALUE) << name;
        DWORD written;
        EXPECT_TRUE(WriteFile(out, "ok", 2, &written, nullptr));
        EXPECT_TRUE(CloseHandle(out));
        EXPECT_EQ(readfile(dir.file(name)), "ok") << name;
    }
    // A device has no length to cut and is used as it is.
    HANDLE out = createoutput(in, filetests::nulldevice.c_str());
    EXPECT_NE(out, INVALID_HANDLE_VALUE);
    CloseHandle(out);
    EXPECT_EQ(createoutput(in, dir.file("nofolder/out").c_str()), INVALID_HANDLE_VALUE);
    CloseHandle(in);
}
