// webstow's run once the command line is taken: open the file, start the
// socket library, resolve and connect, send the PUT request and the file,
// read the answer until the server closes, and judge its first record.
#include "webstow/upload.h"

#include "common/digest.h"
#include "common/texts.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int recordsize = 1024; // a request record with its CR LF; the first response record
constexpr int namesize = 1024;   // the server name; then userid ":" password
constexpr int datasize = 8192;   // one chunk of the file; one chunk of the answer

// The limits of the command line keep every request record within its
// buffer, CR LF included.
static_assert(4 + maxtarget + 9 + 2 <= recordsize, "request line");
static_assert(6 + maxhost + 2 <= recordsize, "Host record");
static_assert(21 + 4 * ((2 * maxuserid + 1 + 2) / 3) + 2 <= recordsize, "Authorization record");
static_assert(2 * maxuserid + 1 <= namesize && maxhost < namesize, "name buffer");
static_assert(maxrecord < recordsize, "first response record");

// Appends `count` bytes to a record being built, leaving room for its CR LF.
// The limits above make a cut impossible; the check guards the buffer all
// the same.
void append(char *record, int *length, const char *text, int count) {
    int room = recordsize - 2 - *length;
    if (count > room) count = room;
    memcpy(record + *length, text, (size_t)count);
    *length += count;
}

void appendtext(char *record, int *length, const char *text) {
    append(record, length, text, (int)strlen(text));
}

// The extra line for a failed send or receive.
void transfererrorline(int socerrn) {
    switch (socerrn) {
    case WSAECONNABORTED: printf("   Connection aborted\n"); break;
    case WSAECONNRESET: printf("   Connection reset by server\n"); break;
    case WSAETIMEDOUT: printf("   Timed out\n"); break;
    default: break;
    }
}

const char *contenttype(const putparms *parms) {
    if (parms->binfc80) return "application/x-kst-binary-fc80";
    if (parms->filetype == 1) return "application/octet-stream";
    if (parms->filetype == 0) return "text/plain";
    return nullptr;
}

} // namespace

int initwinsock(unsigned level) {
    (void)level;
    WSADATA data;
    int rc = WSAStartup(0x0101, &data);
    if (rc == 0 && data.wVersion != 0x0101) {
        WSACleanup();
        rc = 199;
    }
    return rc;
}

int resolvehost(const char *name, uint32_t *address) {
    *address = 0;
    uint32_t dotted = (uint32_t)inet_addr(name);
    if (dotted != INADDR_NONE) {
        *address = dotted;
        return 0;
    }
    hostent *entry = gethostbyname(name);
    if (entry != nullptr) {
        if (entry->h_addrtype != AF_INET || entry->h_length != 4 ||
            entry->h_addr_list[0] == nullptr)
            return -3;
        memcpy(address, entry->h_addr_list[0], 4);
        return 0;
    }
    if (WSAGetLastError() == WSAHOST_NOT_FOUND) {
        *address = 0xFFFFFFFFu;
        return -1;
    }
    return -3;
}

void sendrec(SOCKET s, char *buffer, int size, int length, int addcrlf, int echo) {
    int total = length;
    if (addcrlf == 1) {
        if (length + 2 > size) {
            // No record of ours comes near this; refuse rather than write
            // past the buffer.
            printf("** Error: send() to socket did not send all the data.\n"
                   "   Requested %d bytes. Sent %d bytes.\n",
                   length + 2, 0);
            exit(9);
        }
        buffer[length] = 0x0D;
        buffer[length + 1] = 0x0A;
        total = length + 2;
    }
    int sent = send(s, buffer, total, 0);
    if (sent < 0) {
        int socerrn = WSAGetLastError();
        printf("** Error writing to socket, socerrn=%d\n", socerrn);
        transfererrorline(socerrn);
        exit(8);
    }
    if (sent != total) {
        printf("** Error: send() to socket did not send all the data.\n"
               "   Requested %d bytes. Sent %d bytes.\n",
               total, sent);
        exit(9);
    }
    if (echo == 1) printf("%.*s\n", length, buffer);
}

int takeresponse(char *record, int *stored, int *records, char *data, int got, int showall) {
    // CRs show as blanks; the first record is shown (all with -a) and kept,
    // up to its line feed, for the verdict.
    int shownend = 0;
    for (int i = 0; i < got; i++) {
        unsigned char byte = (unsigned char)data[i];
        if (byte == 0x0D) data[i] = ' ';
        if (*records == 1 && byte != 0x0A && *stored < maxrecord) record[(*stored)++] = data[i];
        if (*records == 1 || showall) shownend = i + 1;
        if (byte == 0x0A && *records < INT_MAX) (*records)++;
    }
    return shownend;
}

int responsestatus(const char *record, int length) {
    if (length < 4 || memcmp(record, "HTTP", 4) != 0) return -1;
    int at = 4;
    while (at < length && record[at] != ' ')
        at++;
    if (at == length) return -1;
    while (at < length && record[at] == ' ')
        at++;
    int code = 0, digits = 0;
    for (; at < length && record[at] >= '0' && record[at] <= '9'; at++) {
        if (++digits > 3) return -1;
        code = code * 10 + (record[at] - '0');
    }
    if (digits == 0) return -1;
    if (at < length && record[at] != ' ') return -1;
    return code >= 100 ? code : -1;
}

int exitstatus(int code) {
#ifdef _WIN32
    return code;
#else
    if (code >= 0 && code <= 255) return code;
    int low = code & 0xFF;
    return low <= 15 ? 255 : low;
#endif
}

int upload(putparms *parms) {
    char record[recordsize];
    char name[namesize];
    char password[passwordsize];
    char data[datasize];
    char errortext[70];

    // Failures after the open end the run and leave the file to the end of
    // the process to close.
    HANDLE file = CreateFileA(parms->localfile, GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        errtext(code, errortext, sizeof errortext);
        printf("** Error %u (%s) opening local file: %s\n", (unsigned)code, errortext,
               parms->localfile);
        return 2;
    }
    DWORD sizehigh = 0;
    DWORD filesize = GetFileSize(file, &sizehigh);
    if (filesize == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        printf("** Error: unable to get size of local file\n");
        return 10;
    }
    if (sizehigh != 0) {
        printf("** Error: local file is too big. Max size is 4GB (2**32-1 bytes)\n");
        return 11;
    }

    int rc = initwinsock(0);
    if (rc != 0) {
        printf("** Error: unable to init WinSock, rc=%d\n", rc);
        return 3;
    }

    memcpy(name, parms->domain, (size_t)parms->lendomain);
    name[parms->lendomain] = 0;
    uint32_t address = 0;
    if (resolvehost(name, &address) != 0 || address == 0 || address == 0xFFFFFFFFu) {
        printf("** Error: unable to resolve server name %s to IP address\n", name);
        return 4;
    }

    rc = completepassword(parms, password);
    if (rc != 0) return rc;

    in_addr shown;
    shown.s_addr = address;
    printf("Connecting to server %s (%s), port %d ...\n", name, inet_ntoa(shown), parms->port);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        printf("** Error: unable to get a socket\n");
        return 5;
    }
    sockaddr_in server;
    memset(&server, 0, sizeof server);
    server.sin_family = AF_INET;
    server.sin_port = htons((unsigned short)parms->port);
    server.sin_addr.s_addr = address;
    if (connect(s, (const sockaddr *)&server, (int)sizeof server) < 0) {
        int socerrn = WSAGetLastError();
        printf("** Error: unable to connect, socerrn=%d\n", socerrn);
        if (socerrn == WSAECONNREFUSED) printf("   Connection refused\n");
        return 6;
    }
    printf("Connected. Sending request records to server...\n");

    int length = 0;
    appendtext(record, &length, "PUT ");
    append(record, &length, parms->path, parms->lenpath);
    if (parms->addnamesw) append(record, &length, parms->locfilebare, parms->lenlocfilebare);
    appendtext(record, &length, " HTTP/1.0");
    sendrec(s, record, recordsize, length, 1, 1);

    length = 0;
    appendtext(record, &length, "Host: ");
    append(record, &length, parms->domain, parms->lenhost);
    sendrec(s, record, recordsize, length, 1, 1);

    if (parms->userid != nullptr) {
        int count = 0;
        memcpy(name, parms->userid, (size_t)parms->lenuserid);
        count = parms->lenuserid;
        name[count++] = ':';
        memcpy(name + count, parms->password, (size_t)parms->lenpassword);
        count += parms->lenpassword;
        length = 0;
        appendtext(record, &length, "Authorization: Basic ");
        length += b64encode((const uint8_t *)name, count, record + length);
        sendrec(s, record, recordsize, length, 1, 0);
        // The credentials never reach the screen: four characters show
        // that they went.
        printf("%.25s...\n", record);
    }

    const char *type = contenttype(parms);
    if (type != nullptr) {
        length = 0;
        appendtext(record, &length, "Content-Type: ");
        appendtext(record, &length, type);
        sendrec(s, record, recordsize, length, 1, 1);
    }

    length = snprintf(record, recordsize - 2, "Content-Length: %lu", (unsigned long)filesize);
    sendrec(s, record, recordsize, length, 1, 1);
    sendrec(s, record, recordsize, 0, 1, 0);

    printf("Sending file data to server...\n");
    DWORD sent = 0;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, data, datasize, &got, nullptr)) {
            DWORD code = GetLastError();
            errtext(code, errortext, sizeof errortext);
            printf("** Error %u (%s) reading local file %s\n", (unsigned)code, errortext,
                   parms->localfile);
            return 12;
        }
        if (got == 0) break;
        sendrec(s, data, datasize, (int)got, 0, 0);
        sent += got;
    }
    DWORD elapsed = GetTickCount() - start;
    // Elapsed time is the difference of the two ticks, so a transfer across
    // the counter's wrap still shows its rate.
    double rate = elapsed != 0 ? sent / (elapsed * 1.024) : 0.0;
    printf(" %lu file bytes sent in %.1lf secs, %.2lf KBytes/sec\n", (unsigned long)sent,
           elapsed * 0.001, rate);
    CloseHandle(file);

    printf("Reading response from server...\n");
    int records = 1; // counts line feeds; stops at INT_MAX in an endless answer
    int stored = 0;
    for (;;) {
        int got = recv(s, data, datasize, 0);
        if (got < 0) {
            int socerrn = WSAGetLastError();
            printf("\n** Error reading from socket, socerrn=%d\n", socerrn);
            transfererrorline(socerrn);
            return 13;
        }
        if (got == 0) break;
        int shown = takeresponse(record, &stored, &records, data, got, parms->showall);
        fwrite(data, 1, (size_t)shown, stdout);
    }
    record[stored] = 0;
    if (!parms->showall) printf(" %d response records received\n", records - 1);

    int status = responsestatus(record, stored);
    if (status < 0) {
        printf("** Error: invalid first response record from server\n");
        closesocket(s);
        WSACleanup();
        return 15;
    }
    if (status < 200 || status > 299)
        printf("** Error: the PUT operation failed, response code = %d\n", status);
    closesocket(s);
    WSACleanup();
    return status;
}
