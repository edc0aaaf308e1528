// logonx's readfileline over arbitrary file contents and buffer sizes: the
// file is read line after line from an arbitrary start, each call with the
// next size of a list taken off the front of the input, and every result,
// line and offset is held against the plain model on the same bytes (a line
// ends at CR or LF; CR LF, LF CR and CR CR are one line end each).
#include "logonx/secret.h"
#include "tests/fuzz/fuzz.h"

#include <cstring>
#include <unistd.h>

namespace {

char path[300];

void removefile() {
    unlink(path);
}

struct modelline {
    int result;
    std::string text;
    size_t next;
};

modelline readmodel(const std::string &file, size_t offset, int size) {
    if (size < 1) return {-3, "", offset};
    if (offset >= file.size()) return {-1, "", offset};
    size_t i = offset;
    while (i < file.size() && file[i] != '\r' && file[i] != '\n')
        i++;
    std::string line = file.substr(offset, i - offset);
    if (i < file.size()) {
        char c = file[i++];
        if (i < file.size() && ((c == '\r' && file[i] == '\n') || file[i] == '\r')) i++;
    }
    line.resize(std::min(line.size(), (size_t)size - 1));
    return {(int)line.size(), line, i};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const char *tmp = getenv("TMPDIR");
    snprintf(path, sizeof path, "%s/readfileline-%d.txt", tmp != nullptr ? tmp : "/tmp",
             (int)getpid());
    atexit(removefile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    // 1 to 8 buffer sizes from -1 to 254, across the routine's 150-byte
    // reads; then the start offset, anywhere in the file or just past it.
    int sizes[8], nsizes = in.byte() % 8 + 1;
    bool anyvalid = false;
    for (int i = 0; i < nsizes; i++) {
        sizes[i] = (int)in.byte() - 1;
        anyvalid = anyvalid || sizes[i] >= 1;
    }
    unsigned start = in.u16();
    std::string file = in.text(in.size);
    start %= file.size() + 2;

    FILE *f = fopen(path, "wb");
    CHECK(f != nullptr);
    CHECK(fwrite(file.data(), 1, file.size(), f) == file.size());
    CHECK(fclose(f) == 0);
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(handle != INVALID_HANDLE_VALUE);

    DWORD offset = start;
    for (int call = 0;; call++) {
        int bufsize = sizes[call % nsizes];
        size_t allocated = bufsize > 0 ? (size_t)bufsize : 1;
        char *buffer = (char *)malloc(allocated);
        memset(buffer, 0x5A, allocated);
        modelline expected = readmodel(file, offset, bufsize);
        int got = readfileline(handle, &offset, buffer, bufsize);
        CHECK(got == expected.result);
        CHECK(offset == expected.next);
        if (got >= 0) {
            CHECK(buffer[got] == 0);
            CHECK(std::string(buffer, (size_t)got) == expected.text);
        } else if (got == -1) {
            CHECK(buffer[0] == 0);
        }
        free(buffer);
        // Sizes below 1 are refused alike, the others read on to the end.
        if (got == -1 || (got == -3 && !anyvalid)) break;
    }
    CloseHandle(handle);
    return 0;
}
