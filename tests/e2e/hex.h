#pragma once
// Texts go to the Python tests as hex UTF-16 code units, so any text comes back exactly.

#include <cstdio>
#include <string>

inline std::string Hex(const std::wstring& text) {
    std::string out;
    char unit[5];
    for (wchar_t c : text) {
        std::snprintf(unit, sizeof unit, "%04x", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}
