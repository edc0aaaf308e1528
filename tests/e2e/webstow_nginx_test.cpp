// webstow against a real web server: nginx with PUT enabled, started on a
// free loopback port for the test. Skipped where nginx is not installed.
#include "tests/support/httppeer.h"
#include "tests/support/run.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string program = SUITE_BIN_DIR "/webstow";
const std::string nginxprogram = "/usr/sbin/nginx";

bool accepting(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, (sockaddr *)&a, sizeof a) == 0;
    close(fd);
    return ok;
}

// One nginx process (no master, no daemon) serving `root` with PUT, its
// configuration, logs and temporary files in a folder of its own.
class nginxserver {
  public:
    nginxserver() {
        port = closedport();
        mkdir(root().c_str(), 0755);
        mkdir((root() + "/dir").c_str(), 0755);
        std::ofstream conf(dir.file("nginx.conf"));
        conf << "daemon off;\nmaster_process off;\n"
             << "pid " << dir.file("nginx.pid") << ";\n"
             << "error_log " << dir.file("error.log") << ";\n"
             << "events { worker_connections 16; }\n"
             << "http {\n  access_log off;\n"
             << "  client_body_temp_path " << dir.file("body") << ";\n"
             << "  client_max_body_size 0;\n"
             << "  server {\n    listen 127.0.0.1:" << port << ";\n"
             << "    root " << root() << ";\n"
             << "    location / { dav_methods PUT; }\n  }\n}\n";
        conf.close();
        pid = fork();
        if (pid == 0) {
            execl(nginxprogram.c_str(), "nginx", "-p", dir.path().c_str(), "-c",
                  dir.file("nginx.conf").c_str(), "-e", dir.file("error.log").c_str(),
                  (char *)nullptr);
            _exit(127);
        }
        for (int i = 0; i < 500 && !accepting(port); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~nginxserver() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string root() const { return dir.file("root"); }
    std::string url(const std::string &path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    bool running() const { return pid > 0 && accepting(port); }
    std::string log() const { return readfile(dir.file("error.log")); }

  private:
    tempdir dir;
    int port = 0;
    pid_t pid = -1;
};

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
    if (access(nginxprogram.c_str(), X_OK) != 0) GTEST_SKIP() << "nginx is not installed";
    nginxserver server;
    ASSERT_TRUE(server.running()) << server.log();
    tempdir local;
    for (size_t size : {size_t(0), size_t(1), size_t(8192), size_t(5) << 20}) {
        std::string name = "r" + std::to_string(size);
        std::string data = randombytes(size);
        writefile(local.file(name), data);
        // Under its local name: the URL ends in "/".
        runresult got = runprogram(program, {"-b", local.file(name), server.url("/dir/")});
        EXPECT_EQ(got.status, 201) << size << got.out << server.log();
        EXPECT_EQ(shownstatus(got.out), "HTTP/1.1 201 Created ") << size;
        EXPECT_TRUE(readfile(server.root() + "/dir/" + name) == data) << size;

        // Again, other bytes under the same name: replaced.
        std::string other = randombytes(size + 3);
        writefile(local.file(name), other);
        got = runprogram(program, {local.file(name), server.url("/dir/" + name)});
        EXPECT_EQ(got.status, 204) << size << got.out;
        EXPECT_EQ(shownstatus(got.out), "HTTP/1.1 204 No Content ") << size;
        EXPECT_TRUE(readfile(server.root() + "/dir/" + name) == other) << size;
    }
    // A folder that is not there: the server's refusal is the exit status
    // (500, low byte 244).
    writefile(local.file("x"), "x");
    runresult got = runprogram(program, {local.file("x"), server.url("/nodir/x")});
    EXPECT_EQ(got.status, 500 & 0xFF);
    EXPECT_NE(got.out.find("** Error: the PUT operation failed, response code = 500\n"),
              std::string::npos)
        << got.out;
}
