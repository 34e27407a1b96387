// The code-page independent half of text conversion: UTF-8 and letter case.
#include "platform/codepage.h"

namespace platform {
namespace {

char16_t UpperOf(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);         // Latin-1
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x137) return char16_t(c & ~1u);                     // Latin Extended-A pairs
    if (c >= 0x139 && c <= 0x148) return (c % 2 == 0) ? char16_t(c - 1) : c;
    if (c >= 0x14A && c <= 0x177) return char16_t(c & ~1u);
    if (c >= 0x179 && c <= 0x17E) return (c % 2 == 0) ? char16_t(c - 1) : c;
    if (c == 0x192) return 0x191;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 32);       // Greek
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);                     // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) return char16_t(c & ~1u);
    if (c == 0x491) return 0x490;
    return c;
}

bool IsAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

std::string WideToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

WideString Utf8ToWide(std::string_view text) {
    WideString out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char b = text[i];
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool valid = extra >= 0 && i + extra < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            unsigned char next = text[i + k];
            if ((next & 0xC0) != 0x80) valid = false;
            else c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (valid && (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
        if (!valid) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
        i += extra + 1;
    }
    return out;
}

std::string AnsiToUtf8(std::string_view text) { return WideToUtf8(AnsiToWide(text)); }
AnsiString Utf8ToAnsi(std::string_view text) { return WideToAnsi(Utf8ToWide(text)); }

WideString WideUpperCase(std::u16string_view text) {
    WideString out(text);
    for (auto& c : out) c = UpperOf(c);
    return out;
}

AnsiString AnsiUpperCase(std::string_view text) {
    if (IsAscii(text)) return AsciiUpperCase(text);
    return WideToAnsi(WideUpperCase(AnsiToWide(text)));
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) return AsciiSameText(a, b);
    return WideUpperCase(AnsiToWide(a)) == WideUpperCase(AnsiToWide(b));
}

AnsiString AsciiUpperCase(std::string_view text) {
    AnsiString out(text);
    for (auto& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return out;
}

bool AsciiSameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace platform
