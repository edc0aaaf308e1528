// A loopback HTTP peer for webstow's tests: it accepts one connection on
// 127.0.0.1, records every byte of the request and answers with a scripted
// response. BSD sockets on POSIX, WinSock on Windows; the peer runs in a
// thread of the test program on both.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct peerscript {
    std::string response;    // sent once the request is in
    std::size_t piece = 0;   // bytes per write of the response; 0: all in one
    int pausems = 0;         // pause before each piece: a slow answer
    bool readrequest = true; // false: read nothing, answer nothing, end after pausems
    bool reset = false;      // end with a reset (RST) instead of an orderly close
};

class httppeer {
  public:
    // Listens on a free loopback port and serves one connection in a thread.
    explicit httppeer(peerscript script);
    httppeer(const httppeer &) = delete;
    httppeer &operator=(const httppeer &) = delete;
    ~httppeer(); // stops waiting for a connection that never came

    int port() const { return listenport; }
    std::string url(const std::string &path) const; // "http://127.0.0.1:port" + path

    // Waits until the connection has been served (at most timeoutms) and
    // returns the request's bytes: the header up to its empty line and as
    // many bytes after it as its Content-Length announced.
    std::string request(int timeoutms = 10000);
    bool connected() const { return accepted; }

  private:
    void serve();

    peerscript script;
    std::uintptr_t listensocket = 0; // a descriptor on POSIX, a SOCKET on Windows
    int listenport = 0;
    std::thread server;
    std::atomic<bool> stop{false};
    std::atomic<bool> accepted{false};
    std::atomic<bool> done{false};
    std::string received;
};

// A loopback port that nothing listens on (a connect there is refused).
int closedport();
