// tailcat: the program's entry.
#include "filetools/tailcat.h"

int main(int argc, char **argv) {
    return tailcatmain(argc, argv);
}
