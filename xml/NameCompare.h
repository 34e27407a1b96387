#pragma once
// Name comparisons and attribute line parts shared by the XML unit's sources (not part of its interface).
#include <cstring>
#include <string_view>

#include "platform/codepage.h"

namespace xmlname {

inline unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Element names: only A-Z and a-z fold.
inline bool SameElementName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(static_cast<unsigned char>(a[i])) != AsciiUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Attribute names: every letter of the code page folds. The code page maps each byte to one byte, so
// texts of different lengths never match, and equal bytes or ASCII-only texts need no conversion.
inline bool SameAttributeName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    // Most names differ already in their first letter.
    unsigned char a0 = static_cast<unsigned char>(a[0]), b0 = static_cast<unsigned char>(b[0]);
    if (a0 != b0 && !((a0 | b0) & 0x80) && AsciiUpper(a0) != AsciiUpper(b0)) return false;
    if (std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
    bool ascii = true;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x | y) & 0x80) {
            ascii = false;
            break;
        }
        if (AsciiUpper(x) != AsciiUpper(y)) return false;
    }
    return ascii || platform::AnsiSameText(a, b);
}

// The ASCII comparison: a-z fold to upper case, then bytes by value; a prefix sorts first.
inline int AsciiCompare(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        int x = AsciiUpper(static_cast<unsigned char>(a[i])), y = AsciiUpper(static_cast<unsigned char>(b[i]));
        if (x != y) return x - y;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Where the first "=" of an attribute line is, or the line's size without one. Names are short: a plain
// loop finds it sooner than a library search.
inline size_t FindEquals(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && line[i] != '=') ++i;
    return i;
}

// The name of an attribute line: the text before its first "=", empty without one.
inline std::string_view LineName(std::string_view line) {
    size_t eq = FindEquals(line);
    return eq == line.size() ? std::string_view() : line.substr(0, eq);
}

// The value of an attribute line: the text after its first "=", empty without one.
inline std::string_view LineValue(std::string_view line) {
    size_t eq = FindEquals(line);
    return eq == line.size() ? std::string_view() : line.substr(eq + 1);
}

}  // namespace xmlname
