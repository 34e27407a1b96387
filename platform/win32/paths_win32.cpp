#include "platform/paths.h"

#include <windows.h>

namespace platform {

AnsiString GetEnv(const char* name) {
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) return {};
    AnsiString value(size, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

AnsiString UserConfigDir() { return GetEnv("APPDATA"); }
AnsiString UserStateDir() { return GetEnv("LOCALAPPDATA"); }

}  // namespace platform
