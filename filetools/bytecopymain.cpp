// bytecopy: the program's entry.
#include "filetools/bytecopy.h"

int main(int argc, char **argv) {
    return bytecopymain(argc, argv);
}
