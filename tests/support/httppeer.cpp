#include "tests/support/httppeer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A socket bound to 127.0.0.1 on a port the kernel picks.
int bindloopback(int &port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("socket: ") + strerror(errno));
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd, (sockaddr *)&a, sizeof a) != 0 || getsockname(fd, (sockaddr *)&a, &len) != 0) {
        close(fd);
        throw std::runtime_error(std::string("bind: ") + strerror(errno));
    }
    port = ntohs(a.sin_port);
    return fd;
}

// The request's full length once its header is in: the header and the
// Content-Length after it. 0 while the header is incomplete.
std::size_t requestlength(const std::string &bytes) {
    std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string::npos) return 0;
    std::size_t body = 0;
    for (std::size_t line = 0; line < end;) {
        std::size_t next = bytes.find("\r\n", line);
        const char name[] = "Content-Length:";
        if (next - line > sizeof name - 1 &&
            strncasecmp(bytes.c_str() + line, name, sizeof name - 1) == 0)
            body = std::stoul(bytes.substr(line + sizeof name - 1, next - line));
        line = next + 2;
    }
    return end + 4 + body;
}

} // namespace

httppeer::httppeer(peerscript s) : script(std::move(s)) {
    listenfd = bindloopback(listenport);
    if (listen(listenfd, 1) != 0) {
        close(listenfd);
        throw std::runtime_error(std::string("listen: ") + strerror(errno));
    }
    server = std::thread([this] { serve(); });
}

httppeer::~httppeer() {
    stop = true;
    if (server.joinable()) server.join();
    close(listenfd);
}

std::string httppeer::url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(listenport) + path;
}

std::string httppeer::request(int timeoutms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
    while (!done && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!done) return "(the connection was not served in time)";
    return received;
}

void httppeer::serve() {
    int fd = -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop && std::chrono::steady_clock::now() < deadline) {
        pollfd p = {listenfd, POLLIN, 0};
        if (poll(&p, 1, 20) == 1) {
            fd = accept4(listenfd, nullptr, nullptr, SOCK_CLOEXEC);
            break;
        }
    }
    if (fd < 0) {
        done = true;
        return;
    }
    accepted = true;
    if (script.readrequest) {
        char buffer[65536];
        std::size_t want = 0;
        while (want == 0 || received.size() < want) {
            pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 30000) != 1) break;
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            received.append(buffer, (std::size_t)n);
            if (want == 0) want = requestlength(received);
        }
        std::size_t piece = script.piece ? script.piece : script.response.size();
        for (std::size_t at = 0; at < script.response.size(); at += piece) {
            if (script.pausems)
                std::this_thread::sleep_for(std::chrono::milliseconds(script.pausems));
            std::size_t count = std::min(piece, script.response.size() - at);
            if (send(fd, script.response.data() + at, count, MSG_NOSIGNAL) != (ssize_t)count) break;
        }
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(script.pausems));
    }
    if (script.reset) {
        linger l = {1, 0}; // a close that sends RST
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    close(fd);
    done = true;
}

int closedport() {
    int port = 0;
    close(bindloopback(port));
    return port;
}
