// blockcopy: copies a run of 512-byte blocks from one existing file into
// another.
#include "blockcopy/blockcopy.h"

int main() {
    return blockcopy();
}
