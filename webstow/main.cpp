// webstow: sends one local file to an HTTP server with one HTTP/1.0 PUT
// request and ends with the server's status code.
#include "webstow/putparms.h"
#include "webstow/upload.h"

int main(int argc, char **argv) {
    putparms parms;
    int rc = parseputparms(argc, argv, &parms);
    if (rc != 0) return rc;
    return exitstatus(upload(&parms));
}
