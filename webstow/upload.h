// webstow's exchange with the server: the socket library, name resolution,
// the PUT request and the verdict on the answer.
#pragma once

#include "port/winsock.h"
#include "webstow/putparms.h"

#include <cstdint>

// Starts the socket library asking for version 1.1. Returns 0, 199 when the
// library will not use 1.1, or the start-up's own error. webstow calls it at
// level 0, the only level there is: it reports through its result alone.
int initwinsock(unsigned level);

// The IPv4 address (network byte order) of a dotted address or a host name.
// Returns 0; -1 with the address 0xFFFFFFFF for an unknown name; -3 with the
// address 0 for any other failure.
int resolvehost(const char *name, uint32_t *address);

// Sends one piece, with CR LF added after `length` when `addcrlf` is 1 (the
// buffer holds `size` bytes, the CR LF included), and shows it when `echo`
// is 1. Returns only when all of it went out: a failure ends the process
// with status 8, an incomplete send with 9.
void sendrec(SOCKET s, char *buffer, int size, int length, int addcrlf, int echo);

// Characters of the first response record kept for the verdict.
constexpr int maxrecord = 1023;

// Takes one received piece of the answer, `got` bytes in `data`: every CR
// becomes a blank in place; while the first record lasts (*records is 1) its
// characters up to its line feed are kept in `record`, at most maxrecord of
// them (*stored so far); every line feed counts one more record (up to
// INT_MAX). Returns how many bytes of the piece are shown: those through the
// first record's line feed, or all of them with `showall`.
int takeresponse(char *record, int *stored, int *records, char *data, int got, int showall);

// The status code of a first response record of `length` bytes, 100 to 999,
// or -1 when the record is not a valid status line.
int responsestatus(const char *record, int length);

// The run after the command line: file, connection, request, data, answer.
// Returns the exit code: the server's status, or one of the failures.
int upload(putparms *parms);

// The exit status for an exit code. Windows keeps all 32 bits; where only 8
// bits reach the caller, a status above 255 keeps its low byte unless that
// reads as success or as one of our own failures (0 to 15): then it is 255.
int exitstatus(int code);
