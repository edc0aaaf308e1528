// For samefile's tests on both platforms: paths in the platform's own form
// (the tests write them with '/'; on Windows only '\' and ':' end a folder),
// and whether Windows is Wine.
#pragma once

#include "tests/support/run.h"
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

#ifdef _WIN32
constexpr char nativesep = '\\';
#else
constexpr char nativesep = '/';
#endif

// text with every '/' turned into the platform's separator.
inline std::string native(std::string text) {
    for (char &c : text)
        if (c == '/') c = nativesep;
    return text;
}

