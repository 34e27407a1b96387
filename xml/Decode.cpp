// XmlDecode: references decoded in one pass, with the replace passes for texts that do not decode.
#include "xml/Decode.h"

#include <cstring>

#include "xml/Parser.h"
#include "platform/text.h"

namespace xmldecode {

namespace {

template <size_t N>
bool StartsWith(const char* p, const char* end, const char (&prefix)[N]) {
    return static_cast<size_t>(end - p) >= N - 1 && std::memcmp(p, prefix, N - 1) == 0;
}

}  // namespace

// Replacing every "&gt;" and then every "&gt" before decoding the rest gives the same as taking "&gt"
// with or without its ";" wherever an "&" starts it: a ">" can never be part of another reference.
char* DecodeReferences(std::string_view text, char* out) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        char c = *p++;
        if (c != '&') {
            *out++ = c;
            continue;
        }
        if (StartsWith(p, end, "amp;")) {
            *out++ = '&';
            p += 4;
        } else if (StartsWith(p, end, "lt;")) {
            *out++ = '<';
            p += 3;
        } else if (StartsWith(p, end, "gt")) {
            *out++ = '>';
            p += 2;
            if (p < end && *p == ';') ++p;
        } else if (StartsWith(p, end, "quot;")) {
            *out++ = '"';
            p += 5;
        } else if (p < end && *p == '#') {
            const char* digit = p + 1;
            unsigned value = 0;
            while (digit < end && *digit >= '0' && *digit <= '9') value = (value * 10 + unsigned(*digit++ - '0')) % 256;
            if (digit == p + 1 || digit == end || *digit != ';') return nullptr;
            *out++ = static_cast<char>(value);
            p = digit + 1;
        } else {
            return nullptr;
        }
    }
    return out;
}

AnsiString ReplaceNamedReferences(std::string_view text) {
    using platform::ReplaceAll;
    return ReplaceAll(ReplaceAll(ReplaceAll(ReplaceAll(text, "&quot;", "\""), "&lt;", "<"), "&gt;", ">"), "&amp;", "&");
}

}  // namespace xmldecode

AnsiString XmlDecode(std::string_view text) {
    if (text.find('&') == std::string_view::npos) return AnsiString(text);
    AnsiString out(text.size(), '\0');
    char* end = xmldecode::DecodeReferences(text, out.data());
    if (!end) return xmldecode::ReplaceNamedReferences(text);
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}
