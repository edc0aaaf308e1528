#include "tests/support/httppeer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

// The few calls that differ between BSD sockets and WinSock.
namespace {

#ifdef _WIN32
typedef SOCKET peersocket;
const peersocket nosocket = INVALID_SOCKET;

std::string lasterror(const char *call) {
    return std::string(call) + ": WinSock error " + std::to_string(WSAGetLastError());
}

void closepeer(peersocket s) {
    closesocket(s);
}

// WinSock sockets are inheritable: the program under test, started with
// inheritable pipes, would keep the port listening after the peer is gone.
void noinherit(peersocket s) {
    SetHandleInformation((HANDLE)s, HANDLE_FLAG_INHERIT, 0);
}

// Each peer keeps the socket library started for its lifetime.
void startsockets() {
    WSADATA data;
    if (WSAStartup(0x0202, &data) != 0) throw std::runtime_error("WSAStartup failed");
}

void stopsockets() {
    WSACleanup();
}

// Readable within ms: data, a connection to accept, or the end.
bool readable(peersocket s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval t = {ms / 1000, (ms % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &t) == 1;
}

const int nosignal = 0; // a WinSock send never raises a signal
#else
typedef int peersocket;
const peersocket nosocket = -1;

std::string lasterror(const char *call) {
    return std::string(call) + ": " + strerror(errno);
}

void closepeer(peersocket s) {
    close(s);
}

void noinherit(peersocket) {} // SOCK_CLOEXEC at creation

void startsockets() {}
void stopsockets() {}

bool readable(peersocket s, int ms) {
    pollfd p = {s, POLLIN, 0};
    return poll(&p, 1, ms) == 1;
}

const int nosignal = MSG_NOSIGNAL; // a reset peer must not end the test with SIGPIPE
#endif

// A socket bound to 127.0.0.1 on a port the system picks.
peersocket bindloopback(int &port) {
#ifdef _WIN32
    peersocket s = socket(AF_INET, SOCK_STREAM, 0);
#else
    peersocket s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#endif
    if (s == nosocket) throw std::runtime_error(lasterror("socket"));
    noinherit(s);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(s, (sockaddr *)&a, sizeof a) != 0 || getsockname(s, (sockaddr *)&a, &len) != 0) {
        std::string why = lasterror("bind");
        closepeer(s);
        throw std::runtime_error(why);
    }
    port = ntohs(a.sin_port);
    return s;
}

bool headeris(const std::string &bytes, std::size_t at, const char *name) {
    for (std::size_t i = 0; name[i]; i++) {
        char c = bytes[at + i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        char n = name[i];
        if (n >= 'A' && n <= 'Z') n = (char)(n - 'A' + 'a');
        if (c != n) return false;
    }
    return true;
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
        if (next - line > sizeof name - 1 && headeris(bytes, line, name))
            body = std::stoul(bytes.substr(line + sizeof name - 1, next - line));
        line = next + 2;
    }
    return end + 4 + body;
}

} // namespace

httppeer::httppeer(peerscript s) : script(std::move(s)) {
    startsockets();
    peersocket listening;
    try {
        listening = bindloopback(listenport);
    } catch (...) {
        stopsockets();
        throw;
    }
    listensocket = (std::uintptr_t)listening;
    if (listen(listening, 1) != 0) {
        std::string why = lasterror("listen");
        closepeer(listening);
        stopsockets();
        throw std::runtime_error(why);
    }
    server = std::thread([this] { serve(); });
}

httppeer::~httppeer() {
    stop = true;
    if (server.joinable()) server.join();
    closepeer((peersocket)listensocket);
    stopsockets();
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
    peersocket listening = (peersocket)listensocket;
    peersocket s = nosocket;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop && std::chrono::steady_clock::now() < deadline) {
        if (readable(listening, 20)) {
            s = accept(listening, nullptr, nullptr);
            break;
        }
    }
    if (s == nosocket) {
        done = true;
        return;
    }
    noinherit(s);
    accepted = true;
    if (script.readrequest) {
        char buffer[65536];
        std::size_t want = 0;
        while (want == 0 || received.size() < want) {
            if (!readable(s, 30000)) break;
            int n = (int)recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            received.append(buffer, (std::size_t)n);
            if (want == 0) want = requestlength(received);
        }
        std::size_t piece = script.piece ? script.piece : script.response.size();
        for (std::size_t at = 0; at < script.response.size(); at += piece) {
            if (script.pausems)
                std::this_thread::sleep_for(std::chrono::milliseconds(script.pausems));
            int count = (int)std::min(piece, script.response.size() - at);
            if ((int)send(s, script.response.data() + at, count, nosignal) != count) break;
        }
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(script.pausems));
    }
    if (script.reset) {
#ifdef _WIN32
        // Under Wine a reset that reaches the other end before it calls recv
        // reads there as an orderly close (recv gives 0, not WSAECONNRESET
        // as on Windows): let the program under test get to its recv first.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
#endif
        linger l = {1, 0}; // a close that sends RST
        setsockopt(s, SOL_SOCKET, SO_LINGER, (const char *)&l, sizeof l);
    }
    closepeer(s);
    done = true;
}

int closedport() {
    startsockets();
    int port = 0;
    closepeer(bindloopback(port));
    stopsockets();
    return port;
}
