#include "platform/win32/system_message.h"

namespace platform::win32 {

AnsiString SystemMessage(DWORD code) {
    char* buffer = nullptr;
    // Language 0: the user's language, then the system's, then English. Asking for English alone finds
    // nothing on a system installed in another language.
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    AnsiString text;
    if (length && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace platform::win32
