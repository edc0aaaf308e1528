// chalresp: the answer to a KESTREL sign-on challenge, the MD5 digest of the
// challenge immediately followed by the password.
#include "common/digest.h"
#include "common/input.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    // Challenge and password share one buffer so that they form one string.
    char text[200];
    const size_t maxchallenge = 197;

    printf("Calculates MD5 digest of Challenge + password\n");
    if (argc > 1) {
        size_t len = strnlen(argv[1], maxchallenge);
        memcpy(text, argv[1], len);
        text[len] = 0;
        printf("Using challenge string: %s\n", text);
    } else {
        printf("Usage:     chalresp challengestring\n");
        printf("For more info, type \"help challenge\" in KESTREL.\n");
        printf("Enter the Challenge string: ");
        getinput(text, (int)maxchallenge + 1, echoplain);
    }
    size_t challengelen = strlen(text);
    printf("Enter password: ");
    getinput(text + challengelen, (int)(sizeof text - challengelen), echomask);

    uint8_t digest[16];
    MD5Buffer(reinterpret_cast<const uint8_t *>(text), (uint32_t)strlen(text), digest);
    printf("MD5 digest in hex: ");
    for (uint8_t b : digest) printf("%02lx", (unsigned long)b);
    printf("\n");
    return 0;
}
