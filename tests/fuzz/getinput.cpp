// getinputwith over arbitrary key sequences, every mode and maximum length:
// calls follow each other over one input, each taking its mode, maximum
// length and default text off the front and then as many keys as it reads
// (Enter once the input has run out). After every call the buffer must hold
// a terminated line within its size, and the echo, played on a model screen,
// must show exactly that line (or as many "*", or nothing).
#include "common/input.h"
#include "tests/fuzz/fuzz.h"

#include <cstdarg>
#include <cstring>

namespace {

fuzzinput keys{nullptr, 0};
int keyreads;

int nextkey(void) {
    keyreads++;
    return keys.size > 0 ? keys.byte() : 13;
}

// The echo's screen line: characters overwrite at the cursor, 8 moves it
// back, a line feed ends the line.
char screen[1024];
int cursor, widest;
bool newline, echoafterline;

int echo(const char *format, ...) {
    char text[64];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    CHECK(n >= 0 && n < (int)sizeof text);
    for (int i = 0; i < n; i++) {
        if (newline) echoafterline = true;
        unsigned char c = (unsigned char)text[i];
        if (c == '\n') {
            newline = true;
        } else if (c == 8) {
            CHECK(cursor > 0);
            cursor--;
        } else {
            CHECK(cursor < (int)sizeof screen);
            screen[cursor++] = (char)c;
            if (cursor > widest) widest = cursor;
        }
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    keys = {data, size};
    while (keys.size > 0) {
        unsigned mode = keys.byte();
        // -2 .. 509: the sizes of nothing, of one terminator only, and longer
        // than the model screen needs.
        int maxlength = (int)keys.u16() % 512 - 2;
        unsigned presetlength = keys.byte();

        size_t allocated = maxlength > 0 ? (size_t)maxlength : 1;
        char *buffer = (char *)malloc(allocated);
        memset(buffer, 0x5A, allocated);
        // The default is text the program offers: printable characters,
        // with or without a terminator inside the buffer.
        std::string preset = keys.text(presetlength);
        for (size_t i = 0; i < preset.size() && i < allocated; i++)
            buffer[i] = (char)((unsigned char)preset[i] < 32 ? preset[i] + 32 : preset[i]);
        if (preset.size() < allocated) buffer[preset.size()] = 0;

        std::string before(buffer, allocated);
        cursor = widest = 0;
        newline = echoafterline = false;
        keyreads = 0;
        getinputwith(buffer, maxlength, mode, nextkey, echo);

        if (maxlength <= 0) {
            CHECK(keyreads == 0 && cursor == 0 && !newline);
            CHECK(memcmp(buffer, before.data(), allocated) == 0);
        } else {
            const char *end = (const char *)memchr(buffer, 0, (size_t)maxlength);
            CHECK(end != nullptr);
            int length = (int)(end - buffer);
            CHECK(length <= maxlength - 1);
            CHECK(newline && !echoafterline);
            for (int i = 0; i < length; i++)
                CHECK((unsigned char)buffer[i] >= 32);
            if (mode & echomask) {
                CHECK(cursor == length);
                for (int i = 0; i < length; i++)
                    CHECK(screen[i] == '*');
            } else if (mode & echoplain) {
                CHECK(cursor == length);
                CHECK(memcmp(screen, buffer, (size_t)length) == 0);
                // What was rubbed out is blank on the screen.
                for (int i = length; i < widest; i++)
                    CHECK(screen[i] == ' ');
            } else {
                CHECK(widest == 0);
            }
            // The line was ended by Enter, unless it filled up first.
            if (length < maxlength - 1) CHECK(keyreads > 0);
        }
        free(buffer);
    }
    return 0;
}
