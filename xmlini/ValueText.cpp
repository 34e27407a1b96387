#include "xmlini/ValueText.h"

#include "platform/text.h"

#include <cstdint>
#include <cstdio>

bool TryParseInt32(std::string_view text, int& value) { return platform::ParseInt32(text, value); }

int ParseInt32(std::string_view text, int def) {
    int value = 0;
    return TryParseInt32(text, value) ? value : def;
}

bool ParseBool(std::string_view text) {
    if (text == "1") return true;
    if (text.size() != 4) return false;
    static const char lower[] = "true";
    for (size_t i = 0; i < 4; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
        if (c != lower[i]) return false;
    }
    return true;
}

AnsiString FormatRect(const TIniRect& rect) {
    char text[64];
    std::snprintf(text, sizeof text, "[%d,%d,%d,%d]", rect.Left, rect.Top, rect.Right, rect.Bottom);
    return text;
}

AnsiString FormatPoint(const TIniPoint& point) {
    char text[32];
    std::snprintf(text, sizeof text, "[%d,%d]", point.X, point.Y);
    return text;
}

namespace {

int RectField(std::string_view piece, int def) { return ParseInt32(platform::TrimControl(piece).substr(0, 10), def); }

bool IsOpening(char c) { return c == '(' || c == '[' || c == '{'; }
bool IsClosing(char c) { return c == ')' || c == ']' || c == '}'; }

// The n-th (0-based) maximal run of characters outside separators; empty runs do not count.
bool NthWord(std::string_view text, std::string_view separators, int n, std::string_view& word) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && separators.find(text[i]) != std::string_view::npos) ++i;
        if (i == text.size()) break;
        size_t start = i;
        while (i < text.size() && separators.find(text[i]) == std::string_view::npos) ++i;
        if (n-- == 0) {
            word = text.substr(start, i - start);
            return true;
        }
    }
    return false;
}

}  // namespace

TIniRect ParseRect(std::string_view text, const TIniRect& def) {
    TIniRect result = def;
    if (text.size() >= 2 && IsOpening(text.front()) && IsClosing(text.back())) text = text.substr(1, text.size() - 2);
    int* fields[] = {&result.Left, &result.Top, &result.Right};
    for (int* field : fields) {
        size_t comma = text.find(',');
        if (comma == std::string_view::npos) return result;
        *field = RectField(text.substr(0, comma), *field);
        text.remove_prefix(comma + 1);
    }
    result.Bottom = RectField(text, def.Bottom);
    return result;
}

TIniPoint ParsePoint(std::string_view text, const TIniPoint& def) {
    TIniPoint result = def;
    std::string_view word;
    if (NthWord(text, ",]", 1, word)) result.Y = ParseInt32(word, def.Y);
    if (NthWord(text, ",[", 0, word)) result.X = ParseInt32(word, def.X);
    return result;
}
