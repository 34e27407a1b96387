#include "platform/win32/system_library.h"

#include <string>

namespace platform {
namespace {

HMODULE LoadSystemLibrary(const wchar_t* module) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L'\\' + module;
    return LoadLibraryW(path.c_str());  // kept for the process's lifetime, like an import
}

}  // namespace

FARPROC SystemProc(const wchar_t* module, const char* name) {
    HMODULE handle = LoadSystemLibrary(module);
    return handle ? GetProcAddress(handle, name) : nullptr;
}

void ExitForMissingFunction(const wchar_t* module, const char* name) {
    std::wstring message = L"The system library ";
    message += module;
    message += L" or its function ";
    for (const char* c = name; *c; ++c) message += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    message += L" is missing.";
    FatalAppExitW(0, message.c_str());
    ExitProcess(1);  // not reached: FatalAppExit ends the process
}

}  // namespace platform
