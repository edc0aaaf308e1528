// The record converter's routines and program.
#include "recmend/recmend.h"

#include <cstdio>
#include <cstring>

// The IBM assignment for control characters: line feed to 0x25, next-line
// (0x85) to 0x15.
// clang-format off
const BYTE isotoebcdic[256] = {
    0x00, 0x01, 0x02, 0x03, 0x37, 0x2D, 0x2E, 0x2F, 0x16, 0x05, 0x25, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, // 0x00
    0x10, 0x11, 0x12, 0x13, 0x3C, 0x3D, 0x32, 0x26, 0x18, 0x19, 0x3F, 0x27, 0x1C, 0x1D, 0x1E, 0x1F, // 0x10
    0x40, 0x5A, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61, // 0x20
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F, // 0x30
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, // 0x40
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xAD, 0xE0, 0xBD, 0x5F, 0x6D, // 0x50
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, // 0x60
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x4F, 0xD0, 0xA1, 0x07, // 0x70
    0x20, 0x21, 0x22, 0x23, 0x24, 0x15, 0x06, 0x17, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x09, 0x0A, 0x1B, // 0x80
    0x30, 0x31, 0x1A, 0x33, 0x34, 0x35, 0x36, 0x08, 0x38, 0x39, 0x3A, 0x3B, 0x04, 0x14, 0x3E, 0xFF, // 0x90
    0x41, 0xAA, 0x4A, 0xB1, 0x9F, 0xB2, 0x6A, 0xB5, 0xBB, 0xB4, 0x9A, 0x8A, 0xB0, 0xCA, 0xAF, 0xBC, // 0xA0
    0x90, 0x8F, 0xEA, 0xFA, 0xBE, 0xA0, 0xB6, 0xB3, 0x9D, 0xDA, 0x9B, 0x8B, 0xB7, 0xB8, 0xB9, 0xAB, // 0xB0
    0x64, 0x65, 0x62, 0x66, 0x63, 0x67, 0x9E, 0x68, 0x74, 0x71, 0x72, 0x73, 0x78, 0x75, 0x76, 0x77, // 0xC0
    0xAC, 0x69, 0xED, 0xEE, 0xEB, 0xEF, 0xEC, 0xBF, 0x80, 0xFD, 0xFE, 0xFB, 0xFC, 0xBA, 0xAE, 0x59, // 0xD0
    0x44, 0x45, 0x42, 0x46, 0x43, 0x47, 0x9C, 0x48, 0x54, 0x51, 0x52, 0x53, 0x58, 0x55, 0x56, 0x57, // 0xE0
    0x8C, 0x49, 0xCD, 0xCE, 0xCB, 0xCF, 0xCC, 0xE1, 0x70, 0xDD, 0xDE, 0xDB, 0xDC, 0x8D, 0x8E, 0xDF, // 0xF0
};
// clang-format on

namespace {

constexpr BYTE cr = 0x0D, lf = 0x0A;

int usage() {
    printf("** Missing or invalid command parameters\n");
    printf("Usage:  recmend infile reclen [outfile]\n");
    printf("Converts a binary file that was FTPed from KESTREL as a\n"
           "text file (type ascii).  Original KESTREL file must have\n"
           "been RECFM U, F, or FC.  For U, specify reclen 512.\n"
           "The output file is replaced if it already exists.\n");
    return recusage;
}

// Reads until `want` bytes are in, the input ends, or a read fails. A pipe
// or device may hand over less than asked while more is coming; only a read
// of nothing is the end. On failure *have counts what came before it.
bool fillbuffer(const recordio &io, BYTE *buffer, DWORD want, DWORD *have) {
    *have = 0;
    while (*have < want) {
        DWORD n = 0;
        BOOL ok = io.read(io.in, buffer + *have, want - *have, &n, nullptr);
        if (n > want - *have) n = want - *have;
        *have += n;
        if (!ok) return false;
        if (n == 0) break;
    }
    return true;
}

} // namespace

long parsereclen(const char *text, size_t len) {
    if (len < 1 || len > 9) return -2;
    size_t i = 0;
    while (i < len && text[i] == ' ')
        i++;
    if (i == len) return -1;
    long value = 0;
    for (; i < len; i++) {
        if (text[i] < '0' || text[i] > '9') return -2;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

void defaultoutname(const char *infile, char *outname, size_t size) {
    static const char suffix[] = ".bin";
    if (size < sizeof suffix) {
        if (size > 0) outname[0] = 0;
        return;
    }
    size_t room = size - sizeof suffix; // keeps the suffix and the terminator
    size_t n = 0;
    for (; n < room && infile[n] != 0; n++)
        outname[n] = infile[n] == '.' ? '_' : infile[n];
    memcpy(outname + n, suffix, sizeof suffix);
}

void translaterecord(BYTE *record, DWORD reclen) {
    for (DWORD i = 0; i < reclen; i++)
        record[i] = isotoebcdic[record[i]];
}

int sameidentity(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!GetFileInformationByHandle(a, &ia) || !GetFileInformationByHandle(b, &ib)) return -1;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

HANDLE createoutput(HANDLE in, const char *outname) {
    // Not CREATE_ALWAYS: that empties the file in the open itself. The share
    // modes refuse the input here on Windows, but a file system without them
    // (or a second path to the same file where they are not kept) would lose
    // the input before we could look. So open, compare, then empty.
    HANDLE out = CreateFileA(outname, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE) return out;
    int same = sameidentity(in, out);
    if (same == 1) {
        CloseHandle(out);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(out, &high);
    bool sizeknown = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
    bool empty = sizeknown && low == 0 && high == 0;
    // A file that cannot be told apart from the input is never emptied.
    if (!empty && (same != 0 || !SetEndOfFile(out))) {
        DWORD code = same != 0 ? (DWORD)ERROR_SHARING_VIOLATION : GetLastError();
        CloseHandle(out);
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    }
    return out;
}

int convertrecords(const recordio &io, DWORD reclen, BYTE *buffer, DWORD buffersize, DWORD *count) {
    // Whole pieces of reclen + 2 bytes go through the buffer: one read fills
    // it, the records are checked and translated in place, each moved down
    // over the CR LF of the ones before it, and leave in one write. Every
    // check and message comes in the order of one read and one write per
    // record, and so do the bytes written before an error.
    const DWORD piece = reclen + 2;
    const DWORD capacity = buffersize / piece * piece;
    *count = 0;
    for (;;) {
        DWORD have;
        bool readok = fillbuffer(io, buffer, capacity, &have);
        DWORD whole = have / piece;
        DWORD good = 0;
        BYTE *to = buffer;
        for (; good < whole; good++) {
            const BYTE *from = buffer + good * piece;
            if (from[reclen] != cr || from[reclen + 1] != lf) break;
            // to never passes from, so each byte is read before it is overwritten.
            for (DWORD i = 0; i < reclen; i++)
                to[i] = isotoebcdic[from[i]];
            to += reclen;
        }
        if (good > 0) {
            DWORD want = good * reclen;
            DWORD written = 0;
            BOOL ok = io.write(io.out, buffer, want, &written, nullptr);
            if (!ok || written != want) {
                // The records wholly written before the failure are the ones
                // whose own write would have succeeded.
                if (written > want) written = want;
                *count += written / reclen;
                printf("** Error writing output file: %s\n", io.outname);
                return recwriteerror;
            }
            *count += good;
        }
        if (good < whole) {
            printf("** Input data error: Expected CRLF not found\n");
            return recnocrlf;
        }
        if (!readok) {
            printf("** Error reading input file: %s\n", io.infile);
            return recreaderror;
        }
        if (have % piece != 0) {
            printf("** Input data error: Input file is too short\n");
            return recshort;
        }
        if (have < capacity) return recok; // the next read would bring nothing
    }
}

int recmend(int argc, char **argv) {
    if (argc != 3 && argc != 4) return usage();
    long reclen = parsereclen(argv[2], strlen(argv[2]));
    if (reclen < 1 || reclen > (long)maxreclen) return usage();

    const char *infile = argv[1];
    char defaultname[outnamesize];
    const char *outname = argv[3];
    if (argc == 3) {
        defaultoutname(infile, defaultname, sizeof defaultname);
        outname = defaultname;
    }

    HANDLE in = CreateFileA(infile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        printf("** Error: unable to open input file: %s\n", infile);
        return recnoinput;
    }
    HANDLE out = createoutput(in, outname);
    if (out == INVALID_HANDLE_VALUE) {
        printf("** Error: unable to create output file: %s\n", outname);
        printf("   Note: Output file name must not be the same as input\n");
        CloseHandle(in);
        return recnooutput;
    }
    printf("Using fixed logical record length %u\n", (unsigned)reclen);
    printf("Output file name is %s\n", outname);

    // Static: a megabyte is no stack's business, and the program allocates nothing.
    static BYTE buffer[recbuffersize];
    recordio io = {in, out, ReadFile, WriteFile, infile, outname};
    DWORD count = 0;
    int result = convertrecords(io, (DWORD)reclen, buffer, sizeof buffer, &count);

    if (!CloseHandle(out)) {
        printf("** Error closing output file: %s\n", outname);
        if (result == recok) result = recclosefailed;
    }
    if (result == recok)
        printf("Conversion ok, %u records done\n", (unsigned)count);
    else
        printf("*** Conversion terminated with an error, after %u records done\n", (unsigned)count);
    CloseHandle(in);
    return result;
}
