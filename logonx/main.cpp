// logonx: turns a KESTREL password into the printable sign-on string, bound
// to the user's IP address, a shared secret and a date and time.
#include "common/input.h"
#include "logonx/cipher.h"
#include "logonx/secret.h"
#include "logonx/sysrand.h"
#include "logonx/wipe.h"

#include <cstdio>

int main(int argc, char **argv) {
    // Before anything is printed: the time the user takes from here to the
    // end of the password enters the random draws.
    DWORD t0 = GetTickCount();
    char ip[ipsize] = "";
    char secret[secretsize] = "";
    char datetime[20];
    char password[maxpassword + 1] = "";
    char signon[61];

    printf("Encrypts a password into a printable string.\n");
    char digit = (argc > 1 && argv[1][0] != 0 && argv[1][1] == 0) ? argv[1][0] : '1';
    findsecret(digit, ip, secret);

    printf("Enter your IP address: ");
    getinput(ip, ipsize, echoplain | echopreset);
    if (secret[0] != 0) {
        printf("Using shared SECRET string from file\n");
    } else {
        printf("Enter shared SECRET string: ");
        getinput(secret, secretsize, echomask);
    }

    // The default is now to the minute: yyyymmddhhmm out of "yyyy/mm/dd hh:mm:ss".
    char now[20];
    nowtext(now);
    static const int picks[12] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15};
    for (int k = 0; k < 12; k++)
        datetime[k] = now[picks[k]];
    datetime[12] = 0;
    printf("Enter date/time as yyyymmddhhmm: ");
    getinput(datetime, sizeof datetime, echoplain | echopreset);

    printf("Enter user password (max len 32): ");
    getinput(password, sizeof password, echomask);
    DWORD t1 = GetTickCount();

    const DWORD noncevalues[2] = {t0, t1};
    uint8_t nonce[32];
    sysrand(noncevalues, 2, nonce);
    const DWORD fillvalues[3] = {t0, t1, 314159};
    uint8_t fill[32];
    sysrand(fillvalues, 3, fill);

    signonstring(ip, secret, datetime, password, nonce, fill, signon);
    wipe(password, sizeof password);
    wipe(secret, sizeof secret);
    wipe(fill, sizeof fill);
    wipe(nonce, sizeof nonce);

    printf("Password string for sign-on:\n%s\n", signon);
    return 0;
}
