// The error-information calls are the system's own (oleaut32); only the status texts are ours to fetch.
#include "platform/com.h"

#include <cstdio>

namespace platform {

AnsiString StatusText(HRESULT status) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, DWORD(status), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    AnsiString text;
    if (length && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) {
        char fallback[64];
        std::snprintf(fallback, sizeof fallback, "Error 0x%08X", static_cast<unsigned>(status));
        text = fallback;
    }
    return text;
}

}  // namespace platform
