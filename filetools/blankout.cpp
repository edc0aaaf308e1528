// blankout: zeros into a file at a displacement, asked for on the console.
#include "filetools/blankout.h"

#include "common/input.h"
#include "common/texts.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD zerochunk = 32768;
constexpr int answersize = 20;
const char invalidvalue[] = "*** Invalid value. Max is 2**32-1 = 4294967295\n";

bool yes(const char *answer) {
    return answer[0] == 'y' || answer[0] == 'Y';
}

// "*** Error %lu <what>: <text>\n" for the last error code.
void errorline(DWORD code, const char *what) {
    char text[70];
    errtext(code, text, sizeof text);
    printf("*** Error %lu %s: %s\n", (unsigned long)code, what, text);
}

} // namespace

bool blankoutdispl(const char *answer, DWORD sizehigh, DWORD sizelow, DWORD *high, DWORD *low) {
    if ((answer[0] == 'e' || answer[0] == 'E') && answer[1] == 0) {
        *high = sizehigh;
        *low = sizelow;
        return true;
    }
    uint32_t value;
    if (parsenum(answer, &value) != 0) return false;
    *high = 0;
    *low = value;
    return true;
}

bool writezeros(HANDLE file, DWORD length, DWORD *code) {
    static_assert(zerochunk <= 65536, "the zero buffer lives on the stack");
    char zeros[zerochunk];
    memset(zeros, 0, sizeof zeros);
    DWORD remaining = length;
    while (remaining > 0) {
        DWORD piece = remaining < zerochunk ? remaining : zerochunk;
        DWORD written = 0;
        if (!WriteFile(file, zeros, piece, &written, nullptr) || written != piece) {
            *code = GetLastError();
            return false;
        }
        remaining -= written;
    }
    *code = 0;
    return true;
}

int blankoutmain(int argc, char **argv) {
    if (argc < 2) {
        printf("BLANKOUT writes a specified # of zero bytes to a file, at a\n"
               "specified byte displacement.  The original file size may be increased.\n"
               "Usage:  blankout filename\n");
        return blankoutusage;
    }
    const char *name = argv[1];
    char answer[answersize];
    char size[40];
    printf("Will write zeros to file %s\n", name);

    HANDLE file =
        CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
        printf("** The file does not exist. Do you want to create it? ");
        getinput(answer, sizeof answer, echoplain);
        if (!yes(answer)) return blankoutnocreate;
        file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        errorline(GetLastError(), "opening the file");
        return blankoutnoopen;
    }

    DWORD sizehigh = 0;
    DWORD sizelow = GetFileSize(file, &sizehigh);
    DWORD code;
    if (sizelow == INVALID_FILE_SIZE && (code = GetLastError()) != NO_ERROR) {
        errorline(code, "getting file size");
        CloseHandle(file);
        return blankoutnosize;
    }
    sizetext(sizehigh, sizelow, size, sizeof size, 1);
    printf("Original file size: %s\n", size);

    printf("Enter byte displacement for zeroing (max 2**32-1),\n"
           "or 0 (start of file), or e (end of file): ");
    getinput(answer, sizeof answer, echoplain);
    DWORD displhigh, displlow;
    if (!blankoutdispl(answer, sizehigh, sizelow, &displhigh, &displlow)) {
        printf("%s", invalidvalue);
        CloseHandle(file);
        return blankoutbaddispl;
    }
    LONG movehigh = (LONG)displhigh;
    if (SetFilePointer(file, (LONG)displlow, &movehigh, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        (code = GetLastError()) != NO_ERROR) {
        errorline(code, "setting file pointer");
        CloseHandle(file);
        return blankoutnoseek;
    }
    sizetext(displhigh, displlow, size, sizeof size, 1);
    printf("Using displacement: %s\n", size);

    printf("Enter number of zero bytes to be written: ");
    getinput(answer, sizeof answer, echoplain);
    uint32_t length;
    if (parsenum(answer, &length) != 0) {
        printf("%s", invalidvalue);
        CloseHandle(file);
        return blankoutbadlength;
    }
    printf("Using length %lu\n", (unsigned long)length);

    printf("Enter y to start zeroing: ");
    getinput(answer, sizeof answer, echoplain);
    if (!yes(answer)) {
        printf("** Cancelled\n");
        CloseHandle(file);
        return blankoutcancelled;
    }

    if (!writezeros(file, length, &code)) {
        errorline(code, "writing to file");
        CloseHandle(file);
        return blankoutnowrite;
    }
    if (!CloseHandle(file)) {
        errorline(GetLastError(), "closing the file");
        return blankoutnoclose;
    }
    printf("File area zeroed\n");
    return blankoutdone;
}
