// The WinSock subset the programs call (version 1.1 calls, blocking IPv4
// stream sockets).
//
// On Windows this is the system's own <winsock2.h>, which must come before
// <windows.h>, and then port/win32.h. Elsewhere it declares the same names
// with Windows' types and signatures, and port/posix/sockets.cpp implements
// them on BSD sockets.
//
// The POSIX declarations live in namespace `winsock`: their names (socket,
// send, sockaddr_in, hostent ...) are also those of the system's socket
// headers, which the implementation needs beside them. A program sees them
// through the using-directive at the end; it never includes those headers.
//
// Map of this header:
//   types      SOCKET, WSADATA, in_addr, sockaddr, sockaddr_in, hostent
//   constants  AF_INET, SOCK_STREAM, INVALID_SOCKET, SOCKET_ERROR, INADDR_NONE,
//              the WSA error numbers the programs name
//   calls      WSAStartup, WSACleanup, WSAGetLastError, inet_addr, inet_ntoa,
//              gethostbyname, htons, socket, connect, send, recv, closesocket
#pragma once

#ifdef _WIN32

// inet_addr and gethostbyname are the WinSock 1.1 calls we mean to make.
#ifndef _WINSOCK_DEPRECATED_NO_WARNINGS
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#endif
#include <winsock2.h>
#include "port/win32.h"

#else

#include "port/win32.h"

#include <cstdint>

// Numbers shared with the system's headers, where sockets.cpp checks that
// they agree; guarded because that file sees the system's macros first.
#ifndef AF_INET
#define AF_INET 2
#endif
#ifndef SOCK_STREAM
#define SOCK_STREAM 1
#endif
#ifndef INADDR_NONE
#define INADDR_NONE 0xffffffffu
#endif

#define INVALID_SOCKET ((winsock::SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEPROTONOSUPPORT 10043
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

namespace winsock {

// UINT_PTR on Windows; a descriptor here.
typedef uintptr_t SOCKET;

// Windows' u_short and u_long: u_long is 32 bits there, unlike the
// system's u_long here, so the names of <sys/types.h> are not reused.
typedef uint16_t wsushort;
typedef uint32_t wsulong;

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
};
typedef WSAData WSADATA;
typedef WSAData *LPWSADATA;

// Windows' in_addr is a union of byte, word and 32-bit views; the programs
// use only the 32-bit one, s_addr.
struct in_addr {
    wsulong s_addr;
};

struct sockaddr {
    wsushort sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    wsushort sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
};

struct hostent {
    char *h_name;
    char **h_aliases;
    short h_addrtype;
    short h_length;
    char **h_addr_list;
};

int WSAStartup(WORD versionrequested, LPWSADATA data);
int WSACleanup(void);
int WSAGetLastError(void);

wsulong inet_addr(const char *text);
char *inet_ntoa(struct in_addr address);
struct hostent *gethostbyname(const char *name);
wsushort htons(wsushort value);

SOCKET socket(int family, int type, int protocol);
int connect(SOCKET s, const struct sockaddr *name, int namelength);
int send(SOCKET s, const char *buffer, int length, int flags);
int recv(SOCKET s, char *buffer, int length, int flags);
int closesocket(SOCKET s);

} // namespace winsock

#ifndef PORT_WINSOCK_IMPLEMENTATION
using namespace winsock;
#endif

#endif
