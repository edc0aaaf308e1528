// Paths as samefile splits them: its tests write them with '/' and get the
// platform's own form here, since on Windows only '\' and ':' end a folder.
#pragma once

#include <string>

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
