// webstow run as a user runs it: the command lines it refuses, and uploads to
// a loopback peer that records the request and answers as scripted.
#include "tests/support/httppeer.h"
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const std::string program = SUITE_BIN_DIR "/webstow";

const std::string usage =
    "webstow command: Sends a file to an HTTP server by a PUT request.\n"
    "Usage:  webstow [options] localfile http://domain[:port]/path/[remotefile]\n"
    "                   [userid] [password]\n"
    "Options:  -h         Display short help and exit (no operation is done)\n"
    "          -v         Display version and copyright information and exit\n"
    "          -b         Binary file\n"
    "          -t         Text file\n"
    "          -binfc80   Binary file, to be stored on a KESTREL HTTP server\n"
    "                     as RECFM=FC LRECL=80\n"
    "          -a         Show all response records from the server\n"
    "Defaults: port: 80. path: none. remotefile: same name as localfile but\n"
    "          without the path of the localfile. userid: none.\n"
    "          password: prompts for it. file type: none.\n"
    "Examples:\n"
    "  webstow -t -a c:\\data\\myfile.txt http://kestrel.example.com/here/ myid\n"
    "  webstow -b pic1.jpg http://web.example.com/abc/http/pic2.jpg abc\n"
    "  webstow -binfc80 files.arc http://web.example.com:800/abc/ abc\n";

const std::string banner = "webstow command, version 1.0.\n"
                           "Copyright (c) 2026 the KESTREL workstation suite developers.\n"
                           "For short help, type:  webstow -h\n";

// The rate line's figures depend on the clock: check its form, keep the count.
std::string steadyrate(const std::string &out) {
    static const std::regex rate(
        "\n (\\d+) file bytes sent in \\d+\\.\\d secs, \\d+\\.\\d\\d KBytes/sec\n");
    return std::regex_replace(out, rate, "\n $1 file bytes sent in T secs, R KBytes/sec\n",
                              std::regex_constants::format_first_only);
}

// What the console shows from the connection to the response.
std::string transcript(int port, const std::string &records, size_t bytes,
                       const std::string &response) {
    return "Connecting to server 127.0.0.1 (127.0.0.1), port " + std::to_string(port) +
           " ...\nConnected. Sending request records to server...\n" + records +
           "Sending file data to server...\n " + std::to_string(bytes) +
           " file bytes sent in T secs, R KBytes/sec\nReading response from server...\n" + response;
}

// The exit status of a server's code: Windows passes all 32 bits of it to the
// caller; POSIX only 8, and there webstow keeps the low byte or makes it 255.
constexpr int statusof(int posix, int windows) {
#ifdef _WIN32
    (void)posix;
    return windows;
#else
    (void)windows;
    return posix;
#endif
}

std::string patterned(size_t size) {
    std::string data(size, 0);
    for (size_t i = 0; i < size; i++)
        data[i] = (char)((i * 2654435761u) >> 13);
    return data;
}

} // namespace

TEST(Webstow, RefusedCommandLines) {
    struct row {
        std::vector<std::string> args;
        std::string out;
    };
    // Far beyond every limit. Windows takes command lines of up to 32767
    // characters, and Wine at times fails to start one near that size.
#ifdef _WIN32
    const std::string u257(257, 'u'), longarg(10000, 'x');
#else
    const std::string u257(257, 'u'), longarg(100000, 'x');
#endif
    const std::string path925 = "/" + std::string(924, 'p');
    const std::string dir923 = "/" + std::string(921, 'd') + "/";
    const std::string host925 = std::string(920, 'h') + ":8080";
    std::vector<row> rows = {
        {{}, usage},
        {{"-h", "f", "http://h/"}, usage},
        {{"-v"}, banner},
        {{"-v", "-h"}, banner + usage},
        {{"-h", "-v", "f", "http://h/"}, banner + usage},
        {{"-B", "f", "http://h/"}, "** Error: invalid option: -B\n" + usage},
        {{"-A"}, "** Error: invalid option: -A\n" + usage},
        {{"-t", "-bin"}, "** Error: invalid option: -bin\n" + usage},
        {{"-binfc"}, "** Error: invalid option: -binfc\n" + usage},
        {{"-"}, "** Error: invalid option: -\n" + usage},
        {{"-\xe9t\xe9"}, "** Error: invalid option: -\xe9t\xe9\n" + usage},
        {{"-t"}, "** Error: a required parameter is missing\n" + usage},
        {{"-t", "f"}, "** Error: a required parameter is missing\n" + usage},
        {{"dir/", "http://h/"}, "** Error: invalid local file name dir/\n" + usage},
        {{"", "http://h/"}, "** Error: invalid local file name \n" + usage},
        {{"f", "ftp://h/x"}, "** Error: URL does not start http:// : ftp://h/x\n" + usage},
        {{"f", "http:/"}, "** Error: URL does not start http:// : http:/\n" + usage},
        {{"f", ""}, "** Error: URL does not start http:// : \n" + usage},
        {{"f", "http://"}, "** Error: invalid or incomplete URL: http://\n" + usage},
        {{"f", "http://host"}, "** Error: invalid or incomplete URL: http://host\n" + usage},
        {{"f", "http://host:8080"},
         "** Error: invalid or incomplete URL: http://host:8080\n" + usage},
        {{"f", "http://host:"}, "** Error: invalid or incomplete URL: http://host:\n" + usage},
        {{"f", "http:///x"}, "** Error: invalid URL: http:///x\n" + usage},
        {{"f", "http://:80/x"}, "** Error: invalid URL: http://:80/x\n" + usage},
        {{"f", "http://h:/x"}, "** Error: invalid port number in URL\n" + usage},
        {{"f", "http://h:0/x"}, "** Error: invalid port number in URL\n" + usage},
        {{"f", "http://h:000/x"}, "** Error: invalid port number in URL\n" + usage},
        {{"f", "http://h:8a/x"}, "** Error: invalid port number in URL\n" + usage},
        {{"f", "http://h:-1/x"}, "** Error: invalid port number in URL\n" + usage},
        {{"f", "http://h:65536/x"}, "** Error: invalid port number in URL\n" + usage},
        {{"f", "http://h:99999999999999999999/x"},
         "** Error: invalid port number in URL\n" + usage},
        {{"f", "http://h/", u257}, "** Error: userid is too long, max length is 256\n" + usage},
        {{"f", "http://h/", "u", u257},
         "** Error: password is too long, max length is 256\n" + usage},
        {{"f", "http://h/", longarg}, "** Error: userid is too long, max length is 256\n" + usage},
        {{"f", "http://h/", "u", "p", "x"}, "** Error: excess parameters\n" + usage},
        {{"f", "http://h" + path925},
         "** Error: path+name is too long, max length is 924\n" + usage},
        {{"dir/ab", "http://h" + dir923},
         "** Error: path+name is too long, max length is 924\n" + usage},
        {{longarg, "http://h/"}, "** Error: path+name is too long, max length is 924\n" + usage},
        {{"f", "http://h/" + longarg},
         "** Error: path+name is too long, max length is 924\n" + usage},
        {{"f", "http://" + host925 + "/"},
         "** Error: domain name is too long, max length is 924\n" + usage},
        {{"f", "http://" + longarg + "/"},
         "** Error: domain name is too long, max length is 924\n" + usage},
        // Parameters are taken in order: the first fault is the one reported.
        {{"f", "http://h" + path925, u257},
         "** Error: userid is too long, max length is 256\n" + usage},
        {{"f", "http://" + host925 + path925},
         "** Error: path+name is too long, max length is 924\n" + usage},
    };
#ifdef _WIN32
    // Windows splits the local name at '\\' and ':' too (elsewhere these are
    // name characters, and such a file would be sent).
    rows.push_back({{"dir\\", "http://h/"}, "** Error: invalid local file name dir\\\n" + usage});
    rows.push_back({{"c:", "http://h/"}, "** Error: invalid local file name c:\n" + usage});
#endif
    for (const row &r : rows) {
        std::string name = r.args.empty() ? "(none)" : r.args.back().substr(0, 40);
        runresult got = runprogram(program, r.args);
        EXPECT_EQ(got.status, 1) << name;
        EXPECT_EQ(got.out, r.out) << name;
        EXPECT_EQ(got.err, "") << name;
    }
}

TEST(Webstow, RequestBytes) {
    tempdir dir;
    struct row {
        std::string name;
        std::vector<std::string> options; // before the file
        std::string file;                 // local file name
        size_t size;
        std::string path; // of the URL
        std::vector<std::string> credentials;
        std::string target;  // in the request line
        std::string records; // after Host, as sent (CR LF ends each)
        std::string shown;   // after Host, as shown
    };
    const row rows[] = {
        {"text",
         {"-t"},
         "my.txt",
         1234,
         "/dir/",
         {},
         "/dir/my.txt",
         "Content-Type: text/plain\r\nContent-Length: 1234\r\n",
         "Content-Type: text/plain\nContent-Length: 1234\n"},
        {"binary with userid",
         {"-b"},
         "pic.jpg",
         256,
         "/abc/pic2.jpg",
         {"user", "pass"},
         "/abc/pic2.jpg",
         "Authorization: Basic dXNlcjpwYXNz\r\nContent-Type: application/octet-stream\r\n"
         "Content-Length: 256\r\n",
         "Authorization: Basic dXNl...\nContent-Type: application/octet-stream\n"
         "Content-Length: 256\n"},
        {"fixed-80",
         {"-binfc80"},
         "files.arc",
         800,
         "/",
         {"me", ""},
         "/files.arc",
         "Authorization: Basic bWU6\r\nContent-Type: application/x-kst-binary-fc80\r\n"
         "Content-Length: 800\r\n",
         "Authorization: Basic bWU6...\nContent-Type: application/x-kst-binary-fc80\n"
         "Content-Length: 800\n"},
        {"untyped",
         {},
         "data.bin",
         10,
         "/a%20b/new name?",
         {},
         "/a%20b/new name?",
         "Content-Length: 10\r\n",
         "Content-Length: 10\n"},
        {"empty",
         {"-b"},
         "empty",
         0,
         "/up/",
         {},
         "/up/empty",
         "Content-Type: application/octet-stream\r\nContent-Length: 0\r\n",
         "Content-Type: application/octet-stream\nContent-Length: 0\n"},
        {"one chunk less a byte",
         {},
         "f8191",
         8191,
         "/",
         {},
         "/f8191",
         "Content-Length: 8191\r\n",
         "Content-Length: 8191\n"},
        {"one chunk",
         {},
         "f8192",
         8192,
         "/",
         {},
         "/f8192",
         "Content-Length: 8192\r\n",
         "Content-Length: 8192\n"},
        {"one chunk and a byte",
         {},
         "f8193",
         8193,
         "/",
         {},
         "/f8193",
         "Content-Length: 8193\r\n",
         "Content-Length: 8193\n"},
    };
    for (const row &r : rows) {
        std::string data = patterned(r.size);
        writefile(dir.file(r.file), data);
        httppeer peer({"HTTP/1.0 201 Created\r\n\r\n"});
        std::string host = "127.0.0.1:" + std::to_string(peer.port());
        std::vector<std::string> args = r.options;
        args.push_back(dir.file(r.file));
        args.push_back(peer.url(r.path));
        args.insert(args.end(), r.credentials.begin(), r.credentials.end());
        runresult got = runprogram(program, args);
        EXPECT_EQ(got.status, 201) << r.name;
        EXPECT_EQ(peer.request(), "PUT " + r.target + " HTTP/1.0\r\nHost: " + host + "\r\n" +
                                      r.records + "\r\n" + data)
            << r.name;
        EXPECT_EQ(steadyrate(got.out),
                  transcript(peer.port(),
                             "PUT " + r.target + " HTTP/1.0\nHost: " + host + "\n" + r.shown,
                             r.size, "HTTP/1.0 201 Created \n 2 response records received\n"))
            << r.name;
    }
}

// GCC 12 at -O2 (the Windows build) takes the strings of this table, on the
// path that unwinds a partly built one, for maybe uninitialized: a false alarm.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
TEST(Webstow, Verdicts) {
    tempdir dir;
    writefile(dir.file("f"), "data");
    const std::string x1100(1100, 'x');
    const std::string nolf(100000, 'x');
    const std::string blanks1015(1015, ' ');
    std::string garbage;
    for (int i = 0; i < 256; i++)
        garbage += (char)(255 - i);
    std::string garbageshown = garbage.substr(0, 246); // up to its only LF
    garbageshown[242] = ' ';                           // its CR
    std::string endless = "HTTP/1.0 200 OK\r\n";       // and on, until the server closes
    for (int i = 0; i < 100000; i++)
        endless += "one more line of a long answer\r\n";
    struct row {
        std::string name;
        peerscript script;
        bool showall;
        int status;
        std::string shown; // after "Reading response from server...\n"
    };
    const row rows[] = {
        {"created",
         {"HTTP/1.0 201 Created\r\n"},
         false,
         201,
         "HTTP/1.0 201 Created \n 1 response records received\n"},
        {"not found",
         {"HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\n<html>"},
         false,
         statusof(148, 404),
         "HTTP/1.1 404 Not Found \n 3 response records received\n"
         "** Error: the PUT operation failed, response code = 404\n"},
        {"continue",
         {"HTTP/1.0 100 Continue\r\n\r\n"},
         false,
         100,
         "HTTP/1.0 100 Continue \n 2 response records received\n"
         "** Error: the PUT operation failed, response code = 100\n"},
        {"blanks",
         {"HTTP/1.0  200 OK\n"},
         false,
         200,
         "HTTP/1.0  200 OK\n 1 response records received\n"},
        {"no line feed",
         {"HTTP/1.0 200"},
         false,
         200,
         "HTTP/1.0 200 0 response records received\n"},
        // A success code whose low byte is 0: on POSIX 255, not a status that
        // reads as success.
        {"status 256",
         {"HTTP/1.0 256 X\r\n"},
         false,
         statusof(255, 256),
         "HTTP/1.0 256 X \n 1 response records received\n"},
        {"status 999",
         {"HTTP/1.0 999 X\r\n"},
         false,
         statusof(231, 999),
         "HTTP/1.0 999 X \n 1 response records received\n"
         "** Error: the PUT operation failed, response code = 999\n"},
        {"lower case",
         {"http/1.0 200 OK\r\n"},
         false,
         15,
         "http/1.0 200 OK \n 1 response records received\n"
         "** Error: invalid first response record from server\n"},
        {"no code",
         {"HTTP/1.0\r\n"},
         false,
         15,
         "HTTP/1.0 \n 1 response records received\n** Error: invalid first response record from "
         "server\n"},
        {"letters",
         {"HTTP/1.0 abc\r\n"},
         false,
         15,
         "HTTP/1.0 abc \n 1 response records received\n** Error: invalid first response record "
         "from server\n"},
        {"four digits",
         {"HTTP/1.0 2000 OK\r\n"},
         false,
         15,
         "HTTP/1.0 2000 OK \n 1 response records received\n** Error: invalid first response record "
         "from server\n"},
        {"below 100",
         {"HTTP/1.0 99 X\r\n"},
         false,
         15,
         "HTTP/1.0 99 X \n 1 response records received\n** Error: invalid first response record "
         "from server\n"},
        {"closed without an answer",
         {""},
         false,
         15,
         " 0 response records received\n** Error: invalid first response record from server\n"},
        // Shown whole, judged on its first 1023 characters.
        {"long first record",
         {"HTTP/1.0 201 " + x1100 + "\r\nnext\r\n"},
         false,
         201,
         "HTTP/1.0 201 " + x1100 + " \n 2 response records received\n"},
        {"code beyond 1023",
         {"HTTP/1.0" + blanks1015 + "200 OK\r\n"},
         false,
         15,
         "HTTP/1.0" + blanks1015 +
             "200 OK \n 1 response records received\n"
             "** Error: invalid first response record from server\n"},
        {"all records",
         {"HTTP/1.0 201 Created\r\nA: b\r\n\r\nbody"},
         true,
         201,
         "HTTP/1.0 201 Created \nA: b \n \nbody"},
        {"slow",
         {"HTTP/1.0 201 Created\r\nX: y\r\n\r\n", 1, 3},
         false,
         201,
         "HTTP/1.0 201 Created \n 3 response records received\n"},
        {"binary garbage",
         {garbage},
         false,
         15,
         garbageshown + " 1 response records received\n"
                        "** Error: invalid first response record from server\n"},
        {"no line feed at all",
         {nolf},
         false,
         15,
         nolf +
             " 0 response records received\n** Error: invalid first response record from server\n"},
        {"long stream",
         {endless, 65536},
         false,
         200,
         "HTTP/1.0 200 OK \n 100001 response records received\n"},
    };
    for (const row &r : rows) {
        httppeer peer(r.script);
        std::vector<std::string> args;
        if (r.showall) args.push_back("-a");
        args.push_back(dir.file("f"));
        args.push_back(peer.url("/f"));
        runresult got = runprogram(program, args);
        EXPECT_EQ(got.status, r.status) << r.name;
        EXPECT_EQ(steadyrate(got.out),
                  transcript(peer.port(),
                             "PUT /f HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(peer.port()) +
                                 "\nContent-Length: 4\n",
                             4, r.shown))
            << r.name;
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

TEST(Webstow, ConnectionFailures) {
    tempdir dir;
    writefile(dir.file("f"), "data");

    // Reset after the request: the read fails.
    {
        peerscript script;
        script.reset = true;
        httppeer peer(script);
        runresult got = runprogram(program, {dir.file("f"), peer.url("/f")});
        EXPECT_EQ(got.status, 13);
        EXPECT_NE(got.out.find("Reading response from server...\n\n"
                               "** Error reading from socket, socerrn=10054\n"
                               "   Connection reset by server\n"),
                  std::string::npos)
            << got.out;
    }
    // Reset while the file is still going out: the send fails. The file is
    // far larger than what the two sockets can buffer.
    {
        std::string big = patterned(32 << 20);
        writefile(dir.file("big"), big);
        peerscript script;
        script.readrequest = false;
        script.reset = true;
        script.pausems = 200; // the header is in by then
        httppeer peer(script);
        runresult got = runprogram(program, {dir.file("big"), peer.url("/big")});
        EXPECT_EQ(got.status, 8);
        const std::string error = "** Error writing to socket, socerrn=10054\n"
                                  "   Connection reset by server\n";
        EXPECT_TRUE(got.out.ends_with(error)) << got.out;
    }
    // Closed at once, nothing read: the request meets either the close or the
    // reset that data sent after it brings, so the run ends in one of three
    // ways, each a failure with its own lines.
    {
        peerscript script;
        script.readrequest = false;
        httppeer peer(script);
        runresult got = runprogram(program, {dir.file("f"), peer.url("/f")});
        const std::string reset = "socerrn=10054\n   Connection reset by server\n";
        bool reported =
            (got.status == 8 && got.out.ends_with("** Error writing to socket, " + reset)) ||
            (got.status == 13 && got.out.ends_with("\n** Error reading from socket, " + reset)) ||
            (got.status == 15 && got.out.ends_with(" 0 response records received\n** Error: "
                                                   "invalid first response record from server\n"));
        EXPECT_TRUE(reported) << got.status << "\n" << got.out;
    }
    // Refused: two lines.
    int port = closedport();
    runresult got =
        runprogram(program, {dir.file("f"), "http://127.0.0.1:" + std::to_string(port) + "/"});
    EXPECT_EQ(got.status, 6);
    EXPECT_EQ(got.out,
              "Connecting to server 127.0.0.1 (127.0.0.1), port " + std::to_string(port) +
                  " ...\n** Error: unable to connect, socerrn=10061\n   Connection refused\n");
}

// A file that opens but cannot be read.
TEST(Webstow, UnreadableFile) {
#ifdef _WIN32
    // Its first byte locked by this process: another one may open it but not
    // read there.
    if (underwine()) GTEST_SKIP() << "Wine does not stop a read of a range another process locked";
    tempdir dir;
    const std::string unreadable = dir.file("locked");
    writefile(unreadable, "locked");
    HANDLE holder = CreateFileA(unreadable.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(holder, 0, 0, 1, 0));
    const std::string reason = "** Error 33 (File lock violation)";
#else
    const std::string unreadable = "/proc/self/mem"; // fails at offset 0
    const std::string reason = "** Error ";
#endif
    httppeer peer({"HTTP/1.0 201 Created\r\n"});
    runresult got = runprogram(program, {unreadable, peer.url("/mem")});
#ifdef _WIN32
    CloseHandle(holder);
#endif
    EXPECT_EQ(got.status, 12);
    std::string tail = got.out.substr(got.out.find("Sending file data to server...\n") + 31);
    EXPECT_TRUE(tail.starts_with(reason) &&
                tail.ends_with(") reading local file " + unreadable + "\n"))
        << got.out;
}

TEST(Webstow, LocalFileAndServerName) {
    tempdir dir;
    writefile(dir.file("f"), "data");
    // A sparse file of 4 GB: too big, without writing 4 GB.
    writefile(dir.file("huge"), "");
#ifdef _WIN32
    HANDLE huge =
        CreateFileA(dir.file("huge").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(huge, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(huge, 0, &high, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(huge));
    CloseHandle(huge);
#else
    ASSERT_EQ(truncate(dir.file("huge").c_str(), 1LL << 32), 0);
#endif
    struct row {
        std::string file, url;
        int status;
        std::string out;
    };
    const row rows[] = {
        {dir.file("missing"), "http://127.0.0.1/", 2,
         "** Error 2 (File not found) opening local file: " + dir.file("missing") + "\n"},
        {dir.path(), "http://127.0.0.1/x", 2,
         "** Error 5 (Access denied) opening local file: " + dir.path() + "\n"},
        {dir.file("huge"), "http://127.0.0.1/", 11,
         "** Error: local file is too big. Max size is 4GB (2**32-1 bytes)\n"},
        {dir.file("f"), "http://0.0.0.0/", 4,
         "** Error: unable to resolve server name 0.0.0.0 to IP address\n"},
        {dir.file("f"), "http://255.255.255.255:8080/", 4,
         "** Error: unable to resolve server name 255.255.255.255 to IP address\n"},
        {dir.file("f"), "http://no-such-host.invalid/", 4,
         "** Error: unable to resolve server name no-such-host.invalid to IP address\n"},
    };
    for (const row &r : rows) {
        runresult got = runprogram(program, {r.file, r.url, "user"});
        EXPECT_EQ(got.status, r.status) << r.url;
        EXPECT_EQ(got.out, r.out) << r.url; // and no password asked
    }
}

// The name a URL ending in "/" gets is the local file's name without its
// folder: on Windows after the last '/', '\' or ':' (a drive), elsewhere
// after the last '/'.
TEST(Webstow, LocalNameOfTheTarget) {
    tempdir dir;
    struct row {
        std::string file; // written under dir
        std::string arg;  // the local file as given, run in dir
        std::string target;
    };
#ifdef _WIN32
    const std::string drive = dir.path().substr(0, 2); // "C:"
    const row rows[] = {
        {"sub/f1", dir.path() + "\\sub\\f1", "/up/f1"},
        {"sub/f2", "sub\\f2", "/up/f2"},
        {"sub/f3", drive + "sub\\f3", "/up/f3"}, // the drive's current folder: dir
        {"f4", drive + "f4", "/up/f4"},
        {"sub/f5", "sub/f5", "/up/f5"},
    };
#else
    const row rows[] = {
        {"sub/f1", dir.path() + "/sub/f1", "/up/f1"},
        {"a\\b", "a\\b", "/up/a\\b"},
        {"c:f", "c:f", "/up/c:f"},
    };
#endif
    std::filesystem::create_directory(dir.file("sub"));
    for (const row &r : rows) {
        writefile(dir.file(r.file), "12345");
        httppeer peer({"HTTP/1.0 201 Created\r\n"});
        runresult got = runprogram(program, {r.arg, peer.url("/up/")}, dir.path());
        EXPECT_EQ(got.status, 201) << r.arg << "\n" << got.out;
        EXPECT_EQ(peer.request(), "PUT " + r.target + " HTTP/1.0\r\nHost: 127.0.0.1:" +
                                      std::to_string(peer.port()) +
                                      "\r\nContent-Length: 5\r\n\r\n12345")
            << r.arg;
    }
}
