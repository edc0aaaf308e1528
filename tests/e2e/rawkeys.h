// Keys as a terminal sends them, and the codes the raw key read gives for
// them: Windows' own, on both platforms (0xE0 before the gray keys' scan
// codes, 0 before the function keys').
#pragma once

#include <string_view>

struct rawkeyrow {
    const char *name;
    std::string_view bytes;
    const char *codes; // as keyprobe prints them
    bool gray;         // a key of the gray block: prefix 0xE0
};

inline const rawkeyrow rawkeyrows[] = {
    {"letter", "a", "61 ", false},          {"Enter", "\r", "0d ", false},
    {"Backspace", "\x7f", "08 ", false},    {"Tab", "\t", "09 ", false},
    {"Up", "\x1b[A", "e0 48 ", true},       {"Down", "\x1b[B", "e0 50 ", true},
    {"Right", "\x1b[C", "e0 4d ", true},    {"Left", "\x1b[D", "e0 4b ", true},
    {"Home", "\x1b[H", "e0 47 ", true},     {"End", "\x1b[F", "e0 4f ", true},
    {"Insert", "\x1b[2~", "e0 52 ", true},  {"Delete", "\x1b[3~", "e0 53 ", true},
    {"Page Up", "\x1b[5~", "e0 49 ", true}, {"Page Down", "\x1b[6~", "e0 51 ", true},
    {"F1", "\x1bOP", "00 3b ", false},      {"F5", "\x1b[15~", "00 3f ", false},
    {"F12", "\x1b[24~", "00 58 ", false},
};
