// blankout: the program's entry.
#include "filetools/blankout.h"

int main(int argc, char **argv) {
    return blankoutmain(argc, argv);
}
