// digest160 and digest128: this file is built once for each.
#include "digest/digestfile.h"

int main(int argc, char **argv) {
#if defined(DIGEST_SHA1)
    return digestmain(sha1algorithm, argc, argv);
#elif defined(DIGEST_MD5)
    return digestmain(md5algorithm, argc, argv);
#else
#error "build with DIGEST_SHA1 or DIGEST_MD5"
#endif
}
