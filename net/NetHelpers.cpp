#include "net/NetHelpers.h"

#include "platform/text.h"

namespace net {
namespace {

AnsiString TrimBlanks(std::string_view text) { return AnsiString(platform::TrimControl(text)); }

}  // namespace

AnsiString TextBefore(std::string_view text, std::string_view separator) {
    std::size_t at = text.find(separator);
    return TrimBlanks(at == std::string_view::npos ? text : text.substr(0, at));
}

AnsiString TextAfter(std::string_view text, std::string_view separator) {
    std::size_t at = text.find(separator);
    return TrimBlanks(at == std::string_view::npos ? text : text.substr(at + separator.size()));
}

AnsiString TakeToken(AnsiString& text, std::string_view separator) {
    AnsiString token = TextBefore(text, separator);
    AnsiString rest = TextAfter(text, separator);
    text = rest == text ? AnsiString() : rest;
    return token;
}

AnsiString SplitUrl(std::string_view url, UrlParts& parts) {
    parts = UrlParts{"http", "", "", "", "80", "", ""};
    AnsiString rest;
    if (url.find("://") != std::string_view::npos) {
        parts.protocol = TextBefore(url, "://");
        rest = TextAfter(url, "://");
    } else {
        rest = AnsiString(url);
    }
    AnsiString upper = platform::AsciiUpperCase(parts.protocol);
    if (upper == "HTTPS") parts.port = "443";
    if (upper == "FTP") parts.port = "21";

    std::size_t at = rest.find('@'), slash = rest.find('/');
    if (at != AnsiString::npos && slash != AnsiString::npos && at < slash) {
        std::string_view userInfo(rest.data(), at);
        std::size_t colon = userInfo.find(':');
        if (colon == std::string_view::npos) {
            parts.user = TrimBlanks(userInfo);
        } else {
            parts.user = TrimBlanks(userInfo.substr(0, colon));
            parts.password = TrimBlanks(userInfo.substr(colon + 1));
        }
        rest = TrimBlanks(std::string_view(rest).substr(at + 1));
    }

    AnsiString authority, tail;
    if (rest.find('/') != AnsiString::npos) {
        authority = TextBefore(rest, "/");
        tail = TextAfter(rest, "/");
    } else {
        authority = rest;
    }
    if (authority.find(':') != AnsiString::npos) {
        parts.host = TextBefore(authority, ":");
        parts.port = TextAfter(authority, ":");
    } else {
        parts.host = authority;
    }
    AnsiString target = "/" + tail;
    if (tail.find('?') != AnsiString::npos) {
        parts.path = "/" + TextBefore(tail, "?");
        parts.query = TextAfter(tail, "?");
    } else {
        parts.path = "/" + tail;
    }
    if (parts.host.empty()) parts.host = "localhost";
    return target;
}

// The earliest end starts at the first CR or LF; there a two-byte end beats the one-byte end.
std::size_t FindLineEnd(std::string_view text, AnsiString& lineEnd) {
    std::size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos) {
        lineEnd.clear();
        return 0;
    }
    char first = text[at];
    char pair = first == '\r' ? '\n' : '\r';
    bool twoBytes = at + 1 < text.size() && text[at + 1] == pair;
    lineEnd = twoBytes ? AnsiString{first, pair} : AnsiString(1, first);
    return at + 1;
}

AnsiString Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    AnsiString out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16 |
                              static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += kAlphabet[group >> 6 & 63];
        out += kAlphabet[group & 63];
    }
    std::size_t left = bytes.size() - i;
    if (left > 0) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += left == 2 ? kAlphabet[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

bool IsDottedQuad(std::string_view text) {
    AnsiString rest(text);
    for (int part = 0; part < 4; ++part) {
        AnsiString number = part < 3 ? TakeToken(rest, ".") : TrimBlanks(rest);
        std::uint64_t value = 0;
        if (!platform::ParseDigits(number, 255, value)) return false;
    }
    return true;
}

AnsiString DottedToBytes(std::string_view text) {
    AnsiString rest(text), bytes;
    for (int part = 0; part < 4; ++part) {
        AnsiString number = part < 3 ? TakeToken(rest, ".") : TrimBlanks(rest);
        // Up to ten digits count, their value taken modulo 256; anything else is 0.
        std::uint64_t value = 0;
        if (number.size() > 10 || !platform::ParseDigits(number, 9999999999u, value)) value = 0;
        bytes += static_cast<char>(value & 0xFF);
    }
    return bytes;
}

AnsiString PackPort(std::uint16_t port) {
    return AnsiString{static_cast<char>(port >> 8), static_cast<char>(port & 0xFF)};
}

std::uint16_t UnpackPort(std::string_view bytes, std::size_t position) {
    if (position < 1 || position + 1 > bytes.size()) return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[position - 1]) << 8 |
                                      static_cast<unsigned char>(bytes[position]));
}

}  // namespace net
