#pragma once
// Text functions shared by the socket layer and the HTTP client: URL splitting, header cutting, line-end
// search and Base64, plus the byte packing the SOCKS negotiation needs. Pure functions over byte strings.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace net {

// The part before the first separator, trimmed; the whole text, trimmed, when the separator is absent.
AnsiString TextBefore(std::string_view text, std::string_view separator);
// The part after the first separator, trimmed; the whole text, trimmed, when the separator is absent,
// so callers that need to know compare the result with the input.
AnsiString TextAfter(std::string_view text, std::string_view separator);
// Returns TextBefore; text becomes TextAfter, or empty when that equals the text unchanged.
AnsiString TakeToken(AnsiString& text, std::string_view separator);

// The parts of a URL. Defaults: protocol "http", port "80" ("443" for https, "21" for ftp), an empty host
// becomes "localhost". The request target is "/" and everything after the authority, fragment included.
struct UrlParts {
    AnsiString protocol, user, password, host, port, path, query;
};
AnsiString SplitUrl(std::string_view url, UrlParts& parts);

// The 1-based position of the earliest of CR LF, LF CR, CR and LF, the two-byte end winning at the same
// position; 0 when there is none. lineEnd receives the end found.
std::size_t FindLineEnd(std::string_view text, AnsiString& lineEnd);

// RFC 4648 Base64 with "=" padding and no line breaks.
AnsiString Base64Encode(std::string_view bytes);

// SOCKS helpers. A dotted quad is four decimal parts of 0..255 (leading zeros and blanks around parts allowed).
bool IsDottedQuad(std::string_view text);
// The four numbers as bytes; a part that is no number gives 0.
AnsiString DottedToBytes(std::string_view text);
// High byte first.
AnsiString PackPort(std::uint16_t port);
// The bytes at the 1-based position and the next as high and low byte; 0 unless both exist.
std::uint16_t UnpackPort(std::string_view bytes, std::size_t position);

}  // namespace net
