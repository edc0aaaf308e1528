// keyprobe COUNT: reads COUNT codes with rawkey() and prints each as two
// hexadecimal digits and a blank, then a line end: the raw key codes as a
// program sees them, for tests of the console layer.
#include "port/console.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    int count = atoi(argv[1]);
    for (int i = 0; i < count; i++)
        printf("%02x ", rawkey());
    printf("\n");
    return 0;
}
