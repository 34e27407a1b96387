// Replacing a file in one step on Windows.
#include "platform/replace_file.h"

#include <windows.h>

namespace platform {

int ReplaceFileWith(const AnsiString& from, const AnsiString& to) noexcept {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    DWORD code = GetLastError();
    return code ? static_cast<int>(code) : ERROR_GEN_FAILURE;
}

AnsiString ReplaceFileErrorText(int code) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&buffer), 0,
                                  nullptr);
    AnsiString text = length ? AnsiString(buffer, length) : "System error " + std::to_string(code);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace platform
