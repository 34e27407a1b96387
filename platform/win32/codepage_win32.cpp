#include "platform/codepage.h"

#include <windows.h>

namespace platform {

unsigned AnsiCodePage() { return GetACP(); }

WideString AnsiToWide(std::string_view text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    WideString out(size_t(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), reinterpret_cast<wchar_t*>(out.data()), length);
    return out;
}

AnsiString WideToAnsi(std::u16string_view text) {
    if (text.empty()) return {};
    auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int length = WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    AnsiString out(size_t(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace platform
