// webstow against a real web server: nginx with PUT enabled, started on a
// free loopback port by the test run (webstow_nginx.sh) and named to the test
// by the folder in WEBSTOW_NGINX. Skipped where nginx is not installed.
//
// The run starts it rather than this program: on Windows (under Wine) a test
// cannot start the host's nginx, a program of another system, but the
// Windows webstow reaches it through the same loopback sockets.
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

const std::string program = SUITE_BIN_DIR "/webstow";

// The server the run started: its URL and the folder it serves.
struct nginxserver {
    std::string base; // "http://127.0.0.1:port"; empty when there is none
    std::string root;
    std::string url(const std::string &path) const { return base + path; }
    std::string log() const {
        std::ifstream in(root + "/../error.log");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

nginxserver findserver() {
    nginxserver server;
    const char *folder = getenv("WEBSTOW_NGINX");
    if (folder == nullptr) return server;
    std::ifstream in(std::string(folder) + "/url");
    if (!std::getline(in, server.base)) server.base.clear();
    server.root = std::string(folder) + "/root";
    return server;
}

std::string randombytes(size_t size) {
    std::mt19937 generator(size);
    std::string data(size, 0);
    for (char &c : data)
        c = (char)generator();
    return data;
}

// The status line webstow showed.
std::string shownstatus(const std::string &out) {
    size_t at = out.find("Reading response from server...\n");
    if (at == std::string::npos) return "";
    at += 32;
    return out.substr(at, out.find('\n', at) - at);
}

} // namespace

TEST(WebstowNginx, StoresExactlyTheBytes) {
    nginxserver server = findserver();
    if (server.base.empty()) GTEST_SKIP() << "nginx is not installed (no server beside the test)";
    tempdir local;
    for (size_t size : {size_t(0), size_t(1), size_t(8192), size_t(5) << 20}) {
        // Not "r" + to_string(): GCC 12 at -O2 warns of an overlap there (a false alarm).
        std::string name = "r";
        name += std::to_string(size);
        std::string data = randombytes(size);
        writefile(local.file(name), data);
        // Under its local name: the URL ends in "/".
        runresult got = runprogram(program, {"-b", local.file(name), server.url("/dir/")});
        EXPECT_EQ(got.status, 201) << size << got.out << server.log();
        EXPECT_EQ(shownstatus(got.out), "HTTP/1.1 201 Created ") << size;
        EXPECT_TRUE(readfile(server.root + "/dir/" + name) == data) << size;

        // Again, other bytes under the same name: replaced.
        std::string other = randombytes(size + 3);
        writefile(local.file(name), other);
        got = runprogram(program, {local.file(name), server.url("/dir/" + name)});
        EXPECT_EQ(got.status, 204) << size << got.out;
        EXPECT_EQ(shownstatus(got.out), "HTTP/1.1 204 No Content ") << size;
        EXPECT_TRUE(readfile(server.root + "/dir/" + name) == other) << size;
    }
    // A folder that is not there: the server's refusal is the exit status
    // (500; on POSIX its low byte, 244).
#ifdef _WIN32
    const int refused = 500;
#else
    const int refused = 500 & 0xFF;
#endif
    writefile(local.file("x"), "x");
    runresult got = runprogram(program, {local.file("x"), server.url("/nodir/x")});
    EXPECT_EQ(got.status, refused);
    EXPECT_NE(got.out.find("** Error: the PUT operation failed, response code = 500\n"),
              std::string::npos)
        << got.out;
}
