#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

std::string LocaleName() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

unsigned CodePageOfLocale(const std::string& locale) {
    static constexpr std::array<const char*, 6> kCyrillic = {"ru", "uk", "be", "bg", "sr", "mk"};
    for (const char* language : kCyrillic) {
        std::string prefix(language);
        if (locale.compare(0, 2, prefix) == 0 && (locale.size() == 2 || locale[2] == '_' || locale[2] == '.'))
            return 1251;
    }
    return 1252;
}

// Both tables are built once per process from iconv; a byte iconv does not map keeps its value.
struct CodePageTables {
    std::array<char16_t, 256> toWide{};
    unsigned codePage = 0;
};

const CodePageTables& Tables() {
    static const CodePageTables tables = [] {
        CodePageTables t;
        t.codePage = CodePageOfLocale(LocaleName());
        std::string name = "WINDOWS-" + std::to_string(t.codePage);
        iconv_t cd = iconv_open("UTF-16LE", name.c_str());
        for (unsigned b = 0; b < 256; ++b) {
            t.toWide[b] = char16_t(b);
            if (b < 0x80 || cd == iconv_t(-1)) continue;
            char in = char(b);
            unsigned char out[4] = {};
            char* inp = &in;
            char* outp = reinterpret_cast<char*>(out);
            size_t inLeft = 1, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != size_t(-1) && outLeft == 2)
                t.toWide[b] = char16_t(out[0] | (out[1] << 8));
        }
        if (cd != iconv_t(-1)) iconv_close(cd);
        return t;
    }();
    return tables;
}

}  // namespace

unsigned AnsiCodePage() { return Tables().codePage; }

WideString AnsiToWide(std::string_view text) {
    const auto& table = Tables().toWide;
    WideString out(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = table[static_cast<unsigned char>(text[i])];
    return out;
}

AnsiString WideToAnsi(std::u16string_view text) {
    static const auto fromWide = [] {
        std::array<std::pair<char16_t, char>, 128> high{};
        const auto& table = Tables().toWide;
        for (unsigned b = 0x80; b < 256; ++b) high[b - 0x80] = {table[b], char(b)};
        return high;
    }();
    AnsiString out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        char mapped = '?';
        for (const auto& [wide, byte] : fromWide)
            if (wide == c) {
                mapped = byte;
                break;
            }
        out += mapped;
    }
    return out;
}

}  // namespace platform
