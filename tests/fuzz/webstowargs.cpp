// webstow's command line over arbitrary argument vectors (the input split at
// zero bytes): the parse either refuses, or returns a complete record whose
// every field matches the plain model of the options, the positional
// parameters, the URL grammar and the limits, pointing into the arguments.
#include "tests/fuzz/fuzz.h"
#include "webstow/putparms.h"

#include <cstring>
#include <vector>

namespace {

struct model {
    bool accepted = false;
    int filetype = 2, binfc80 = 0, showall = 0;
    size_t bare = 0;                   // where the bare name starts in the local file
    size_t lendomain = 0, lenhost = 0; // within the URL after "http://"
    int port = 80;
    bool userid = false, password = false;
};

model modelparse(const std::vector<std::string> &args) {
    model m;
    size_t argc = args.size(), next = 1;
    if (argc < 2) return m;
    bool help = false, version = false;
    for (; next < argc && !args[next].empty() && args[next][0] == '-'; next++) {
        const std::string &o = args[next];
        if (o == "-h")
            help = true;
        else if (o == "-v")
            version = true;
        else if (o == "-a")
            m.showall = 1;
        else if (o == "-b")
            m.filetype = 1;
        else if (o == "-t")
            m.filetype = 0, m.binfc80 = 0;
        else if (o == "-binfc80")
            m.filetype = 1, m.binfc80 = 1;
        else
            return m;
    }
    if (help || version || argc - next < 2) return m;

    // The POSIX build names folders with '/' only.
    const std::string &local = args[next++];
    size_t slash = local.rfind('/');
    m.bare = slash == std::string::npos ? 0 : slash + 1;
    if (m.bare == local.size()) return m;

    const std::string &url = args[next++];
    if (url.size() < 7) return m;
    for (size_t i = 0; i < 7; i++) {
        char c = url[i] >= 'A' && url[i] <= 'Z' ? (char)(url[i] - 'A' + 'a') : url[i];
        if (c != "http://"[i]) return m;
    }
    size_t end = url.find_first_of(":/", 7);
    if (end == std::string::npos || end == 7) return m;
    m.lendomain = end - 7;
    if (url[end] == ':') {
        size_t slashafter = url.find('/', end + 1);
        if (slashafter == std::string::npos || slashafter == end + 1) return m;
        long port = 0;
        for (size_t i = end + 1; i < slashafter; i++) {
            if (url[i] < '0' || url[i] > '9') return m;
            port = port * 10 + (url[i] - '0');
            if (port > 65535) return m;
        }
        if (port == 0) return m;
        m.port = (int)port;
        end = slashafter;
    }
    m.lenhost = end - 7;
    size_t lenpath = url.size() - end;
    bool addname = url.back() == '/';

    if (next < argc) {
        if (args[next++].size() > 256) return m;
        m.userid = true;
    }
    if (next < argc) {
        if (args[next++].size() > 256) return m;
        m.password = true;
    }
    if (next < argc) return m;
    if (lenpath + (addname ? local.size() - m.bare : 0) > 924) return m;
    if (m.lenhost > 924) return m;
    m.accepted = true;
    return m;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Errors, banner and usage text go to standard output; nobody reads them.
    CHECK(freopen("/dev/null", "w", stdout) != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Arguments: the program's name, then the input's pieces between zero
    // bytes, at most 9 of them; each in storage of exactly its size.
    std::vector<std::string> args = {"webstow"};
    fuzzinput in{data, size};
    while (in.size > 0 && args.size() < 10)
        args.push_back(in.field());
    std::vector<char *> argv;
    for (const std::string &a : args) {
        char *copy = (char *)malloc(a.size() + 1);
        memcpy(copy, a.c_str(), a.size() + 1);
        argv.push_back(copy);
    }
    argv.push_back(nullptr);
    const int argc = (int)args.size();

    putparms p;
    int rc = parseputparms(argc, argv.data(), &p);
    model m = modelparse(args);
    CHECK(rc == 0 || rc == 1);
    CHECK((rc == 0) == m.accepted);
    if (rc == 0) {
        // Options, then the local file and the URL, then userid and password.
        int first = argc - 2 - (m.userid ? 1 : 0) - (m.password ? 1 : 0);
        const char *local = argv[first], *url = argv[first + 1];
        CHECK(p.localfile == local);
        CHECK(p.locfilebare == local + m.bare);
        CHECK(p.lenlocfilebare >= 1 && (size_t)p.lenlocfilebare == strlen(p.locfilebare));
        CHECK(p.domain == url + 7 && (size_t)p.lendomain == m.lendomain && p.lendomain >= 1);
        CHECK((size_t)p.lenhost == m.lenhost && p.lenhost <= maxhost);
        CHECK(p.port == m.port && p.port >= 1 && p.port <= 65535);
        CHECK(p.path == url + 7 + p.lenhost && p.path[0] == '/');
        CHECK((size_t)p.lenpath == strlen(p.path));
        CHECK(p.addnamesw == (p.path[p.lenpath - 1] == '/' ? 1 : 0));
        CHECK(p.lenpath + (p.addnamesw ? p.lenlocfilebare : 0) <= maxtarget);
        CHECK((p.userid != nullptr) == m.userid && (p.password != nullptr) == m.password);
        if (m.userid)
            CHECK(p.userid == argv[first + 2] && (size_t)p.lenuserid == strlen(p.userid) &&
                  p.lenuserid <= maxuserid);
        if (m.password)
            CHECK(p.password == argv[first + 3] && (size_t)p.lenpassword == strlen(p.password) &&
                  p.lenpassword <= maxuserid);
        CHECK(p.filetype == m.filetype && p.binfc80 == m.binfc80 && p.showall == m.showall);
        CHECK(p.wanthelp == 0 && p.wantversion == 0);
    }
    for (char *a : argv)
        free(a);
    return 0;
}
