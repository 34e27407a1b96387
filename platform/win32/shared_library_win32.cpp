#include "platform/shared_library.h"

#include <windows.h>
#include <wincrypt.h>

namespace platform {
namespace {

// Absent from older systems' headers and from systems without the search-path update.
constexpr DWORD kSearchApplicationDir = 0x00000200;  // LOAD_LIBRARY_SEARCH_APPLICATION_DIR
constexpr DWORD kSearchSystem32 = 0x00000800;        // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchDefaultDirs = 0x00001000;     // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string folder(path, length);
    std::size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string SystemFolder() {
    char path[MAX_PATH];
    UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(path, length);
}

}  // namespace

void* LoadSharedLibrary(const char* name) {
    // The search flags keep the library's own dependencies to the same two folders.
    HMODULE module = ::LoadLibraryExA(name, nullptr, kSearchApplicationDir | kSearchSystem32);
    if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // A system without the flags: name the file by its full path in each of the two folders.
    for (const std::string& folder : {ProgramFolder(), SystemFolder()}) {
        if (folder.empty()) continue;
        std::string path = folder + "\\" + name;
        module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module) return module;
    }
    return nullptr;
}

void* SharedLibrarySymbol(void* library, const char* name) {
    return library ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
}

void FreeSharedLibrary(void* library) {
    if (library) ::FreeLibrary(static_cast<HMODULE>(library));
}

void RestrictLibrarySearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault && setDefault(kSearchDefaultDirs)) return;
    // Without it, at least the current folder leaves the search.
    ::SetDllDirectoryA("");
}

bool SystemRootCertificates(std::vector<std::string>& certificates) {
    certificates.clear();
    // crypt32 only for the rare TLS connection, not at every start.
    HMODULE crypt32 = static_cast<HMODULE>(LoadSharedLibrary("crypt32.dll"));
    if (!crypt32) return true;
    auto open = reinterpret_cast<decltype(&::CertOpenSystemStoreA)>(SharedLibrarySymbol(crypt32, "CertOpenSystemStoreA"));
    auto next = reinterpret_cast<decltype(&::CertEnumCertificatesInStore)>(
        SharedLibrarySymbol(crypt32, "CertEnumCertificatesInStore"));
    auto close = reinterpret_cast<decltype(&::CertCloseStore)>(SharedLibrarySymbol(crypt32, "CertCloseStore"));
    HCERTSTORE store = open && next && close ? open(0, "ROOT") : nullptr;
    if (store) {
        for (PCCERT_CONTEXT c = next(store, nullptr); c; c = next(store, c))
            certificates.emplace_back(reinterpret_cast<const char*>(c->pbCertEncoded), c->cbCertEncoded);
        close(store, 0);
    }
    FreeSharedLibrary(crypt32);
    return true;
}

}  // namespace platform
