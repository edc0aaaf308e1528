// The WinSock calls of the platform layer: start-up, addresses, WinSock error
// numbers, and a send that never raises SIGPIPE.
#include "port/winsock.h"
#include "tests/support/httppeer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons((unsigned short)port);
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    return a;
}

SOCKET connectto(int port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in a = loopback(port);
    if (connect(s, (const sockaddr *)&a, (int)sizeof a) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

} // namespace

TEST(PortWinsock, StartupVersions) {
    struct row {
        WORD requested;
        int rc;
        WORD version;
    };
    const row rows[] = {
        {0x0101, 0, 0x0101},
        {0x0001, 0, 0x0001},
        {0x0202, 0, 0x0202},
        {0x0303, 0, 0x0202},
        {0x0000, WSAVERNOTSUPPORTED, 0},
    };
    for (const row &r : rows) {
        WSADATA data;
        EXPECT_EQ(WSAStartup(r.requested, &data), r.rc) << r.requested;
        if (r.rc != 0) continue;
        EXPECT_EQ(data.wVersion, r.version) << r.requested;
        EXPECT_EQ(data.wHighVersion, 0x0202) << r.requested;
        EXPECT_EQ(WSACleanup(), 0);
    }
}

TEST(PortWinsock, CallsNeedTheLibraryStarted) {
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST(PortWinsock, Addresses) {
    struct row {
        const char *text;
        uint32_t address; // network byte order
    };
    const uint8_t bytes[4] = {192, 168, 1, 20};
    uint32_t expected;
    memcpy(&expected, bytes, 4);
    const row rows[] = {
        {"192.168.1.20", expected}, {"255.255.255.255", INADDR_NONE},
        {"300.1.1.1", INADDR_NONE}, {"host.example", INADDR_NONE},
        {"", INADDR_NONE},
    };
    for (const row &r : rows)
        EXPECT_EQ(inet_addr(r.text), r.address) << r.text;

    in_addr a;
    a.s_addr = expected;
    EXPECT_STREQ(inet_ntoa(a), "192.168.1.20");
    uint16_t port = htons(0x1234);
    EXPECT_EQ(memcmp(&port, "\x12\x34", 2), 0);

    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    hostent *entry = gethostbyname("localhost");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->h_addrtype, AF_INET);
    EXPECT_EQ(entry->h_length, 4);
    ASSERT_NE(entry->h_addr_list[0], nullptr);
    EXPECT_EQ(memcmp(entry->h_addr_list[0], "\x7f\0\0\x01", 4), 0);
    WSACleanup();
}

TEST(PortWinsock, ExchangeAndErrorNumbers) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);

    // A whole exchange: the peer answers once the announced bytes are in.
    {
        httppeer peer({"HTTP/1.0 200 OK\r\n\r\n"});
        SOCKET s = connectto(peer.port());
        ASSERT_NE(s, INVALID_SOCKET);
        const char request[] = "PUT /x HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc";
        EXPECT_EQ(send(s, request, (int)strlen(request), 0), (int)strlen(request));
        std::string answer;
        char buffer[7];
        for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, (size_t)n);
        EXPECT_EQ(answer, "HTTP/1.0 200 OK\r\n\r\n");
        EXPECT_EQ(peer.request(), request);
        EXPECT_EQ(closesocket(s), 0);
    }

    // Refused.
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    sockaddr_in closed = loopback(closedport());
    EXPECT_EQ(connect(s, (const sockaddr *)&closed, (int)sizeof closed), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    closesocket(s);

    // Reset while receiving, then sending on the reset connection: an error
    // number each time, and no SIGPIPE (which would end this test program).
    {
        peerscript script;
        script.reset = true;
        httppeer peer(script);
        s = connectto(peer.port());
        ASSERT_NE(s, INVALID_SOCKET);
        const char request[] = "PUT /x HTTP/1.0\r\n\r\n";
        EXPECT_EQ(send(s, request, (int)strlen(request), 0), (int)strlen(request));
        char buffer[16];
        EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(send(s, request, (int)strlen(request), 0), SOCKET_ERROR);
            EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
        }
        closesocket(s);
    }
    EXPECT_EQ(closesocket(s), SOCKET_ERROR); // closed already
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    WSACleanup();
}
