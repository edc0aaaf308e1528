// What the tests of the file programs (recmend, blockcopy, blankout, bytecopy,
// tailcat) need on both builds: files and folders, links, big sparse files,
// the null device, the EBCDIC table as the C library has it, and the few
// things only Wine offers a Windows program (its Unix devices through Z:).
#pragma once

#include "tests/support/run.h"
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <unistd.h>
#endif

namespace filetests {

// The null device by its name on this system.
#ifdef _WIN32
inline const std::string nulldevice = "NUL";
#else
inline const std::string nulldevice = "/dev/null";
#endif

inline bool exists(const std::string &path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

inline bool makefolder(const std::string &path) {
    std::error_code failed;
    return std::filesystem::create_directory(path, failed);
}

inline bool hardlink(const std::string &existing, const std::string &name) {
#ifdef _WIN32
    return CreateHardLinkA(name.c_str(), existing.c_str(), nullptr) != 0;
#else
    return link(existing.c_str(), name.c_str()) == 0;
#endif
}

// A file of `size` bytes, all zero, without writing them: sparse on Linux
// (truncate) and under Wine; on Windows the file's end is set past them.
inline bool bigfile(const std::string &path, uint64_t size) {
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD unused;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr); // NTFS only
    LONG high = (LONG)(size >> 32);
    bool ok = SetFilePointer(h, (LONG)(DWORD)size, &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
              GetLastError() == NO_ERROR;
    ok = ok && SetEndOfFile(h);
    return CloseHandle(h) && ok;
#else
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    return truncate(path.c_str(), (off_t)size) == 0;
#endif
}

// `count` bytes of a file from a 64-bit offset (fewer at its end).
inline std::string readat(const std::string &path, uint64_t offset, size_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg((std::streamoff)offset);
    std::string bytes(count, 0);
    in.read(bytes.data(), (std::streamsize)count);
    bytes.resize((size_t)in.gcount());
    return bytes;
}

// Under Wine a Windows program also reaches the Unix files through drive Z:,
// among them devices that fail in ways no Windows file can be made to:
// Z:\dev\full (every write: disk full) and Z:\proc\self\mem (the first read).
// The file's name on drive Z: under Wine (its Unix path with '\'), or empty.
inline std::string unixspelling(const std::string &path) {
#ifdef _WIN32
    typedef char *(CDECL * unixname)(LPCWSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto tounix =
        kernel ? (unixname)(void *)GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr;
    wchar_t wide[MAX_PATH];
    if (tounix == nullptr || MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return {};
    char *name = tounix(wide);
    if (name == nullptr) return {};
    std::string z = std::string("Z:") + name;
    HeapFree(GetProcessHeap(), 0, name);
    for (char &c : z)
        if (c == '/') c = '\\';
    return z;
#else
    (void)path;
    return {};
#endif
}

// ISO 8859-1 to IBM code page 1047 as glibc's iconv converts every byte
// (recmend_test checks this copy against iconv where it has one).
inline const std::string ibm1047 =
    std::string("\x00\x01\x02\x03\x37\x2D\x2E\x2F\x16\x05\x25\x0B\x0C\x0D\x0E\x0F"  // 0x00
                "\x10\x11\x12\x13\x3C\x3D\x32\x26\x18\x19\x3F\x27\x1C\x1D\x1E\x1F"  // 0x10
                "\x40\x5A\x7F\x7B\x5B\x6C\x50\x7D\x4D\x5D\x5C\x4E\x6B\x60\x4B\x61"  // 0x20
                "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\x7A\x5E\x4C\x7E\x6E\x6F"  // 0x30
                "\x7C\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xD1\xD2\xD3\xD4\xD5\xD6"  // 0x40
                "\xD7\xD8\xD9\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xAD\xE0\xBD\x5F\x6D"  // 0x50
                "\x79\x81\x82\x83\x84\x85\x86\x87\x88\x89\x91\x92\x93\x94\x95\x96"  // 0x60
                "\x97\x98\x99\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xC0\x4F\xD0\xA1\x07"  // 0x70
                "\x20\x21\x22\x23\x24\x15\x06\x17\x28\x29\x2A\x2B\x2C\x09\x0A\x1B"  // 0x80
                "\x30\x31\x1A\x33\x34\x35\x36\x08\x38\x39\x3A\x3B\x04\x14\x3E\xFF"  // 0x90
                "\x41\xAA\x4A\xB1\x9F\xB2\x6A\xB5\xBB\xB4\x9A\x8A\xB0\xCA\xAF\xBC"  // 0xA0
                "\x90\x8F\xEA\xFA\xBE\xA0\xB6\xB3\x9D\xDA\x9B\x8B\xB7\xB8\xB9\xAB"  // 0xB0
                "\x64\x65\x62\x66\x63\x67\x9E\x68\x74\x71\x72\x73\x78\x75\x76\x77"  // 0xC0
                "\xAC\x69\xED\xEE\xEB\xEF\xEC\xBF\x80\xFD\xFE\xFB\xFC\xBA\xAE\x59"  // 0xD0
                "\x44\x45\x42\x46\x43\x47\x9C\x48\x54\x51\x52\x53\x58\x55\x56\x57"  // 0xE0
                "\x8C\x49\xCD\xCE\xCB\xCF\xCC\xE1\x70\xDD\xDE\xDB\xDC\x8D\x8E\xDF", // 0xF0
                256);

inline std::string toebcdic(const std::string &text) {
    std::string out = text;
    for (char &c : out)
        c = ibm1047[(unsigned char)c];
    return out;
}

} // namespace filetests
