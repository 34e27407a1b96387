// The BSTRs of this program's interfaces, the same on both targets.
#include "platform/com.h"

#include <cstdlib>
#include <cstring>

namespace platform {

// A BSTR points just past a 32-bit byte count; the text is zero-terminated as well.
BSTR WideToBStr(std::u16string_view text) {
    const std::size_t bytes = text.size() * sizeof(OLECHAR);
    if (bytes > UINT32_MAX - sizeof(OLECHAR)) return nullptr;
    auto* block = static_cast<std::uint32_t*>(std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    block[0] = std::uint32_t(bytes);
    auto* chars = reinterpret_cast<OLECHAR*>(block + 1);
    if (bytes) std::memcpy(chars, text.data(), bytes);
    chars[text.size()] = 0;
    return chars;
}

void FreeBStr(BSTR text) {
    if (text) std::free(reinterpret_cast<std::uint32_t*>(text) - 1);
}

WideString BStrToWide(BSTR text) {
    if (!text) return {};
    const std::uint32_t bytes = reinterpret_cast<const std::uint32_t*>(text)[-1];
    return WideString(reinterpret_cast<const char16_t*>(text), bytes / sizeof(OLECHAR));
}

}  // namespace platform
