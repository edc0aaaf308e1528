// tailcat: appends files to the end of a target that must already exist.
#include "filetools/tailcat.h"

#include "common/texts.h"

#include <cstdio>

namespace {

constexpr DWORD copychunk = 51200;
const char unchanged[] = "   Program terminated. Target file not changed.\n";
const char abnormal[] = "   Program terminated abnormally.\n";

void errorline(DWORD code) {
    char text[70];
    errtext(code, text, sizeof text);
    printf("   Error: %s\n", text);
}

HANDLE opensource(const char *name) {
    return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// A target size: plain bytes below 4 GB, else the size text, which brings
// its own blank after the colon.
void printsize(const char *label, DWORD high, DWORD low) {
    if (high == 0) {
        printf("%s %lu bytes\n", label, (unsigned long)low);
        return;
    }
    char size[40];
    sizetext(high, low, size, sizeof size, 1);
    printf("%s%s\n", label, size);
}

} // namespace

appendresult appendfile(HANDLE target, HANDLE source, DWORD *high, DWORD *low, DWORD *code) {
    static_assert(copychunk <= 65536, "the copy buffer lives on the stack");
    char buffer[copychunk];
    *high = 0;
    *low = 0;
    *code = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(source, buffer, copychunk, &got, nullptr)) {
            *code = GetLastError();
            return appendresult::readfailed;
        }
        if (got == 0) return appendresult::done;
        DWORD written = 0;
        if (!WriteFile(target, buffer, got, &written, nullptr) || written != got) {
            *code = GetLastError();
            return appendresult::writefailed;
        }
        *low += written;
        if (*low < written) ++*high;
    }
}

int tailcatmain(int argc, char **argv) {
    if (argc < 3) {
        printf("Usage:  tailcat targetfile sourcefile1 [sourcefile2 ...]\n"
               "Copies 1 or more source files to the end of the\n"
               "target file, which must already exist.\n");
        return tailcatusage;
    }
    const char *targetname = argv[1];

    // Every source must open before the target is touched.
    for (int i = 2; i < argc; i++) {
        HANDLE source = opensource(argv[i]);
        if (source == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            printf("** Unable to open source file %s\n", argv[i]);
            errorline(code);
            printf("%s", unchanged);
            return tailcatnosource;
        }
        CloseHandle(source);
    }

    // Held without sharing, so nobody changes it under us, and a source that
    // is the target itself cannot be opened to feed it.
    HANDLE target = CreateFileA(targetname, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        printf("** Unable to open target file %s\n", targetname);
        errorline(code);
        printf("   NOTE: The target file must already exist.\n%s", unchanged);
        return tailcatnotarget;
    }
    DWORD sizehigh = 0;
    DWORD sizelow = GetFileSize(target, &sizehigh);
    if (sizelow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        printf("** Error getting size of target file\n%s", unchanged);
        CloseHandle(target);
        return tailcatnosize;
    }
    LONG movehigh = 0;
    if (SetFilePointer(target, 0, &movehigh, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        printf("** Error positioning to end of target file\n%s", unchanged);
        CloseHandle(target);
        return tailcatnoseek;
    }
    printf("Appending to (writing to end of) target file %s\n", targetname);
    printsize("Original size of target file:", sizehigh, sizelow);

    for (int i = 2; i < argc; i++) {
        const char *name = argv[i];
        HANDLE source = opensource(name);
        if (source == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            printf("** Unable to open source file %s\n", name);
            errorline(code);
            printf("%s", i == 2 ? unchanged : abnormal);
            CloseHandle(target);
            return tailcatnoopen;
        }
        DWORD high, low, code;
        appendresult result = appendfile(target, source, &high, &low, &code);
        if (result == appendresult::readfailed) {
            printf("** Error reading source file %s\n", name);
            errorline(code);
            printf("%s", abnormal);
            CloseHandle(source);
            CloseHandle(target);
            return tailcatnoread;
        }
        if (result == appendresult::writefailed) {
            printf("** Error writing to target file\n");
            errorline(code);
            printf("%s", abnormal);
            CloseHandle(source);
            CloseHandle(target);
            return tailcatnowrite;
        }
        CloseHandle(source);
        if (high == 0)
            printf("Copied %lu bytes from file %s\n", (unsigned long)low, name);
        else {
            char size[40];
            sizetext(high, low, size, sizeof size, 1);
            printf("Copied%sfrom file %s\n", size, name);
        }
    }

    sizelow = GetFileSize(target, &sizehigh);
    if (sizelow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        printf("** Error getting new size of target file\n");
    else
        printsize("New size of target file:", sizehigh, sizelow);

    if (!CloseHandle(target)) {
        DWORD code = GetLastError();
        printf("** Error closing the target file\n");
        errorline(code);
        printf("%s", abnormal);
        return tailcatnoclose;
    }
    printf("Append was successful\n");
    return tailcatdone;
}
