// Console line input and the number parser.
#include "common/input.h"

#include "port/console.h"

void getinputwith(char *buffer, int maxlength, unsigned mode, int (*key)(void),
                  int (*echo)(const char *format, ...)) {
    if (maxlength <= 0) return;
    const int capacity = maxlength - 1;
    const bool masked = (mode & echomask) != 0;
    const bool plain = !masked && (mode & echoplain) != 0;

    auto show = [&](int c) {
        if (masked)
            echo("*");
        else if (plain)
            echo("%c", c);
    };

    int length = 0;
    if (mode & echopreset) {
        while (length < capacity && buffer[length] != 0)
            show((unsigned char)buffer[length++]);
    }
    while (length < capacity) {
        int c = key();
        if (c == 13) break;
        if (c == 8) {
            if (length == 0) continue;
            length--;
            if (masked || plain) echo("%c %c", 8, 8);
        } else if (c == 0 || c == 0xE0) {
            key(); // extended keys do nothing: drop the key's code with its prefix
        } else if (c < 32) {
            // Tab, Esc, Ctrl+letters: ignored
        } else {
            buffer[length++] = (char)c;
            show(c);
        }
    }
    buffer[length] = 0;
    echo("\n");
}

void getinput(char *buffer, int maxlength, unsigned mode) {
    getinputwith(buffer, maxlength, mode, rawkey, conprintf);
}

int parsenum(const char *text, uint32_t *value) {
    uint32_t v = 0;
    int digits = 0;
    bool enddigits = false;
    for (const char *p = text; *p != 0; p++) {
        char c = *p;
        if (c == ' ') {
            if (digits > 0) enddigits = true;
            continue;
        }
        if (enddigits || c < '0' || c > '9' || digits == 10) return 1;
        uint32_t d = (uint32_t)(c - '0');
        if (digits == 9 && (v > 429496729u || (v == 429496729u && d > 5))) return 1;
        v = v * 10 + d;
        digits++;
    }
    if (digits == 0) return 1;
    *value = v;
    return 0;
}
