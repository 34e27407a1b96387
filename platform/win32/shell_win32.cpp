#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/system_library.h"

namespace platform {

bool OpenUrl(const AnsiString& url) {
    // shell32 is loaded here, when the dialog closes, not with the program.
    static const auto shellExecute = SystemFunction<decltype(&ShellExecuteA)>(L"shell32.dll", "ShellExecuteA");
    if (!shellExecute) return false;
    const HINSTANCE result = shellExecute(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
