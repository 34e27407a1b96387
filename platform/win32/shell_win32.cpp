#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

bool OpenUrl(const AnsiString& url) {
    const HINSTANCE result = ShellExecuteA(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
