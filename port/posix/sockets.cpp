// WinSock on POSIX: the blocking IPv4 subset of port/winsock.h on BSD sockets.
//
// Map of this file:
//   error numbers    errno and h_errno to WinSock numbers, WSAGetLastError
//   start-up         WSAStartup, WSACleanup
//   addresses        inet_addr, inet_ntoa, gethostbyname, htons
//   sockets          socket, connect, send, recv, closesocket
//
// Quirks handled here, each where it happens:
//   - send() on a connection the peer has closed raises SIGPIPE here and
//     kills the process; WinSock reports an error instead: MSG_NOSIGNAL.
//   - A blocking send() here may return early with part of the data after a
//     signal; a blocking WinSock send either takes it all or fails.
//   - The system's hostent has int type and length fields, Windows' shorts.
//   - SOCKET is a descriptor in an unsigned integer; -1 becomes INVALID_SOCKET.
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// <netinet/in.h> may make htons a macro, which would rewrite our own
// declaration and definition of it below.
#undef htons

#define PORT_WINSOCK_IMPLEMENTATION
#include "port/winsock.h"

static_assert(AF_INET == 2 && SOCK_STREAM == 1 && INADDR_NONE == 0xffffffffu,
              "the system's socket numbers are Windows' ones");
static_assert(sizeof(winsock::sockaddr_in) == 16, "the 16-byte IPv4 socket address");

namespace {

thread_local int lasterror = 0;
int startups = 0; // WSAStartup calls not yet matched by WSACleanup

// Numbers with no WinSock counterpart: the customer bit plus errno, so that
// they are recognisable and never read as one of WinSock's.
constexpr int unmappedbase = 0x20000000;

int wsaerror(int err) {
    switch (err) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF:
    case ENOTSOCK: return WSAENOTSOCK;
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EAGAIN: return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEINPROGRESS;
    case EALREADY: return WSAEALREADY;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: return WSAECONNRESET;
    // Sending on a connection the peer has reset and we have seen closed:
    // WinSock goes on reporting the reset there.
    case EPIPE: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return unmappedbase + err;
    }
}

void failwith(int wsaerr) {
    lasterror = wsaerr;
}

void failerrno() {
    lasterror = wsaerror(errno);
}

// Every call but the pure conversions needs a started library, as on Windows.
bool started() {
    if (startups > 0) return true;
    failwith(WSANOTINITIALISED);
    return false;
}

// The descriptor in a SOCKET, or -1 for a value that cannot be one.
int descriptor(winsock::SOCKET s) {
    return s <= (winsock::SOCKET)INT_MAX ? (int)s : -1;
}

} // namespace

// ---- error numbers ------------------------------------------------------------

int winsock::WSAGetLastError(void) {
    return lasterror;
}

// ---- start-up ---------------------------------------------------------------------

// Versions 1.0 to 2.2 are served, as by the Windows library; a higher request
// gets 2.2, the highest.
int winsock::WSAStartup(WORD versionrequested, LPWSADATA data) {
    unsigned major = versionrequested & 0xFF, minor = versionrequested >> 8;
    if (major == 0) return WSAVERNOTSUPPORTED;
    if (data == nullptr) return WSAEFAULT;
    memset(data, 0, sizeof *data);
    bool above = major > 2 || (major == 2 && minor > 2);
    data->wVersion = above ? (WORD)0x0202 : versionrequested;
    data->wHighVersion = 0x0202;
    strcpy(data->szDescription, "WinSock on POSIX sockets");
    strcpy(data->szSystemStatus, "Running");
    startups++;
    return 0;
}

int winsock::WSACleanup(void) {
    if (!started()) return SOCKET_ERROR;
    startups--;
    return 0;
}

// ---- addresses ----------------------------------------------------------------

winsock::wsulong winsock::inet_addr(const char *text) {
    return ::inet_addr(text);
}

// Windows keeps one result buffer per thread, valid until the next call.
char *winsock::inet_ntoa(struct in_addr address) {
    thread_local char text[16];
    ::in_addr a;
    a.s_addr = address.s_addr;
    if (::inet_ntop(AF_INET, &a, text, sizeof text) == nullptr) return nullptr;
    return text;
}

winsock::hostent *winsock::gethostbyname(const char *name) {
    if (!started()) return nullptr;
    ::hostent *found = ::gethostbyname(name);
    if (found == nullptr) {
        switch (h_errno) {
        case HOST_NOT_FOUND: failwith(WSAHOST_NOT_FOUND); break;
        case TRY_AGAIN: failwith(WSATRY_AGAIN); break;
        case NO_RECOVERY: failwith(WSANO_RECOVERY); break;
        case NO_DATA: failwith(WSANO_DATA); break;
        default: failerrno(); break; // NETDB_INTERNAL: the reason is in errno
        }
        return nullptr;
    }
    // The lists stay the resolver's own, valid until the next call, which is
    // how long Windows keeps its entry too; only the two fields of a
    // different width are copied.
    thread_local winsock::hostent entry;
    entry.h_name = found->h_name;
    entry.h_aliases = found->h_aliases;
    entry.h_addrtype = (short)found->h_addrtype;
    entry.h_length = (short)found->h_length;
    entry.h_addr_list = found->h_addr_list;
    return &entry;
}

winsock::wsushort winsock::htons(wsushort value) {
    return ::htons(value);
}

// ---- sockets ------------------------------------------------------------------------

winsock::SOCKET winsock::socket(int family, int type, int protocol) {
    if (!started()) return INVALID_SOCKET;
    int fd = ::socket(family, type, protocol);
    if (fd < 0) {
        failerrno();
        return INVALID_SOCKET;
    }
    return (SOCKET)fd;
}

int winsock::connect(SOCKET s, const struct sockaddr *name, int namelength) {
    if (!started()) return SOCKET_ERROR;
    int fd = descriptor(s);
    if (fd < 0) {
        failwith(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    if (name == nullptr || namelength < (int)sizeof(winsock::sockaddr_in)) {
        failwith(WSAEFAULT);
        return SOCKET_ERROR;
    }
    winsock::sockaddr_in given;
    memcpy(&given, name, sizeof given);
    if (given.sin_family != AF_INET) {
        failwith(WSAEAFNOSUPPORT);
        return SOCKET_ERROR;
    }
    ::sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = given.sin_port;
    to.sin_addr.s_addr = given.sin_addr.s_addr;
    if (::connect(fd, (const ::sockaddr *)&to, sizeof to) == 0) return 0;
    if (errno != EINTR) {
        failerrno();
        return SOCKET_ERROR;
    }
    // A signal broke the wait, but the connection goes on being made here;
    // a blocking WinSock connect returns only with its outcome, so wait for it.
    for (;;) {
        struct pollfd p = {fd, POLLOUT, 0};
        int r = poll(&p, 1, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            failerrno();
            return SOCKET_ERROR;
        }
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        if (err == 0) return 0;
        failwith(wsaerror(err));
        return SOCKET_ERROR;
    }
}

int winsock::send(SOCKET s, const char *buffer, int length, int flags) {
    if (!started()) return SOCKET_ERROR;
    int fd = descriptor(s);
    if (fd < 0) {
        failwith(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    if (length < 0) {
        failwith(WSAEINVAL);
        return SOCKET_ERROR;
    }
    // A blocking WinSock send takes the whole buffer or fails; here a signal
    // can end it early with part of it, so go on with the rest.
    int done = 0;
    while (done < length) {
        ssize_t n = ::send(fd, buffer + done, (size_t)(length - done), flags | MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            failerrno();
            return SOCKET_ERROR;
        }
        done += (int)n;
    }
    return done;
}

int winsock::recv(SOCKET s, char *buffer, int length, int flags) {
    if (!started()) return SOCKET_ERROR;
    int fd = descriptor(s);
    if (fd < 0) {
        failwith(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    if (length < 0) {
        failwith(WSAEINVAL);
        return SOCKET_ERROR;
    }
    for (;;) {
        ssize_t n = ::recv(fd, buffer, (size_t)length, flags);
        if (n >= 0) return (int)n;
        if (errno != EINTR) break;
    }
    failerrno();
    return SOCKET_ERROR;
}

int winsock::closesocket(SOCKET s) {
    if (!started()) return SOCKET_ERROR;
    int fd = descriptor(s);
    if (fd < 0) {
        failwith(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    // close() is not retried after EINTR: the descriptor is gone either way.
    if (::close(fd) != 0 && errno != EINTR) {
        failerrno();
        return SOCKET_ERROR;
    }
    return 0;
}
