#include "tests/support/tempdir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>

// The user's temporary folder (in a Wine prefix under the build folder when the
// tests run under Wine); a name of this process's id and a counter.
tempdir::tempdir() {
    char base[MAX_PATH];
    DWORD n = GetTempPathA(sizeof base, base);
    if (n == 0 || n >= sizeof base) throw std::runtime_error("GetTempPath failed");
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000; attempt++) {
        std::string name = std::string(base) + "suitetest-" +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        if (CreateDirectoryA(name.c_str(), nullptr)) {
            folder = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("CreateDirectory " + name + ": Win32 error " +
                                     std::to_string(GetLastError()));
    }
    throw std::runtime_error(std::string("no free folder name in ") + base);
}
#else
tempdir::tempdir() {
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/suitetest-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp " + pattern + ": " + strerror(errno));
    folder = name.data();
}
#endif

tempdir::~tempdir() {
    std::error_code ignored; // a destructor must not throw; a leftover folder is harmless
    std::filesystem::remove_all(folder, ignored);
}

void writefile(const std::string &path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string readfile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
