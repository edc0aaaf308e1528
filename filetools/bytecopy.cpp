// bytecopy: byte ranges from one source into target files.
#include "filetools/bytecopy.h"

#include "common/input.h"
#include "common/texts.h"
#include "port/console.h"

#include <cstdio>
#include <cstring>

// Not every set of headers names it; the Win32 number of "file too large".
#ifndef ERROR_FILE_TOO_LARGE
#define ERROR_FILE_TOO_LARGE 223L
#endif

namespace {

constexpr DWORD copychunk = 40960;
constexpr int namesize = 300;
constexpr int displsize = 100;

// This program's echo belongs in standard output with its other messages.
void readline(char *buffer, int size) {
    getinputwith(buffer, size, echoplain, rawkey, printf);
}

// Without a terminal the answers come from standard input; once it has ended
// every further line would be empty, and a question asked again would be
// asked for ever.
bool inputended() {
    return feof(stdin) != 0;
}

void terminated() {
    printf("Program terminated\n");
}

// "<message>%s\n" with the error text of `code`.
void errorline(const char *format, DWORD code) {
    char text[70];
    errtext(code, text, sizeof text);
    printf(format, text);
}

// Source and target positions are below 4 GB: the high word is 0, passed so
// that positions from 2 GB up are not taken for negative distances. The
// result 0xFFFFFFFF is also a valid position; the last error tells failure.
bool setposition(HANDLE file, DWORD position) {
    LONG high = 0;
    return !(SetFilePointer(file, (LONG)position, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
             GetLastError() != NO_ERROR);
}

// The size of a file the program can serve: below 4 GB, where every
// displacement fits its 32 bits. A size cut to its low half would make "e"
// overwrite the middle of a big target instead of appending to it. False with
// *code set otherwise.
bool servablesize(HANDLE file, DWORD *size, DWORD *code) {
    DWORD high = 0;
    *size = GetFileSize(file, &high);
    if (*size == INVALID_FILE_SIZE && (*code = GetLastError()) != NO_ERROR) return false;
    if (high != 0) {
        *code = ERROR_FILE_TOO_LARGE;
        return false;
    }
    return true;
}

} // namespace

displverdict judgedispl(const char *text, DWORD maximum, DWORD star, DWORD *value) {
    if (strcmp(text, "x") == 0) return displverdict::terminate;
    if (strcmp(text, "e") == 0) {
        *value = maximum;
        return displverdict::accepted;
    }
    uint32_t v;
    if (text[0] == '*') {
        if (text[1] == 0) {
            v = star;
        } else if (text[1] == '+') {
            uint32_t offset;
            if (parsenum(text + 2, &offset) != 0) return displverdict::invalid;
            v = star + offset;
            if (v < star) return displverdict::beyond32bits;
        } else {
            return displverdict::invalid;
        }
    } else if (parsenum(text, &v) != 0) {
        return displverdict::invalid;
    }
    if (v > maximum) return displverdict::beyondsize;
    *value = v;
    return displverdict::accepted;
}

bool getdispl(DWORD *result, DWORD maximum, DWORD star) {
    char line[displsize];
    for (;;) {
        readline(line, sizeof line);
        switch (judgedispl(line, maximum, star, result)) {
        case displverdict::accepted: return true;
        case displverdict::terminate: terminated(); return false;
        case displverdict::invalid: printf("** Invalid value. Re-enter it (n/e/*/*+n/x): "); break;
        case displverdict::beyond32bits:
            printf("** Resulting displacement exceeds 32 bits. Re-enter it: ");
            break;
        case displverdict::beyondsize:
            printf("** Displacement exceeds size %lu of file. Re-enter it: ",
                   (unsigned long)maximum);
            break;
        }
        if (inputended()) {
            printf("\n");
            terminated();
            return false;
        }
    }
}

copyresult copyrange(HANDLE source, HANDLE target, DWORD start, DWORD end) {
    static_assert(copychunk <= 65536, "the copy buffer lives on the stack");
    char buffer[copychunk];
    DWORD posin = start;
    while (posin < end) {
        DWORD chunk = end - posin < copychunk ? end - posin : copychunk;
        DWORD done = 0;
        copyresult result = copyresult::copied;
        if (!ReadFile(source, buffer, chunk, &done, nullptr) || done != chunk)
            result = copyresult::readfailed;
        else if (!WriteFile(target, buffer, chunk, &done, nullptr) || done != chunk)
            result = copyresult::writefailed;
        if (result != copyresult::copied) {
            DWORD code = GetLastError();
            printf(result == copyresult::readfailed
                       ? "** Error reading source file, copy terminated\n"
                       : "** Error writing target file, copy terminated\n");
            printf("   Position in source file: posin = %lu\n", (unsigned long)posin);
            if (code != 0) errorline("   Error = %s\n", code);
            return result;
        }
        posin += chunk;
    }
    return copyresult::copied;
}

bool anothertarget(void) {
    fflush(stdout);
    // Only the first character counts, so only it is kept: no word is too
    // long for the answer.
    int c;
    do
        c = getchar();
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f');
    int first = c;
    while (c != EOF && c != '\n')
        c = getchar();
    return first == 'y' || first == 'Y';
}

int bytecopymain(int, char **) {
    printf("Copy bytes from one file to another\n"
           "  Byte displacements in file can be entered as n or e (end of file)\n"
           "  or * (previous ending displ in the file) or *+n or x (exit)\n");
    char sourcename[namesize];
    printf("Enter source file name: ");
    readline(sourcename, sizeof sourcename);
    HANDLE source =
        CreateFileA(sourcename, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD code = GetLastError();
    DWORD sourcesize = 0;
    if (source != INVALID_HANDLE_VALUE && !servablesize(source, &sourcesize, &code)) {
        CloseHandle(source);
        source = INVALID_HANDLE_VALUE;
    }
    if (source == INVALID_HANDLE_VALUE) {
        errorline("** Unable to open source file: %s\n", code);
        return bytecopynosource;
    }
    printf("Source file size is %lu bytes\n", (unsigned long)sourcesize);

    int status = bytecopydone;
    DWORD previousend = 0, start = 0, end = 0;
    bool askrange = true;
    char targetname[namesize];
    for (;;) {
        while (askrange) {
            printf("Enter start byte displacement in source file: ");
            if (!getdispl(&start, sourcesize, previousend)) {
                CloseHandle(source);
                return bytecopyterminated;
            }
            printf("Enter end byte displacement in source file: ");
            if (!getdispl(&end, sourcesize, previousend)) {
                CloseHandle(source);
                return bytecopyterminated;
            }
            previousend = end;
            if (start >= end) {
                printf("** No bytes copied\n\n");
                continue;
            }
            printf("Source file: %s\nStart displ: %lu  End displ: %lu  # bytes to copy: %lu\n",
                   sourcename, (unsigned long)start, (unsigned long)end,
                   (unsigned long)(end - start));
            askrange = false;
        }

        printf("\nEnter target file name or 0 to exit: ");
        readline(targetname, sizeof targetname);
        if (strcmp(targetname, "0") == 0) break;

        // Write sharing only: a file open elsewhere for reading, the source
        // among them, cannot be a target.
        DWORD targetstart = 0;
        HANDLE target = CreateFileA(targetname, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        const char *failure = nullptr;
        code = GetLastError();
        if (target != INVALID_HANDLE_VALUE) {
            DWORD targetsize;
            if (!servablesize(target, &targetsize, &code)) {
                CloseHandle(target);
                failure = "** Unable to open target file: %s\n";
            } else {
                printf("Target file already exists, size %lu bytes\n", (unsigned long)targetsize);
                printf("Enter start byte displacement in target file: ");
                if (!getdispl(&targetstart, targetsize, 0)) {
                    CloseHandle(target);
                    CloseHandle(source);
                    return bytecopyterminated;
                }
                printf("Using start displ = %lu in target file\n", (unsigned long)targetstart);
            }
        } else if (code == ERROR_FILE_NOT_FOUND) {
            target = CreateFileA(targetname, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            code = GetLastError();
            if (target == INVALID_HANDLE_VALUE) {
                failure = "** Unable to create target file: %s\n";
            } else {
                printf("New target file created: %s\n", targetname);
                printf("Using start displ = 0 in new target file\n");
            }
        } else {
            failure = "** Unable to open target file: %s\n";
        }
        if (failure != nullptr) {
            // The same range waits for another target name.
            errorline(failure, code);
            if (inputended()) {
                terminated();
                CloseHandle(source);
                return bytecopyterminated;
            }
            continue;
        }
        askrange = true;

        if (!setposition(source, start)) {
            printf("** Error setting start position in source file\n");
            CloseHandle(target);
            status = bytecopynoseek;
            break;
        }
        if (!setposition(target, targetstart)) {
            printf("** Error setting start position in target file\n");
            CloseHandle(target);
            status = bytecopynoseek;
            break;
        }
        printf("Copy starting...\n");
        copyresult copied = copyrange(source, target, start, end);
        if (!CloseHandle(target)) {
            errorline("** Error closing target file: %s\n", GetLastError());
            status = bytecopynoclose;
            break;
        }
        if (copied != copyresult::copied) {
            status = copied == copyresult::readfailed ? bytecopynoread : bytecopynowrite;
            break;
        }
        printf("%lu bytes copied\n", (unsigned long)(end - start));
        printf("Another target file? (y/n) ");
        if (!anothertarget()) break;
        printf("\n");
    }
    CloseHandle(source);
    return status;
}
