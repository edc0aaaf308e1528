// webstow's command line: options, the positional parameters, the URL
// grammar and its limits, the texts, and the password prompt.
#include "webstow/putparms.h"

#include "common/input.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void showbanner() {
    printf("webstow command, version 1.0.\n"
           "Copyright (c) 2026 the KESTREL workstation suite developers.\n"
           "For short help, type:  webstow -h\n");
}

// An error line followed by the usage text: every refused command line.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
int refuse(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    showusage();
    return 1;
}

// A length as the record keeps it. Arguments are far shorter than INT_MAX on
// every system; were one not, it would still be refused by the limits.
int lengthof(size_t length) {
    return length < (size_t)INT_MAX ? (int)length : INT_MAX;
}

// Where a local path splits from its name. Windows names folders with '\'
// and drives with ':' as well as '/'; here those are ordinary name
// characters.
bool pathseparator(char c) {
#ifdef _WIN32
    return c == ':' || c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// The URL "http://domain[:port]/path": fills domain, host, port and path, or
// prints why it is refused and returns 1.
int parseurl(const char *url, putparms *parms) {
    const size_t length = strlen(url);
    char scheme[8] = {};
    for (size_t i = 0; i < 7 && i < length; i++) {
        char c = url[i];
        scheme[i] = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
    }
    if (length < 7 || memcmp(scheme, "http://", 7) != 0)
        return refuse("** Error: URL does not start http:// : %s\n", url);

    size_t at = 7;
    while (at < length && url[at] != ':' && url[at] != '/')
        at++;
    if (at == length) return refuse("** Error: invalid or incomplete URL: %s\n", url);
    if (at == 7) return refuse("** Error: invalid URL: %s\n", url);
    parms->domain = url + 7;
    parms->lendomain = lengthof(at - 7);
    parms->port = 80;

    if (url[at] == ':') {
        at++;
        if (at < length && url[at] == '/') return refuse("** Error: invalid port number in URL\n");
        long port = 0;
        for (;; at++) {
            if (at == length) return refuse("** Error: invalid or incomplete URL: %s\n", url);
            char c = url[at];
            if (c == '/') break;
            if (c < '0' || c > '9' || port * 10 + (c - '0') > 65535)
                return refuse("** Error: invalid port number in URL\n");
            port = port * 10 + (c - '0');
        }
        if (port == 0) return refuse("** Error: invalid port number in URL\n");
        parms->port = (int)port;
    }
    // The limits on these are checked once all parameters are taken.
    parms->lenhost = lengthof(at - 7);
    parms->path = url + at;
    parms->lenpath = lengthof(length - at);
    parms->addnamesw = url[length - 1] == '/' ? 1 : 0;
    return 0;
}

} // namespace

void showusage(void) {
    printf("webstow command: Sends a file to an HTTP server by a PUT request.\n"
           "Usage:  webstow [options] localfile http://domain[:port]/path/[remotefile]\n"
           "                   [userid] [password]\n"
           "Options:  -h         Display short help and exit (no operation is done)\n"
           "          -v         Display version and copyright information and exit\n"
           "          -b         Binary file\n"
           "          -t         Text file\n"
           "          -binfc80   Binary file, to be stored on a KESTREL HTTP server\n"
           "                     as RECFM=FC LRECL=80\n"
           "          -a         Show all response records from the server\n"
           "Defaults: port: 80. path: none. remotefile: same name as localfile but\n"
           "          without the path of the localfile. userid: none.\n"
           "          password: prompts for it. file type: none.\n"
           "Examples:\n"
           "  webstow -t -a c:\\data\\myfile.txt http://kestrel.example.com/here/ myid\n"
           "  webstow -b pic1.jpg http://web.example.com/abc/http/pic2.jpg abc\n"
           "  webstow -binfc80 files.arc http://web.example.com:800/abc/ abc\n");
}

int parseputparms(int argc, char **argv, putparms *parms) {
    *parms = putparms{};
    if (argc < 2) {
        showusage();
        return 1;
    }

    int next = 1;
    for (; next < argc && argv[next][0] == '-'; next++) {
        const char *option = argv[next];
        if (strcmp(option, "-h") == 0) {
            parms->wanthelp = 1;
        } else if (strcmp(option, "-v") == 0) {
            parms->wantversion = 1;
        } else if (strcmp(option, "-a") == 0) {
            parms->showall = 1;
        } else if (strcmp(option, "-b") == 0) {
            parms->filetype = 1;
        } else if (strcmp(option, "-t") == 0) {
            parms->filetype = 0;
            parms->binfc80 = 0;
        } else if (strcmp(option, "-binfc80") == 0) {
            parms->filetype = 1;
            parms->binfc80 = 1;
        } else {
            return refuse("** Error: invalid option: %s\n", option);
        }
    }
    if (parms->wantversion) showbanner();
    if (parms->wanthelp) {
        showusage();
        return 1;
    }
    if (parms->wantversion) return 1;

    if (argc - next < 2) return refuse("** Error: a required parameter is missing\n");

    const char *localfile = argv[next++];
    const char *bare = localfile + strlen(localfile);
    while (bare > localfile && !pathseparator(bare[-1]))
        bare--;
    if (*bare == 0) return refuse("** Error: invalid local file name %s\n", localfile);
    parms->localfile = localfile;
    parms->locfilebare = bare;
    parms->lenlocfilebare = lengthof(strlen(bare));

    if (parseurl(argv[next++], parms) != 0) return 1;

    if (next < argc) {
        const char *userid = argv[next++];
        size_t length = strnlen(userid, maxuserid + 1);
        if (length > maxuserid)
            return refuse("** Error: userid is too long, max length is %d\n", maxuserid);
        parms->userid = userid;
        parms->lenuserid = (int)length;
    }
    if (next < argc) {
        const char *password = argv[next++];
        size_t length = strnlen(password, maxuserid + 1);
        if (length > maxuserid)
            return refuse("** Error: password is too long, max length is %d\n", maxuserid);
        parms->password = password;
        parms->lenpassword = (int)length;
    }
    if (next < argc) return refuse("** Error: excess parameters\n");

    long long target = (long long)parms->lenpath + (parms->addnamesw ? parms->lenlocfilebare : 0);
    if (target > maxtarget)
        return refuse("** Error: path+name is too long, max length is %d\n", maxtarget);
    if (parms->lenhost > maxhost)
        return refuse("** Error: domain name is too long, max length is %d\n", maxhost);
    return 0;
}

int completepassword(putparms *parms, char *buffer) {
    if (parms->userid == nullptr || parms->password != nullptr) return 0;
    printf("Enter password for userid %s on server: ", parms->userid);
    getinput(buffer, passwordsize, 0);
    size_t length = strlen(buffer);
    if (length > maxuserid) {
        printf("** Error: password is too long, max length is %d\n", maxuserid);
        return 7;
    }
    parms->password = buffer;
    parms->lenpassword = (int)length;
    return 0;
}
