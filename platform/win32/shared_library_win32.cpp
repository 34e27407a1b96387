#include "platform/shared_library.h"

#include <windows.h>
#include <wincrypt.h>

namespace platform {
namespace {

// Absent from older systems' headers and from systems without the search-path update.
constexpr DWORD kSearchApplicationDir = 0x00000200;  // LOAD_LIBRARY_SEARCH_APPLICATION_DIR
constexpr DWORD kSearchSystem32 = 0x00000800;        // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchDefaultDirs = 0x00001000;     // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS

// Library and function names are ASCII.
std::wstring Widened(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : FolderOf(std::wstring(path, length));
}

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
}

// NAME from the system folder, and first from the program's folder when PROGRAM_FOLDER_TOO. The search
// flags keep the library's own dependencies to the same folders; a system that does not know them
// (before the search-path update) gets the file by its full path in each folder in turn.
HMODULE LoadFromTrustedFolders(const char* name, bool programFolderToo) {
    const std::wstring file = Widened(name);
    const DWORD flags = kSearchSystem32 | (programFolderToo ? kSearchApplicationDir : 0);
    HMODULE module = LoadLibraryExW(file.c_str(), nullptr, flags);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    for (const std::wstring& folder : {programFolderToo ? ProgramFolder() : std::wstring(), SystemFolder()}) {
        if (folder.empty()) continue;
        module = LoadLibraryExW((folder + L'\\' + file).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module) return module;
    }
    return nullptr;
}

}  // namespace

void* LoadSharedLibrary(const char* name) { return LoadFromTrustedFolders(name, true); }

void* LoadSystemLibrary(const char* name) { return LoadFromTrustedFolders(name, false); }

void* SharedLibrarySymbol(void* library, const char* name) {
    return library ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
}

void FreeSharedLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

void ExitForMissingFunction(const char* library, const char* name) {
    const std::wstring message =
        L"The system library " + Widened(library) + L" or its function " + Widened(name) + L" is missing.";
    FatalAppExitW(0, message.c_str());
    ExitProcess(1);  // not reached: FatalAppExit ends the process
}

void RestrictLibrarySearch() {
    auto setDefault = SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories");
    if (setDefault && setDefault(kSearchDefaultDirs)) return;
    // Without it, at least the current folder leaves the search.
    SetDllDirectoryA("");
}

bool SystemRootCertificates(std::vector<std::string>& certificates) {
    certificates.clear();
    // crypt32 only for the rare TLS connection, not at every start.
    void* crypt32 = LoadSystemLibrary("crypt32.dll");
    auto open = LibraryFunction<decltype(&CertOpenSystemStoreA)>(crypt32, "CertOpenSystemStoreA");
    auto next = LibraryFunction<decltype(&CertEnumCertificatesInStore)>(crypt32, "CertEnumCertificatesInStore");
    auto close = LibraryFunction<decltype(&CertCloseStore)>(crypt32, "CertCloseStore");
    HCERTSTORE store = open && next && close ? open(0, "ROOT") : nullptr;
    if (!store) return true;
    for (PCCERT_CONTEXT c = next(store, nullptr); c; c = next(store, c))
        certificates.emplace_back(reinterpret_cast<const char*>(c->pbCertEncoded), c->cbCertEncoded);
    close(store, 0);
    return true;
}

}  // namespace platform
