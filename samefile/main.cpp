// samefile: compares files byte by byte.
#include "samefile/samefile.h"

int main(int argc, char **argv) {
    return samefilemain(argc, argv);
}
