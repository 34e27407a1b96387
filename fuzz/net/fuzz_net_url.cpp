// The URL, header and Base64 helpers on arbitrary bytes: no crash, and the invariants callers rely on.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/NetHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    net::UrlParts parts;
    AnsiString target = net::SplitUrl(text, parts);
    if (target.empty() || target[0] != '/') std::abort();
    if (parts.host.empty() || parts.path.empty() || parts.path[0] != '/') std::abort();

    AnsiString end;
    std::size_t at = net::FindLineEnd(text, end);
    if (at > size || (at == 0) != end.empty()) std::abort();
    if (at > 0 && text.compare(at - 1, end.size(), end) != 0) std::abort();

    AnsiString encoded = net::Base64Encode(text);
    if (encoded.size() != (size + 2) / 3 * 4) std::abort();

    AnsiString rest = text;
    while (!rest.empty()) net::TakeToken(rest, ":");
    net::TextAfter(text, " ");

    if (net::IsDottedQuad(text) && net::DottedToBytes(text).size() != 4) std::abort();
    net::UnpackPort(text, size / 2);
    return 0;
}
