#include "platform/version.h"

#include <windows.h>

#include "platform/win32/system_library.h"

namespace platform {

uint32_t ReadKernelVersionHigh() {
    // version.dll is needed only here, and only on the Windows 95 family.
    static const auto getSize = SystemFunction<decltype(&GetFileVersionInfoSizeA)>(L"version.dll", "GetFileVersionInfoSizeA");
    static const auto getInfo = SystemFunction<decltype(&GetFileVersionInfoA)>(L"version.dll", "GetFileVersionInfoA");
    static const auto queryValue = SystemFunction<decltype(&VerQueryValueA)>(L"version.dll", "VerQueryValueA");
    if (!getSize || !getInfo || !queryValue) return 0;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return 0;
    char fileName[261] = {};
    if (GetModuleFileNameA(kernel, fileName, sizeof fileName) == 0) return 0;
    DWORD handle = 0;
    const DWORD size = getSize(fileName, &handle);
    if (size == 0) return 0;
    std::string data(size, '\0');
    if (!getInfo(fileName, handle, size, data.data())) return 0;
    void* fixed = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!queryValue(data.data(), root, &fixed, &length) || !fixed) return 0;
    if (length != sizeof(VS_FIXEDFILEINFO)) return 0;  // 52 bytes
    return static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwProductVersionMS;
}

const VersionFacts& GetVersionFacts() {
    static const VersionFacts facts = [] {
        VersionFacts f;
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (GetVersionExA(&info)) {
            f.platformId = info.dwPlatformId;
            f.major = info.dwMajorVersion;
            f.minor = info.dwMinorVersion;
            f.csdVersion.assign(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
        }
        f.kernelVersionHigh = f.platformId == VER_PLATFORM_WIN32_NT ? 0 : ReadKernelVersionHigh();
        return f;
    }();
    return facts;
}

}  // namespace platform
