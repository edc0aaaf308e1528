// recmend: rebuilds a fixed-record EBCDIC file from a copy that came from the
// host as text.
#include "recmend/recmend.h"

int main(int argc, char **argv) {
    return recmend(argc, argv);
}
